// zuk extract IN... --outdir DIR: many inputs at once through the library's
// batch, with one progress line for all of them, a summary and a report.
#pragma once

#include "CommandLine.h"

namespace zukcli {

int extractBatchCommand(const Invocation& call);

// -j/--jobs: 0 (the default) means one per core.
int jobsOption(const Invocation& call);

} // namespace zukcli
