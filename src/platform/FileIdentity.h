// Whether two names lead to one file, and the files a call is about to write
// made safe to write: none may be one of its inputs under another name, and
// each is cleared before the step that writes it, so that what is read back
// afterwards is only what this call wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zuk {

// True when both paths name existing files that are one file (one inode), as
// an output that would overwrite the input it is made from.
bool sameFile(const std::string& first, const std::string& second);

// Whether one of the wide paths `written` is the same file as one of `read`
// (through the same name, a symlink or a hard link): clearing or writing it
// would destroy what the call is about to read. Checked before anything is
// written; `log` (LogString: this file is built also into modules without
// the log sink) then receives one line naming both files.
bool writesOverAnInput(const std::vector<std::u16string>& written, const std::vector<std::u16string>& read,
                       void (*log)(const char*));

// Clears what an earlier run may have left at `path`, so that a step that
// fails or writes nothing leaves nothing there to be read back: a regular
// file is removed; a symlink stays, and the regular file it leads to is
// emptied; a device or pipe is left alone. False when a file there cannot be
// cleared; text that names no file is left alone.
bool clearForWriting(const std::u16string& path);

// Runs `step`, which writes `path`, once `path` is cleared; `cannotClear`
// when it cannot be.
template <typename Step>
int32_t writtenAfresh(const std::u16string& path, int32_t cannotClear, Step step)
{
    return clearForWriting(path) ? step() : cannotClear;
}

} // namespace zuk
