// Progress of the running operation on stderr: a bar on a terminal, a line
// per whole percent otherwise, nothing when quiet. The library calls back
// through a plain function pointer, so the state is the process's.
#pragma once

namespace zukcli {

enum class ProgressStyle { Bar, Lines, Quiet };

ProgressStyle progressStyleFor(bool quiet);
void startProgress(ProgressStyle style);

// The ProgressCallback handed to the library.
int reportProgress(float percent);

// Ends the display: on success it shows 100%.
void finishProgress(bool succeeded);

} // namespace zukcli
