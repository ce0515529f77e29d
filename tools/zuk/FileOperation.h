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

inline std::string sameText(const std::string& argument)
{
    return argument;
}

// Runs `operation` on the wide forms of the first two arguments. `fileOf`
// turns an argument into the file it names, for the messages.
template <class Operation>
int runWithProgress(const Invocation& call, Operation&& operation,
                    std::string (*fileOf)(const std::string&) = sameText)
{
    const std::string& input = call.positional.at(0);
    const std::string& output = call.positional.at(1);
    startProgress(progressStyleFor(call.has("quiet")));
    const int64_t result = operation(widePath(input), widePath(output));
    finishProgress(result >= 0);
    if (result < 0)
        return reportFailure(call.command, result, fileOf(input), fileOf(output));
    describeWrittenFile(fileOf(output));
    if (result > 0)
        note("result %lld: %s\n", static_cast<long long>(result), resultMeaning(result));
    return 0;
}

} // namespace zukcli
