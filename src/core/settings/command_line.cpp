#include "settings/command_line.h"

CCommandLine::CCommandLine(std::vector<std::string> arguments) : m_arguments(std::move(arguments)) {}

CCommandLine CCommandLine::FromArgv(int argc, const char* const* argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return CCommandLine(std::move(arguments));
}

namespace {

bool IsOptionWord(const std::string& argument)
{
    return argument.size() > 1 && argument[0] == '-' && argument[1] != '-';
}

// Option names are ASCII; other bytes must match exactly.
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lower(text[i]) != lower(prefix[i]))
            return false;
    return true;
}

}  // namespace

bool CCommandLine::GetCommandLineOption(std::string_view name, std::string* value) const
{
    if (value)
        value->clear();
    for (std::size_t i = 0; i < m_arguments.size(); ++i) {
        const std::string& argument = m_arguments[i];
        if (!IsOptionWord(argument) || argument.size() - 1 < name.size()
            || !StartsWithIgnoringCase(std::string_view(argument).substr(1), name))
            continue;
        if (value) {
            *value = argument.substr(1 + name.size());
            const bool nextIsValue = i + 1 < m_arguments.size() && !m_arguments[i + 1].empty()
                                     && m_arguments[i + 1][0] != '-';
            if (value->empty() && nextIsValue)
                *value = m_arguments[i + 1];
        }
        return true;
    }
    return false;
}

bool CCommandLine::HasLongOption(std::string_view name) const
{
    for (const auto& argument : m_arguments)
        if (argument.size() == name.size() + 2 && argument.compare(0, 2, "--") == 0
            && argument.compare(2, std::string::npos, name) == 0)
            return true;
    return false;
}

std::string CommandLineUsage(std::string_view programName)
{
    std::string usage = "Usage: ";
    usage += programName;
    usage += " [options]\n"
             "\n"
             "  -i FILE   use this settings file instead of Tovix.TVX (a name without \"/\"\n"
             "            lives in the configuration folder)\n"
             "  -q        end once every pending backup is done\n"
             "  -sa       back up every file setting once after start\n"
             "  -min      start minimised to the tray\n"
             "  -cp       no confirmation when the program is closed\n"
             "  -fx       no strict test of file existence\n"
             "  -nbc      do not check that the backup destination exists\n"
             "  -nws      do not restore the last window position\n"
             "  -pn       never change the process priority\n"
             "  -xn       ignore file settings whose source is a network path\n"
             "  -pd       ask for user name and password when a network share is connected\n"
             "  -pw PASS  password for connecting network shares\n"
             "  --help    show this text\n"
             "  --version show the version\n";
    return usage;
}
