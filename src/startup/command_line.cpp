#include "startup/command_line.h"

#include "core/errors.h"
#include "core/messages.h"

#include <limits>

namespace startup {

namespace {

// Blanks, tabs and every other control character separate arguments and are trimmed from numbers.
bool isSeparator(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::int32_t> parseHex(std::string_view digits)
{
    if (digits.empty() || digits.size() > 8)
        return std::nullopt;
    std::uint32_t pattern = 0;
    for (const char c : digits) {
        const int digit = hexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        pattern = pattern << 4 | static_cast<std::uint32_t>(digit);
    }
    // The digits are a 32-bit pattern: "$FFFFFFFF" is -1.
    return static_cast<std::int32_t>(pattern);
}

std::optional<std::int32_t> parseDecimal(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    // The magnitude may reach 2^31 only for a negative number.
    const std::int64_t limit
        = std::int64_t { std::numeric_limits<std::int32_t>::max() } + (negative ? 1 : 0);
    std::int64_t magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

constexpr std::string_view kDaysSwitch = "/TAGE:";
constexpr std::string_view kDirectoryIndexSwitch = "/ID:";
constexpr std::string_view kLogSwitch = "/PROTOKOLL:";
constexpr std::string_view kKeepSwitch = "/ANZAHL:";
constexpr std::string_view kSubdirectoriesSwitch = "/SUB";
constexpr std::string_view kListOnlySwitch = "/LISTE";
constexpr std::string_view kDirectorySwitch = "/VERZEICHNIS:";
constexpr std::string_view kSettingsSwitch = "/INI:";

// Only the whole word starts a deletion that nobody confirms: a log path such as
// "/var/log/cargo.log", a folder "/srv/django-logs" or "ergo" merely holds the letters.
bool asksForUnattendedRun(std::string_view upper)
{
    if (upper.starts_with('/'))
        upper.remove_prefix(1);
    return upper == "GO" || upper == "SOFORT";
}

bool asksForHelp(std::string_view upper)
{
    return upper == "--HELP" || upper == "-H" || upper == "/?";
}

bool asksForVersion(std::string_view upper)
{
    return upper == "--VERSION";
}

// Whether the argument is one of the switches, whatever its value.
bool isSwitch(std::string_view upper)
{
    for (const std::string_view prefix :
        { kDaysSwitch, kDirectoryIndexSwitch, kLogSwitch, kKeepSwitch, kSubdirectoriesSwitch,
            kListOnlySwitch, kDirectorySwitch, kSettingsSwitch }) {
        if (upper.starts_with(prefix))
            return true;
    }
    return asksForUnattendedRun(upper) || asksForHelp(upper) || asksForVersion(upper);
}

// The value of a switch that names a file or folder: the letters as given, since on Linux
// "/var/log/App.log" and "/VAR/LOG/APP.LOG" are different files. An empty value names nothing.
std::string pathValue(const std::string &argument, std::string_view prefix)
{
    std::string value = argument.substr(prefix.size());
    if (value.empty())
        throw core::AppError(core::messages::namesNothing(prefix));
    return value;
}

std::string_view trimSeparators(std::string_view text)
{
    while (!text.empty() && isSeparator(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSeparator(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::vector<std::string> splitCommandLine(std::string_view commandLine)
{
    std::vector<std::string> arguments;
    std::string current;
    bool quoted = false;
    for (const char c : commandLine) {
        if (c == '"')
            quoted = !quoted;
        else if (quoted || !isSeparator(c))
            current += c;
        else if (!current.empty()) {
            arguments.push_back(current);
            current.clear();
        }
    }
    // An argument made only of quotes is empty and yields nothing, like a pair standing alone.
    if (!current.empty())
        arguments.push_back(current);
    return arguments;
}

std::string upperAscii(std::string_view text)
{
    std::string upper(text);
    for (char &c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

std::optional<std::int32_t> parseInteger(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (text.starts_with("0x") || text.starts_with("0X"))
        return parseHex(text.substr(2));
    if (text.starts_with('$') || text.starts_with('x') || text.starts_with('X'))
        return parseHex(text.substr(1));
    return parseDecimal(text);
}

std::int32_t convertSwitchInteger(std::string_view value)
{
    const std::string_view trimmed = trimSeparators(value);
    if (const auto number = parseInteger(trimmed))
        return *number;
    throw core::AppError(core::messages::notAnInteger(trimmed));
}

std::int16_t clampCount(std::int32_t value)
{
    if (value < std::numeric_limits<std::int16_t>::min())
        return std::numeric_limits<std::int16_t>::min();
    if (value > std::numeric_limits<std::int16_t>::max())
        return std::numeric_limits<std::int16_t>::max();
    return static_cast<std::int16_t>(value);
}

void applySwitches(const std::vector<std::string> &arguments, SwitchResults &results)
{
    for (const std::string &argument : arguments) {
        const std::string upper = upperAscii(argument);
        const std::string_view value(upper);
        if (upper.starts_with(kDaysSwitch))
            results.dayCount = convertSwitchInteger(value.substr(kDaysSwitch.size()));
        if (upper.starts_with(kDirectoryIndexSwitch)) {
            const std::int32_t number
                = convertSwitchInteger(value.substr(kDirectoryIndexSwitch.size()));
            results.directoryNumber = number;
            // "/ID:-2147483648" has no index one below it; the lowest index is as far outside the
            // list as the missing one would be.
            results.directoryIndex
                = number == std::numeric_limits<std::int32_t>::min() ? number : number - 1;
        }
        if (asksForUnattendedRun(upper))
            results.unattended = true;
        if (upper.starts_with(kLogSwitch))
            results.logFileName = argument.substr(kLogSwitch.size());
        if (upper.starts_with(kKeepSwitch))
            results.keepCount = convertSwitchInteger(value.substr(kKeepSwitch.size()));
        if (upper.starts_with(kSubdirectoriesSwitch))
            results.includeSubdirectories = true;
        if (upper.starts_with(kListOnlySwitch))
            results.listOnly = true;
        if (upper.starts_with(kDirectorySwitch))
            results.directory = pathValue(argument, kDirectorySwitch);
        if (upper.starts_with(kSettingsSwitch))
            results.settingsFile = pathValue(argument, kSettingsSwitch);
    }
}

Requests scanRequests(const std::vector<std::string> &arguments)
{
    Requests requests;
    for (const std::string &argument : arguments) {
        const std::string upper = upperAscii(argument);
        requests.unattended = requests.unattended || asksForUnattendedRun(upper);
        requests.listOnly = requests.listOnly || upper.starts_with(kListOnlySwitch);
        requests.help = requests.help || asksForHelp(upper);
        requests.version = requests.version || asksForVersion(upper);
        if (!requests.unknownArgument && !isSwitch(upper))
            requests.unknownArgument = argument;
    }
    return requests;
}

} // namespace startup
