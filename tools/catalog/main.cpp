// rotaconf-catalog: builds "Encoder.cfg" from its readable source and dumps any "Encoder.cfg" back.
#include "catalog_binary.h"
#include "catalog_text.h"
#include "file_io.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace {

const char kUsage[] =
    "Usage: rotaconf-catalog build SOURCE OUTPUT\n"
    "       rotaconf-catalog dump CATALOGUE [OUTPUT]\n"
    "       rotaconf-catalog --help | --version\n"
    "\n"
    "build  reads the readable catalogue SOURCE and writes the binary catalogue OUTPUT (Encoder.cfg).\n"
    "       Refused, with the line named: interpolation codes outside 0..31, dividers outside 0..32767,\n"
    "       texts with characters that do not fit in 8 bits, unknown lines or keys.\n"
    "dump   reads a binary catalogue and writes its readable source to OUTPUT, or to standard output.\n"
    "OUTPUT is replaced only by a complete new file; it must be a regular file and not the input.\n"
    "\n"
    "Source lines (blank lines and lines starting with # are ignored):\n"
    "  version 1.0.0                                   file version (default 1.0.0)\n"
    "  article ID \"TEXT\"                               text of an article type\n"
    "  entry type=T base=B pulses=P code=C divider=D [listvalue=V] [listbyte=L] [spare1=N] [spare2=N] "
    "[spare3=N]\n"
    "Texts are UTF-8 in double quotes with the escapes \\\" \\\\ and \\xHH.\n";

int build(const std::string &sourcePath, const std::string &outputPath)
{
    std::string source, error;
    if (!catalog::readFile(sourcePath, source, error)) {
        std::cerr << "rotaconf-catalog: cannot read " << error << '\n';
        return 1;
    }
    catalog::Catalogue cat;
    if (!catalog::parse(source, sourcePath, cat, error)) {
        std::cerr << "rotaconf-catalog: " << error << '\n';
        return 1;
    }
    const std::vector<uint8_t> bytes = catalog::encode(cat);
    if (!catalog::replaceFile(outputPath, bytes.data(), bytes.size(), sourcePath, error)) {
        std::cerr << "rotaconf-catalog: cannot write " << error << '\n';
        return 1;
    }
    return 0;
}

int dump(const std::string &path, const char *outputPath)
{
    std::string content, error;
    if (!catalog::readFile(path, content, error)) {
        std::cerr << "rotaconf-catalog: cannot read " << error << '\n';
        return 1;
    }
    const std::vector<uint8_t> bytes(content.begin(), content.end());
    catalog::Catalogue cat;
    size_t trailing = 0;
    if (!catalog::decode(bytes, cat, trailing, error)) {
        std::cerr << "rotaconf-catalog: " << path << ": " << error << '\n';
        return 1;
    }
    std::string text = catalog::write(cat);
    if (trailing)
        text += "# " + std::to_string(trailing) + " bytes after the last entry were ignored\n";
    if (cat.major != 1)
        std::cerr << "rotaconf-catalog: note: " << path << " has major version " << int(cat.major)
                  << "; the program reads only version 1\n";
    if (!outputPath) {
        std::cout << text;
        return std::cout.good() ? 0 : 1;
    }
    if (!catalog::replaceFile(outputPath, text.data(), text.size(), path, error)) {
        std::cerr << "rotaconf-catalog: cannot write " << error << '\n';
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string command = argc >= 2 ? argv[1] : "";
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "--version") {
        std::cout << "rotaconf-catalog " << TARNBUS_PROGRAM_VERSION << '\n';
        return 0;
    }
    if (argc == 4 && command == "build")
        return build(argv[2], argv[3]);
    if ((argc == 3 || argc == 4) && command == "dump")
        return dump(argv[2], argc == 4 ? argv[3] : nullptr);
    // What was wrong, then the usage.
    if (command.empty())
        std::cerr << "rotaconf-catalog: no command given\n";
    else if (command != "build" && command != "dump")
        std::cerr << "rotaconf-catalog: unknown " << (command[0] == '-' ? "option " : "command ") << command
                  << '\n';
    else
        std::cerr << "rotaconf-catalog: " << command << " takes "
                  << (command == "build" ? "SOURCE and OUTPUT" : "CATALOGUE and at most one OUTPUT") << '\n';
    std::cerr << kUsage;
    return 2;
}
