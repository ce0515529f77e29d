// "-" as a file name: stdin as an input, stdout as the WAV output. Both go
// through files in a private folder, since the library reads inputs with
// seeks and writes WAV headers last.
#pragma once

#include "CommandLine.h"

#include <string>

namespace zukcli {

class StandardStreams {
public:
    StandardStreams() = default;
    ~StandardStreams();
    StandardStreams(const StandardStreams&) = delete;
    StandardStreams& operator=(const StandardStreams&) = delete;

    // Replaces each "-" among the arguments of `call`: an input by a copy of
    // stdin, the output (the last argument) by a file that finish() sends to
    // stdout. Throws UsageError where "-" cannot stand.
    void substitute(Invocation& call);

    // Sends the output to stdout, in full, when `status` is success; the
    // status the command ends with.
    int finish(int status);

private:
    std::string folder();

    std::string privateFolder;
    std::string stdoutFile;
};

} // namespace zukcli
