#pragma once

// Storage information on Linux: mounts from /proc/self/mountinfo, free space from
// statvfs, volume labels from the links in /dev/disk/by-label.

#include "platform/storage_info.h"

class CLinuxStorageInfo final : public IStorageInfo
{
public:
    explicit CLinuxStorageInfo(std::string mountInfo = "/proc/self/mountinfo",
                               std::string labelFolder = "/dev/disk/by-label");

    std::string MountPointOf(std::string_view path) override;
    std::optional<std::uint64_t> FreeBytes(std::string_view path) override;
    void VolumeNames(std::string_view mountPoint, std::string& label, std::string& fileSystem) override;

private:
    std::string m_mountInfo;
    std::string m_labelFolder;
};
