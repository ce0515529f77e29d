#include "CommandLine.h"
#include "Paths.h"
#include "Report.h"
#include "StandardStreams.h"

#include <zuk/tolvane.h>
#include <zuk/zuk.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace zukcli {

namespace {

// `list`, then the MP4 tools.
std::vector<Command> withMp4Commands(std::vector<Command> list)
{
    for (Command& command : mp4Commands())
        list.push_back(std::move(command));
    return list;
}

} // namespace

const std::vector<Command>& commands()
{
    static const std::vector<Command> all = withMp4Commands([] {
        std::vector<Command> list = extractCommands();
        for (std::vector<Command> group :
            {infoCommands(), readerCommands(), audioCommands(), graphCommands(), transportCommands()})
            for (Command& command : group)
                list.push_back(std::move(command));
        return list;
    }());
    return all;
}

namespace {

void printGeneralHelp(FILE* to)
{
    std::fprintf(to,
        "usage: zuk COMMAND [ARGS] [-q|--quiet] [-v|--verbose]\n"
        "       zuk help COMMAND\n"
        "       zuk --version\n\n"
        "Turns the sound of media files into WAV files.\n\ncommands:\n");
    for (const Command& command : commands())
        std::fprintf(to, "  %-20s %.*s\n", std::string(command.name).c_str(), static_cast<int>(command.summary.size()),
            command.summary.data());
    std::fprintf(to,
        "\nzuk help COMMAND (or zuk COMMAND --help) tells more. Progress goes to\n"
        "stderr (-q, --quiet: none); -v, --verbose prints the library's log there\n"
        "too. Exit status: 0 success, 1 the operation failed, 2 the command line\n"
        "is wrong.\n");
}

void printLogPiece(void*, const char* piece)
{
    std::fputs(piece, stderr);
}

const Command* findCommand(const std::string& name)
{
    for (const Command& command : commands())
        if (command.name == name)
            return &command;
    return nullptr;
}

} // namespace

} // namespace zukcli

int main(int argc, char** argv)
{
    using namespace zukcli;
    // File names handed on as multibyte text follow the user's locale.
    std::setlocale(LC_CTYPE, "");
    if (argc < 2) {
        printGeneralHelp(stderr);
        return kExitUsage;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        printGeneralHelp(stdout);
        return 0;
    }
    if (std::strcmp(argv[1], "help") == 0 && argc <= 3) {
        if (argc == 2) {
            printGeneralHelp(stdout);
            return 0;
        }
        if (const Command* command = findCommand(argv[2])) {
            std::fwrite(command->help.data(), 1, command->help.size(), stdout);
            return 0;
        }
        std::fprintf(stderr, "zuk help: unknown command '%s'\n", argv[2]);
        return kExitUsage;
    }
    if (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0) {
        std::printf("zuk %s\n", zuk_version());
        return 0;
    }
    const Command* command = findCommand(argv[1]);
    if (command == nullptr) {
        std::fprintf(stderr, "zuk: unknown command '%s'\n\n", argv[1]);
        printGeneralHelp(stderr);
        return kExitUsage;
    }
    const std::vector<std::string> arguments(argv + 2, argv + argc);
    try {
        Invocation call = parseArguments(*command, arguments);
        // Every command takes file:// URLs where it takes paths.
        for (std::string& argument : call.positional)
            argument = fileNamedBy(argument);
        StandardStreams streams;
        if (call.has("help")) {
            std::fwrite(command->help.data(), 1, command->help.size(), stdout);
            return 0;
        }
        setQuiet(call.has("quiet"));
        // The MP4 route's box-by-box commentary is for those who ask for it.
        zuk_set_mp4_diagnostics(call.has("verbose") ? stderr : nullptr);
        if (call.has("verbose"))
            tolvane_set_sink(printLogPiece, nullptr);
        streams.substitute(call);
        return streams.finish(command->run(call));
    } catch (const UsageError& error) {
        std::fprintf(stderr, "zuk %s: %s\nTry 'zuk %s --help'.\n", argv[1], error.message.c_str(), argv[1]);
        return kExitUsage;
    }
}
