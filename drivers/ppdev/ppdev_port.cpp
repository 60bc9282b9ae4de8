#include "ppdev_port.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ppdev {

namespace {

constexpr uint8_t kControlInput = 0x20;

int sysOpen(const char *path, int flags)
{
    return ::open(path, flags);
}
int sysIoctl(int fd, unsigned long request, void *arg)
{
    return ::ioctl(fd, request, arg);
}
int sysClose(int fd)
{
    return ::close(fd);
}

} // namespace

const System &realSystem()
{
    static const System system{sysOpen, sysIoctl, sysClose};
    return system;
}

std::string devicePath()
{
    const char *path = std::getenv("TARNBUS_PARPORT");
    return path && *path ? path : "/dev/parport0";
}

Port::Port(const System &system, std::string path) : m_system(system), m_path(std::move(path)) {}

Port::~Port()
{
    if (m_fd < 0)
        return;
    if (m_claimed) {
        if (m_input)
            direction(false); // leave the data lines driven, as the port was found
        m_system.ioctl(m_fd, PPRELEASE, nullptr);
    }
    m_system.close(m_fd);
}

bool Port::ready()
{
    if (m_tried)
        return m_claimed;
    m_tried = true;
    m_fd = m_system.open(m_path.c_str(), O_RDWR);
    if (m_fd < 0) {
        std::fprintf(stderr, "libdlportio-ppdev: cannot open %s: %s\n", m_path.c_str(), std::strerror(errno));
        return false;
    }
    if (m_system.ioctl(m_fd, PPCLAIM, nullptr) != 0) {
        std::fprintf(stderr, "libdlportio-ppdev: cannot claim %s: %s\n", m_path.c_str(),
                     std::strerror(errno));
        return false;
    }
    m_claimed = true;
    return true;
}

bool Port::request(unsigned long req, void *arg)
{
    return m_system.ioctl(m_fd, req, arg) == 0;
}

void Port::direction(bool input)
{
    int reverse = input ? 1 : 0;
    if (request(PPDATADIR, &reverse))
        m_input = input;
}

void Port::write(uint32_t port, uint8_t value)
{
    if (!ready())
        return;
    switch (port & 3) {
    case 0:
        request(PPWDATA, &value);
        break;
    case 2: {
        // Turning the data lines to input comes before the strobes that have the chip drive them;
        // turning them back to output comes after the strobes that release them.
        const bool input = value & kControlInput;
        unsigned char lines = value & ~kControlInput;
        if (input && !m_input)
            direction(true);
        request(PPWCONTROL, &lines);
        if (!input && m_input)
            direction(false);
        break;
    }
    default:
        break; // the status register takes no writes
    }
}

uint8_t Port::read(uint32_t port)
{
    if (!ready())
        return 0xFF;
    unsigned char value = 0xFF;
    switch (port & 3) {
    case 0:
        request(PPRDATA, &value);
        break;
    case 1:
        request(PPRSTATUS, &value);
        break;
    case 2:
        if (request(PPRCONTROL, &value))
            value = static_cast<unsigned char>((value & ~kControlInput) | (m_input ? kControlInput : 0));
        break;
    default:
        break;
    }
    return value;
}

} // namespace ppdev
