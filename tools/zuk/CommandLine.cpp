#include "CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace zukcli {

const std::string* Invocation::value(std::string_view option) const
{
    const auto found = values.find(option);
    return found != values.end() ? &found->second : nullptr;
}

namespace {

const std::vector<std::string_view> kCommonFlags = {"quiet", "verbose", "help"};

bool listed(const std::vector<std::string_view>& names, std::string_view name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The common flags' one-letter forms: -q, -v, -h.
std::optional<std::string_view> shortFlag(std::string_view argument)
{
    if (argument == "-q")
        return "quiet";
    if (argument == "-v")
        return "verbose";
    if (argument == "-h")
        return "help";
    return std::nullopt;
}

std::optional<std::string_view> shortValueOption(const Command& command, std::string_view argument)
{
    for (const auto& [letter, name] : command.shortValueOptions)
        if (argument == letter)
            return name;
    return std::nullopt;
}

} // namespace

Invocation parseArguments(const Command& command, const std::vector<std::string>& arguments)
{
    Invocation call;
    call.command = std::string(command.name);
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (const auto flag = optionsEnded ? std::nullopt : shortFlag(argument)) {
            call.flags.insert(std::string(*flag));
            continue;
        }
        if (const auto option = optionsEnded ? std::nullopt : shortValueOption(command, argument)) {
            if (i + 1 >= arguments.size())
                throw UsageError{argument + " needs a value"};
            call.values[std::string(*option)] = arguments[++i];
            continue;
        }
        if (optionsEnded || argument.size() < 2 || argument.compare(0, 2, "--") != 0) {
            call.positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = argument.substr(2);
        std::optional<std::string> inlineValue;
        if (const auto equals = name.find('='); equals != std::string::npos) {
            inlineValue = name.substr(equals + 1);
            name.resize(equals);
        }
        if (listed(command.valueOptions, name)) {
            if (inlineValue) {
                call.values[name] = *inlineValue;
            } else if (i + 1 < arguments.size()) {
                call.values[name] = arguments[++i];
            } else {
                throw UsageError{"--" + name + " needs a value"};
            }
        } else if (listed(command.flagOptions, name) || listed(kCommonFlags, name)) {
            if (inlineValue)
                throw UsageError{"--" + name + " takes no value"};
            call.flags.insert(name);
        } else {
            throw UsageError{"unknown option --" + name};
        }
    }
    const size_t most = std::max(command.positionalCount, command.positionalMost);
    if (!call.has("help") && (call.positional.size() < command.positionalCount || call.positional.size() > most))
        wrongArgumentCount(command.positionalCount, call.positional.size());
    return call;
}

void wrongArgumentCount(size_t expected, size_t got)
{
    throw UsageError{"expected " + std::to_string(expected) + " argument" + (expected == 1 ? "" : "s") + ", got " +
        std::to_string(got)};
}

namespace {

template <class Whole>
Whole parseWhole(const std::string& text, std::string_view what)
{
    Whole value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        throw UsageError{std::string(what) + " must be a whole number, not '" + text + "'"};
    return value;
}

} // namespace

int parseInt(const std::string& text, std::string_view what)
{
    return parseWhole<int>(text, what);
}

int64_t parseInt64(const std::string& text, std::string_view what)
{
    return parseWhole<int64_t>(text, what);
}

double parseDouble(const std::string& text, std::string_view what)
{
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(value))
        throw UsageError{std::string(what) + " must be a number, not '" + text + "'"};
    return value;
}

std::optional<double> parseOptionalSeconds(const Invocation& call, std::string_view option)
{
    const std::string* text = call.value(option);
    if (text == nullptr)
        return std::nullopt;
    return parseDouble(*text, "--" + std::string(option));
}

double parseSeconds(const Invocation& call, std::string_view option)
{
    const auto value = parseOptionalSeconds(call, option);
    if (!value)
        throw UsageError{"--" + std::string(option) + " is required"};
    return *value;
}

} // namespace zukcli
