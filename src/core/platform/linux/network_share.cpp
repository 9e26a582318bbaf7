#include "platform/network_share.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <strings.h>
#include <unistd.h>
#include <vector>

#include "platform/mount_table.h"
#include "platform/path.h"

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// gvfs writes reserved characters of names as %XX.
std::string UnescapePercent(std::string_view text)
{
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0
            && HexValue(text[i + 2]) >= 0) {
            result += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string RuntimeFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0')
        return runtime;
    return "/run/user/" + std::to_string(getuid());
}

// "smb-share:domain=X,server=srv,share=data,user=bob"
bool GvfsEntryMatches(std::string_view entry, const CShareName& name)
{
    constexpr std::string_view kPrefix = "smb-share:";
    if (entry.substr(0, kPrefix.size()) != kPrefix)
        return false;
    entry.remove_prefix(kPrefix.size());
    bool serverMatches = false;
    bool shareMatches = false;
    while (!entry.empty()) {
        const auto comma = entry.find(',');
        const std::string_view field = entry.substr(0, comma);
        const auto equals = field.find('=');
        if (equals != std::string_view::npos) {
            const std::string_view key = field.substr(0, equals);
            const std::string value = UnescapePercent(field.substr(equals + 1));
            if (key == "server")
                serverMatches = SameIgnoringCase(value, name.server);
            else if (key == "share")
                shareMatches = SameIgnoringCase(value, name.share);
        }
        if (comma == std::string_view::npos)
            break;
        entry.remove_prefix(comma + 1);
    }
    return serverMatches && shareMatches;
}

std::string FindGvfsMount(const CShareName& name)
{
    const std::string gvfs = JoinPath(RuntimeFolder(), "gvfs");
    DIR* dir = opendir(gvfs.c_str());
    if (dir == nullptr)
        return {};
    std::string found;
    while (const dirent* entry = readdir(dir)) {
        if (GvfsEntryMatches(entry->d_name, name)) {
            found = JoinPath(gvfs, entry->d_name);
            break;
        }
    }
    closedir(dir);
    return found;
}

std::string FindKernelMount(const CShareName& name)
{
    for (const CMount& mount : ReadMounts()) {
        if (mount.fileSystem != "cifs" && mount.fileSystem != "smb3")
            continue;
        CShareName mounted;
        if (ParseShareName(mount.source, mounted) && SameIgnoringCase(mounted.server, name.server)
            && SameIgnoringCase(mounted.share, name.share))
            return mount.mountPoint;
    }
    return {};
}

} // namespace

bool ParseShareName(std::string_view path, CShareName& name)
{
    if (!IsUncPath(path))
        return false;
    path.remove_prefix(2);
    const auto slash = path.find(kPathSeparator);
    if (slash == std::string_view::npos || slash == 0)
        return false;
    name.server = path.substr(0, slash);
    path.remove_prefix(slash + 1);
    name.share = path.substr(0, path.find(kPathSeparator));
    return !name.share.empty();
}

std::string FindShareMountPoint(const CShareName& name)
{
    std::string found = FindGvfsMount(name);
    if (found.empty())
        found = FindKernelMount(name);
    return found;
}

int ToLocalPath(std::string_view path, std::string& local)
{
    if (!IsUncPath(path)) {
        local = path;
        return 0;
    }
    CShareName name;
    if (!ParseShareName(path, name))
        return EHOSTDOWN;
    const std::string mountPoint = FindShareMountPoint(name);
    if (mountPoint.empty())
        return EHOSTDOWN;
    const std::string root = GetShareRoot(path);
    local = mountPoint + std::string(path.substr(root.size()));
    return 0;
}

std::string ShareUri(const CShareName& name)
{
    return "smb://" + name.server + "/" + name.share;
}
