#pragma once

// Options are arguments that begin with "-" followed by the option name, letter case
// ignored. Only the name's length is compared, so "-quiet" counts as "-q". "/" does not
// begin an option, because it begins paths. A value follows the name in the same
// argument ("-iname.TVX") or is the next argument when that is no option
// ("-i /path/a.TVX").

#include <string>
#include <string_view>
#include <vector>

class CCommandLine
{
public:
    CCommandLine() = default;
    explicit CCommandLine(std::vector<std::string> arguments);
    static CCommandLine FromArgv(int argc, const char* const* argv);

    bool GetCommandLineOption(std::string_view name, std::string* value = nullptr) const;
    bool HasLongOption(std::string_view name) const;  // "--help", "--version"
    const std::vector<std::string>& Arguments() const { return m_arguments; }

private:
    std::vector<std::string> m_arguments;
};

// Every option this program understands, for the usage text.
std::string CommandLineUsage(std::string_view programName);
