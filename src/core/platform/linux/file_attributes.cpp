#include "platform/file_attributes.h"

#include "platform/linux/archive_state.h"

#include <cerrno>
#include <cstdio>
#include <sys/xattr.h>
#include <unistd.h>

bool IsReadOnlyMode(unsigned mode)
{
    return (mode & S_IWUSR) == 0;
}

bool IsHiddenName(std::string_view fileName)
{
    return !fileName.empty() && fileName.front() == '.';
}

std::string ArchiveStateOf(const struct stat& status)
{
    char text[80];
    std::snprintf(text, sizeof text, "%lld.%09ld:%lld", static_cast<long long>(status.st_mtim.tv_sec),
                  static_cast<long>(status.st_mtim.tv_nsec), static_cast<long long>(status.st_size));
    return text;
}

bool MatchesArchiveState(std::string_view recorded, const struct stat& status)
{
    // "<sec>.<nsec>:<size>". The nanoseconds are kept for the record only: many file
    // systems (FAT, SMB shares, ext4 with small inodes) keep whole seconds, and the state
    // recorded on a backup must still match what they keep of its time.
    const auto dot = recorded.find('.');
    const auto colon = recorded.rfind(':');
    if (dot == std::string_view::npos || colon == std::string_view::npos || colon < dot)
        return false;
    const std::string current = ArchiveStateOf(status);
    const auto currentDot = current.find('.');
    const auto currentColon = current.rfind(':');
    return recorded.substr(0, dot) == std::string_view(current).substr(0, currentDot)
           && recorded.substr(colon) == std::string_view(current).substr(currentColon);
}

bool HasArchiveBit(const std::string& path)
{
    struct stat status
    {
    };
    if (lstat(path.c_str(), &status) != 0)
        return true;
    char recorded[128];
    const ssize_t length = lgetxattr(path.c_str(), kArchiveStateAttribute, recorded, sizeof recorded);
    if (length < 0)
        return true;
    return !MatchesArchiveState(std::string_view(recorded, static_cast<std::size_t>(length)), status);
}

bool KeepsArchiveState(const std::string& path)
{
    char recorded[128];
    if (lgetxattr(path.c_str(), kArchiveStateAttribute, recorded, sizeof recorded) >= 0)
        return true;
    return errno != ENOTSUP && errno != EOPNOTSUPP;
}

int RecordArchiveState(const std::string& path, const std::string& state)
{
    if (lsetxattr(path.c_str(), kArchiveStateAttribute, state.data(), state.size(), 0) == 0)
        return 0;
    const int error = errno;
    struct stat status
    {
    };
    if ((error != EACCES && error != EPERM) || lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)
        || status.st_uid != geteuid() || !IsReadOnlyMode(status.st_mode))
        return error;
    if (chmod(path.c_str(), (status.st_mode & 07777) | S_IWUSR) != 0)
        return error;
    const int result =
        lsetxattr(path.c_str(), kArchiveStateAttribute, state.data(), state.size(), 0) == 0 ? 0 : errno;
    chmod(path.c_str(), status.st_mode & 07777);
    return result;
}

int ClearArchiveBit(const std::string& path)
{
    struct stat status
    {
    };
    if (lstat(path.c_str(), &status) != 0)
        return errno;
    return RecordArchiveState(path, ArchiveStateOf(status));
}

int SetAttributesNormal(const std::string& path)
{
    struct stat status
    {
    };
    if (lstat(path.c_str(), &status) != 0)
        return errno;
    if (S_ISLNK(status.st_mode) || (status.st_mode & S_IWUSR) != 0)
        return 0;
    return chmod(path.c_str(), (status.st_mode & 07777) | S_IWUSR) == 0 ? 0 : errno;
}
