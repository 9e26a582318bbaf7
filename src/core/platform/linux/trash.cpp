#include "platform/trash.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/no_replace_rename.h"
#include "platform/path.h"

namespace {

constexpr int kMaxNameAttempts = 10000;

std::string EnvOr(const char* name, std::string fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

// Creates folder (one level) with mode 0700 unless it exists as a real folder.
int EnsurePrivateFolder(const std::string& folder)
{
    if (mkdir(folder.c_str(), 0700) == 0)
        return 0;
    if (errno != EEXIST)
        return errno;
    struct stat status
    {
    };
    if (lstat(folder.c_str(), &status) != 0)
        return errno;
    return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
}

int EnsureFolderPath(const std::string& folder)
{
    struct stat status
    {
    };
    if (stat(folder.c_str(), &status) == 0)
        return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
    const std::string parent = ParentPath(folder);
    if (!parent.empty() && parent != folder)
        if (const int error = EnsureFolderPath(parent))
            return error;
    return EnsurePrivateFolder(folder);
}

std::string RealFolderOf(const std::string& path)
{
    const std::string parent = path.find(kPathSeparator) == std::string::npos ? "." : ParentPath(path);
    std::unique_ptr<char, decltype(&std::free)> real(realpath(parent.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

// The mount point that holds folder: the highest ancestor on the same device.
std::string MountPointOf(const std::string& folder, dev_t device)
{
    std::string current = folder;
    while (current != "/") {
        const std::string parent = ParentPath(current);
        struct stat status
        {
        };
        if (stat(parent.c_str(), &status) != 0 || status.st_dev != device)
            break;
        current = parent;
    }
    return current;
}

int TrashFolderOnMount(const std::string& topdir, std::string& trash)
{
    const std::string uid = std::to_string(getuid());
    const std::string shared = JoinPath(topdir, ".Trash");
    struct stat status
    {
    };
    if (lstat(shared.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && (status.st_mode & S_ISVTX) != 0) {
        trash = JoinPath(shared, uid);
        if (EnsurePrivateFolder(trash) == 0)
            return 0;
    }
    trash = JoinPath(topdir, ".Trash-" + uid);
    if (const int error = EnsurePrivateFolder(trash))
        return error;
    if (lstat(trash.c_str(), &status) != 0)
        return errno;
    return status.st_uid == getuid() ? 0 : EACCES;
}

std::string LocalDateTime(std::time_t time)
{
    std::tm local{};
    localtime_r(&time, &local);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

// "name.ext" -> "name.2.ext" for the second attempt and so on.
std::string CandidateName(const std::string& fileName, int attempt)
{
    if (attempt == 1)
        return fileName;
    std::string name;
    std::string extension;
    SplitNameExtension(fileName, name, extension);
    return name + "." + std::to_string(attempt) + extension;
}

int WriteAll(int fd, const std::string& text)
{
    std::size_t at = 0;
    while (at < text.size()) {
        const ssize_t written = write(fd, text.data() + at, text.size() - at);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        at += static_cast<std::size_t>(written);
    }
    return 0;
}

} // namespace

std::string HomeTrashFolder()
{
    const std::string dataHome = EnvOr("XDG_DATA_HOME", JoinPath(EnvOr("HOME", "/"), ".local/share"));
    return JoinPath(dataHome, "Trash");
}

std::string EncodeTrashInfoPath(std::string_view path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                           || c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0xF];
        }
    }
    return encoded;
}

int MoveToTrash(const std::string& path, std::time_t deletionTime)
{
    struct stat status
    {
    };
    if (lstat(path.c_str(), &status) != 0)
        return errno;
    const std::string folder = RealFolderOf(path);
    if (folder.empty())
        return errno != 0 ? errno : ENOENT;
    const std::string fileName = FileNameOf(path);
    const std::string original = JoinPath(folder, fileName);

    std::string trash = HomeTrashFolder();
    if (const int error = EnsureFolderPath(trash))
        return error;
    struct stat trashStatus
    {
    };
    if (stat(trash.c_str(), &trashStatus) != 0)
        return errno;
    if (trashStatus.st_dev != status.st_dev) {
        if (const int error = TrashFolderOnMount(MountPointOf(folder, status.st_dev), trash))
            return error;
    }
    const std::string files = JoinPath(trash, "files");
    const std::string info = JoinPath(trash, "info");
    if (const int error = EnsurePrivateFolder(files))
        return error;
    if (const int error = EnsurePrivateFolder(info))
        return error;

    const std::string contents = "[Trash Info]\nPath=" + EncodeTrashInfoPath(original)
                                 + "\nDeletionDate=" + LocalDateTime(deletionTime) + "\n";
    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        const std::string name = CandidateName(fileName, attempt);
        const std::string infoPath = JoinPath(info, name + ".trashinfo");
        const int fd = open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        int error = WriteAll(fd, contents);
        if (close(fd) != 0 && error == 0)
            error = errno;
        if (error == 0)
            error = RenameNoReplace(path, JoinPath(files, name));
        if (error == 0)
            return 0;
        unlink(infoPath.c_str());
        // A file left in files/ without its info file still owns the name.
        if (error != EEXIST)
            return error;
    }
    return EEXIST;
}
