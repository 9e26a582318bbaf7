#include "platform/file_status.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/stat_conversion.h"

namespace {

EFileKind KindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return EFileKind::File;
    if (S_ISDIR(mode))
        return EFileKind::Folder;
    if (S_ISLNK(mode))
        return EFileKind::SymbolicLink;
    return EFileKind::Other;
}

CFileTime TimeFrom(const timespec& time)
{
    return CFileTime{static_cast<std::int64_t>(time.tv_sec), static_cast<long>(time.tv_nsec)};
}

timespec TimespecFrom(const CFileTime& time)
{
    return timespec{static_cast<time_t>(time.seconds), time.nanoseconds};
}

int Result(int returned)
{
    return returned == 0 ? 0 : errno;
}

} // namespace

CFileStatus FileStatusFrom(const struct stat& status)
{
    CFileStatus result;
    result.kind = KindOfMode(status.st_mode);
    result.size = static_cast<std::int64_t>(status.st_size);
    result.modified = TimeFrom(status.st_mtim);
    result.accessed = TimeFrom(status.st_atim);
    result.statusChanged = TimeFrom(status.st_ctim);
    result.permissions = status.st_mode & 07777;
    result.device = static_cast<std::uint64_t>(status.st_dev);
    result.identity = static_cast<std::uint64_t>(status.st_ino);
    return result;
}

namespace {

// flags: 0 to follow a final link, AT_SYMLINK_NOFOLLOW to describe it.
int ReadStatus(const std::string& path, CFileStatus& status, int flags)
{
    struct stat raw
    {
    };
    if (fstatat(AT_FDCWD, path.c_str(), &raw, flags) != 0)
        return errno;
    status = FileStatusFrom(raw);
    return 0;
}

} // namespace

int ReadFileStatus(const std::string& path, CFileStatus& status)
{
    return ReadStatus(path, status, AT_SYMLINK_NOFOLLOW);
}

int ReadFollowedStatus(const std::string& path, CFileStatus& status)
{
    return ReadStatus(path, status, 0);
}

int SetPermissions(const std::string& path, unsigned permissions)
{
    return Result(chmod(path.c_str(), static_cast<mode_t>(permissions)));
}

int SetFileTimes(const std::string& path, const CFileTime& accessed, const CFileTime& modified,
                 bool followLinks)
{
    const timespec times[2] = {TimespecFrom(accessed), TimespecFrom(modified)};
    return Result(utimensat(AT_FDCWD, path.c_str(), times, followLinks ? 0 : AT_SYMLINK_NOFOLLOW));
}

int RemoveFile(const std::string& path)
{
    return Result(unlink(path.c_str()));
}

int RenameReplacing(const std::string& from, const std::string& to)
{
    return Result(rename(from.c_str(), to.c_str()));
}

int CreateFolder(const std::string& path, unsigned permissions)
{
    return Result(mkdir(path.c_str(), static_cast<mode_t>(permissions)));
}

int RemoveEmptyFolder(const std::string& path)
{
    return Result(rmdir(path.c_str()));
}

int ReadLinkTarget(const std::string& path, std::string& target)
{
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
        if (length < 0)
            return errno;
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            target = std::move(buffer);
            return 0;
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool CanEnterFolder(const std::string& path)
{
    return access(path.c_str(), X_OK) == 0;
}

int ResolvePath(const std::string& path, std::string& resolved)
{
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return errno;
    resolved = real;
    std::free(real);
    return 0;
}

std::string CurrentUserName()
{
    if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr)
        return entry->pw_name;
    const char* user = std::getenv("USER");
    return user != nullptr ? user : "";
}
