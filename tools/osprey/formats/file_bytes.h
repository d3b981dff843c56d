// Reads of a file's bytes by path, for the readers of its format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace osprey_tool {

// The whole file at path into *out; false when it cannot be opened.
bool read_whole_file(const std::string& path, std::vector<uint8_t>* out);

// size bytes from offset of the file at path into *out; false, with *out
// holding those there are, when they are not all there.
bool read_file_bytes(const std::string& path, int64_t offset, size_t size,
                     std::vector<uint8_t>* out);

}  // namespace osprey_tool
