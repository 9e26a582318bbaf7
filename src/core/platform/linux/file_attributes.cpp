#include "platform/linux/file_attributes.h"

#include <cerrno>
#include <cstdio>
#include <sys/xattr.h>
#include <unistd.h>

bool IsReadOnlyMode(mode_t mode)
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
    return std::string_view(recorded, static_cast<std::size_t>(length)) != ArchiveStateOf(status);
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
