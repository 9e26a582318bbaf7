#include "platform/linux/storage_info.h"

#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <sys/statvfs.h>
#include <vector>

#include "platform/mount_table.h"
#include "platform/network_share.h"
#include "platform/path.h"

namespace {

// udev writes unsafe bytes of label link names as \xNN.
std::string UnescapeLabel(std::string_view text)
{
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            char* end = nullptr;
            const std::string hex(text.substr(i + 2, 2));
            const long value = std::strtol(hex.c_str(), &end, 16);
            if (end == hex.c_str() + 2) {
                result += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        result += text[i];
    }
    return result;
}

std::string RealPath(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

// The nearest existing folder or file on the way up from path, with links resolved; a
// network path goes through its share's local mount.
std::string ExistingRealPath(std::string_view path)
{
    std::string local;
    if (ToLocalPath(path, local) != 0 || local.empty())
        return {};
    for (;;) {
        std::string real = RealPath(local);
        if (!real.empty())
            return real;
        const std::string parent = ParentPath(local);
        if (parent == local || parent.empty())
            return {};
        local = parent;
    }
}

} // namespace

CLinuxStorageInfo::CLinuxStorageInfo(std::string mountInfo, std::string labelFolder)
    : m_mountInfo(std::move(mountInfo)), m_labelFolder(std::move(labelFolder))
{
}

std::string CLinuxStorageInfo::MountPointOf(std::string_view path)
{
    const std::string real = ExistingRealPath(path.empty() ? std::string_view("/") : path);
    if (real.empty())
        return {};
    // The deepest mount point holding the path; of mounts stacked on one point, the last
    // one listed is the one in view.
    std::string best;
    for (const CMount& mount : ReadMounts(m_mountInfo)) {
        if (IsSameOrInside(real, mount.mountPoint) && mount.mountPoint.size() >= best.size())
            best = mount.mountPoint;
    }
    return best;
}

std::optional<std::uint64_t> CLinuxStorageInfo::FreeBytes(std::string_view path)
{
    const std::string real = ExistingRealPath(path.empty() ? std::string_view("/") : path);
    struct statvfs status
    {
    };
    if (real.empty() || statvfs(real.c_str(), &status) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(status.f_bavail) * static_cast<std::uint64_t>(status.f_frsize);
}

void CLinuxStorageInfo::VolumeNames(std::string_view mountPoint, std::string& label, std::string& fileSystem)
{
    label.clear();
    fileSystem.clear();
    std::string source;
    for (const CMount& mount : ReadMounts(m_mountInfo)) {
        if (mount.mountPoint == mountPoint) {
            fileSystem = mount.fileSystem;
            source = mount.source;
        }
    }
    const std::string device = source.empty() || source.front() != '/' ? std::string() : RealPath(source);
    if (device.empty())
        return;
    DIR* dir = opendir(m_labelFolder.c_str());
    if (dir == nullptr)
        return;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        if (RealPath(JoinPath(m_labelFolder, entry->d_name)) == device) {
            label = UnescapeLabel(entry->d_name);
            break;
        }
    }
    closedir(dir);
}
