#include "platform/program_lookup.h"

#include "platform/child_process.h"
#include "platform/path.h"
#include "platform/program_paths.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

std::string FindProgram(const std::string& name)
{
    if (name.empty())
        return {};
    if (name.find(kPathSeparator) != std::string::npos)
        return name;
    if (std::string found = FindProgramOnPath(name); !found.empty())
        return found;
    const std::string besideProgram = JoinPath(GetProgramDirectory(), name);
    return IsExecutableFile(besideProgram) ? besideProgram : std::string();
}

std::vector<std::string> SplitShellWords(std::string_view text)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsBlank(c)) {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            const std::size_t end = text.find('\'', i + 1);
            const std::size_t stop = end == std::string_view::npos ? text.size() : end;
            word.append(text.substr(i + 1, stop - i - 1));
            i = stop;
        } else if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size()
                    && std::string_view("\"\\$`").find(text[i + 1]) != std::string_view::npos)
                    ++i;
                word += text[i];
            }
        } else if (c == '\\' && i + 1 < text.size()) {
            word += text[++i];
        } else {
            word += c;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}
