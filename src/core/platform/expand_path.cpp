#include "platform/expand_path.h"

#include <cstdlib>
#include <strings.h>
#include <unistd.h>

namespace {

bool IsTemporaryFolderName(std::string_view name)
{
    return (name.size() == 4 && strncasecmp(name.data(), "TEMP", 4) == 0)
           || (name.size() == 3 && strncasecmp(name.data(), "TMP", 3) == 0);
}

// An exact match wins; otherwise the first variable whose name differs only in case.
const char* LookupVariable(std::string_view name)
{
    const std::string exact(name);
    if (const char* value = std::getenv(exact.c_str()))
        return value;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view variable(*entry);
        const auto equals = variable.find('=');
        if (equals == name.size() && strncasecmp(variable.data(), name.data(), name.size()) == 0)
            return *entry + equals + 1;
    }
    if (IsTemporaryFolderName(name)) {
        const char* tmpdir = std::getenv("TMPDIR");
        return tmpdir && *tmpdir ? tmpdir : "/tmp";
    }
    return nullptr;
}

}  // namespace

std::string ExpandPath(std::string_view raw)
{
    std::string result;
    result.reserve(raw.size());
    std::size_t pos = 0;
    while (pos < raw.size()) {
        const auto open = raw.find('%', pos);
        if (open == std::string_view::npos)
            break;
        const auto close = raw.find('%', open + 1);
        if (close == std::string_view::npos)
            break;
        const std::string_view name = raw.substr(open + 1, close - open - 1);
        const char* value = name.empty() ? nullptr : LookupVariable(name);
        if (value) {
            result.append(raw.substr(pos, open - pos));
            result.append(value);
            pos = close + 1;
        } else {
            // Not a reference: keep the first "%" and look for one starting at the second.
            result.append(raw.substr(pos, close - pos));
            pos = close;
        }
    }
    result.append(raw.substr(pos));
    return result;
}
