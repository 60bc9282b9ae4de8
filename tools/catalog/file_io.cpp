#include "file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace catalog {

namespace {

std::string reason(const std::string &path)
{
    return path + ": " + std::strerror(errno);
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

bool readFile(const std::string &path, std::string &content, std::string &error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = reason(path);
        return false;
    }
    content.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = reason(path); // a directory says so here
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

bool replaceFile(const std::string &path, const void *data, size_t size, const std::string &inputPath,
                 std::string &error)
{
    // An existing output is replaced where it really lies (through a symbolic link), keeping its mode.
    std::string target = path;
    mode_t mode = 0644;
    struct stat out;
    if (::stat(path.c_str(), &out) == 0) {
        if (!S_ISREG(out.st_mode)) {
            error = path + ": not a regular file";
            return false;
        }
        struct stat in;
        if (::stat(inputPath.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
            error = path + ": this is the input file; choose another output";
            return false;
        }
        if (char *real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
        mode = out.st_mode & 07777;
    }

    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = reason(path);
        return false;
    }
    bool ok =
        writeAll(fd, static_cast<const char *>(data), size) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    if (!ok)
        error = reason(path);
    if (::close(fd) != 0 && ok) {
        error = reason(path);
        ok = false;
    }
    if (ok && std::rename(temp.c_str(), target.c_str()) != 0) {
        error = reason(path);
        ok = false;
    }
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

} // namespace catalog
