// Subcommands of the zuk tool and the parsing of their arguments.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zukcli {

// Exit statuses: 0 success, 1 the operation failed, 2 the command line is wrong.
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct Invocation {
    std::string command;
    std::vector<std::string> positional;
    std::map<std::string, std::string, std::less<>> values;
    std::set<std::string, std::less<>> flags;

    bool has(std::string_view flag) const { return flags.contains(flag); }
    const std::string* value(std::string_view option) const;
};

struct Command {
    std::string_view name;
    std::string_view summary;                   // one line for `zuk --help`
    std::string_view help;                      // the whole text of `zuk NAME --help`
    size_t positionalCount;                     // exactly this many (at least, with positionalMost)
    std::vector<std::string_view> valueOptions; // each takes a value: --rate 48000 or --rate=48000
    std::vector<std::string_view> flagOptions;  // besides --quiet, --verbose, --help
    int (*run)(const Invocation&);
    size_t positionalMost = 0; // more than positionalCount: up to this many; run checks which forms fit
    // One-letter forms of value options ({"-j", "jobs"}): -j 4.
    std::vector<std::pair<std::string_view, std::string_view>> shortValueOptions = {};
};

// Thrown for a command line that cannot be run; main prints it with the usage hint.
struct UsageError {
    std::string message;
};

Invocation parseArguments(const Command& command, const std::vector<std::string>& arguments);

// Throws the usage error for `got` arguments where `expected` are wanted.
[[noreturn]] void wrongArgumentCount(size_t expected, size_t got);

// Strict numbers: the whole text must be the number.
double parseSeconds(const Invocation& call, std::string_view option);
std::optional<double> parseOptionalSeconds(const Invocation& call, std::string_view option);
int parseInt(const std::string& text, std::string_view what);
int64_t parseInt64(const std::string& text, std::string_view what);
double parseDouble(const std::string& text, std::string_view what);

// Every subcommand, in the order `zuk --help` lists them.
const std::vector<Command>& commands();

// The subcommands of one group each.
std::vector<Command> mp4Commands();
std::vector<Command> extractCommands();
std::vector<Command> audioCommands();
std::vector<Command> infoCommands();
std::vector<Command> readerCommands();
std::vector<Command> graphCommands();
std::vector<Command> transportCommands();

} // namespace zukcli
