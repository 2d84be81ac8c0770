// damage.h - after the module found an archive damaged (status 9964) or without a begin line
// (9974), the host reads a regular archive once more to say where and why: the module reports
// only the status.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace uuarc_host {

// What is wrong with the encoded file at `path` (read only when it is a regular file), whose
// extraction gave `decoded` bytes (-1 when unknown). Empty when it cannot tell. `file` is the
// index of the file that failed when every file of a text was read (the module's own option),
// -1 for the one file of the format.
std::string DescribeDamage(const std::string& path, int64_t decoded, int file = -1);

// The same over the file's text: the first data line with a character outside the classic
// alphabet or cut short in a file that shows how it writes 0 (in a file whose first data line is
// classic), a missing end line, or a decoded size other than the one that a header of this
// module's, naming the same file, states.
std::string DescribeDamageOf(std::string_view text, int64_t decoded, int file = -1);

// After status 9974: why the module found no begin line in the archive at `path` (read as above):
// none is there, or a line that is "table" alone before it starts no block of 64 different
// characters.
std::string DescribeNoBeginLine(const std::string& path);
std::string DescribeNoBeginLineOf(std::string_view text);

}  // namespace uuarc_host
