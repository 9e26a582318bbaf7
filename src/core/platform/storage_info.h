#pragma once

// The file system that holds a destination: where it is mounted, how much room it has
// and what it is called, for the free-space report after a backup.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class IStorageInfo
{
public:
    virtual ~IStorageInfo() = default;
    // The mount point of the file system holding path. A path that does not exist (yet)
    // belongs to the mount of its nearest existing ancestor. "" when nothing is found.
    virtual std::string MountPointOf(std::string_view path) = 0;
    // Bytes available to this user on the file system holding path; nullopt when the
    // query fails.
    virtual std::optional<std::uint64_t> FreeBytes(std::string_view path) = 0;
    // The volume label and the file-system type of the mount at mountPoint; each is ""
    // when it cannot be learnt.
    virtual void VolumeNames(std::string_view mountPoint, std::string& label, std::string& fileSystem) = 0;
};
