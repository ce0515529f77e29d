// The unwrapper's log hook: a process-wide function that receives its log
// lines. Empty until a caller sets it, and then nothing is logged.
#pragma once

namespace zuk {

using Mp4LogFunction = void (*)(const char* text);

void setMP4LogFunction(Mp4LogFunction function);

// Hands `text` to the hook, if one is set.
void mp4Log(const char* text);

} // namespace zuk
