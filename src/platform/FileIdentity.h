// Whether two names lead to one file, and the files of a call made safe to
// use: its inputs are regular files, none of the files it writes is one of
// them under another name, and each is cleared before the step that writes
// it, so that what is read back afterwards is only what this call wrote.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zuk {

// Whether a call that reads the files `read` and writes the files `written`
// must refuse to start, checked before it opens anything. It must when an
// input exists but is no regular file after its links are followed (a pipe
// waits for a writer, a device never ends, a folder holds no sound), or when
// a file it would write is one of its inputs under any name (the same name,
// a symlink or a hard link), which clearing or writing would destroy before
// it is read. `log` (LogString: this file is built also into modules without
// the log sink) then receives one line giving the cause. Text that names no
// file, or no file yet, is left to the call.
bool refusesFiles(const std::vector<std::u16string_view>& written, const std::vector<std::u16string_view>& read,
    void (*log)(const char*));

// The same for native paths.
bool refusesPaths(
    const std::vector<std::string>& written, const std::vector<std::string>& read, void (*log)(const char*));

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
