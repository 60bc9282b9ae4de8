// Whole-file reading and writing for the catalogue tool: errors as messages, never exceptions, and
// an output replaced only by a complete new file.
#ifndef ROTACONF_CATALOG_FILE_IO_H
#define ROTACONF_CATALOG_FILE_IO_H

#include <cstddef>
#include <string>

namespace catalog {

// Reads the whole file; false with a message (the path and the reason) when it cannot, a directory
// included.
bool readFile(const std::string &path, std::string &content, std::string &error);

// Writes a file of its own beside path, flushes it to the disk and renames it over path, so that path
// holds either its old contents or the new ones in full. Refused: a path that exists and is no regular
// file (a directory, a device), and a path that is the same file as inputPath.
bool replaceFile(const std::string &path, const void *data, size_t size, const std::string &inputPath,
                 std::string &error);

} // namespace catalog

#endif
