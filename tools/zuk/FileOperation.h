// Running one library operation from an input file to an output file, with
// progress shown as the command line asks and the outcome reported.
#pragma once

#include "CommandLine.h"
#include "Paths.h"
#include "Progress.h"
#include "Report.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace zukcli {

// Runs `operation` on the wide forms of the first two arguments.
template <class Operation>
int runWithProgress(const Invocation& call, Operation&& operation)
{
    const std::string& input = call.positional.at(0);
    const std::string& output = call.positional.at(1);
    startProgress(progressStyleFor(call.has("quiet")));
    const int64_t result = operation(widePath(input), widePath(output));
    finishProgress(result >= 0);
    if (result < 0)
        return reportFailure(call.command, result, input, output);
    describeWrittenFile(output);
    if (result > 0)
        note("result %lld: %s\n", static_cast<long long>(result), resultMeaning(result));
    return 0;
}

} // namespace zukcli
