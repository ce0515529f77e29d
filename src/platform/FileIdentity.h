// Whether two names lead to one file.
#pragma once

#include <string>

namespace zuk {

// True when both paths name existing files that are one file (one inode), as
// an output that would overwrite the input it is made from.
bool sameFile(const std::string& first, const std::string& second);

} // namespace zuk
