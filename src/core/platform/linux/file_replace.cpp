#include "platform/file_replace.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_status.h"
#include "platform/folder_listing.h"
#include "platform/path.h"

namespace {

int NotRegularFileError(mode_t mode)
{
    return S_ISDIR(mode) ? EISDIR : EINVAL;
}

int WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return 0;
}

} // namespace

int ReplaceFileContents(const std::string& target, std::string_view contents)
{
    struct stat old
    {
    };
    const bool exists = stat(target.c_str(), &old) == 0;
    if (exists) {
        if (!S_ISREG(old.st_mode))
            return NotRegularFileError(old.st_mode);
        // A file without write permission was made read-only on purpose.
        if (access(target.c_str(), W_OK) != 0)
            return errno;
    } else if (errno != ENOENT) {
        return errno;
    }

    std::string folder = ParentPath(target);
    if (folder.empty())
        folder = ".";
    std::string temporary = JoinPath(folder, "." + FileNameOf(target) + ".XXXXXX");
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;

    int error = 0;
    // mkstemp creates the file with mode 0600, the mode of a new settings file (it can
    // hold archive passwords); an existing file keeps its mode and, where allowed, owner.
    if (exists) {
        if (old.st_uid != geteuid() || old.st_gid != getegid())
            (void)fchown(fd, old.st_uid, old.st_gid);
        if (fchmod(fd, old.st_mode & 07777) != 0)
            error = errno;
    }
    if (!error)
        error = WriteAll(fd, contents);
    if (!error && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && !error)
        error = errno;
    if (!error && rename(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    if (error) {
        unlink(temporary.c_str());
        return error;
    }
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        (void)fsync(folderFd);
        close(folderFd);
    }
    return 0;
}

int CopyFileThroughTemporary(const std::string& from, const std::string& to, std::string_view temporaryPrefix)
{
    const int in = open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0)
        return errno;
    struct stat source
    {
    };
    if (fstat(in, &source) != 0 || !S_ISREG(source.st_mode)) {
        const int error = S_ISREG(source.st_mode) ? errno : EINVAL;
        close(in);
        return error;
    }
    struct stat existing
    {
    };
    const mode_t mode = stat(to.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0600;
    std::string temporary = JoinPath(ParentPath(to), std::string(temporaryPrefix) + "XXXXXX");
    const int out = mkostemp(temporary.data(), O_CLOEXEC);
    // The first failure is the one that counts; a missing source reads ENOENT from open.
    int error = out >= 0 ? 0 : errno;
    const auto failed = [&error](bool ok) {
        if (!ok && error == 0)
            error = errno != 0 ? errno : EIO;
        return !ok;
    };
    char buffer[65536];
    while (error == 0) {
        const ssize_t got = read(in, buffer, sizeof buffer);
        if (got == 0 || failed(got > 0))
            break;
        failed(write(out, buffer, static_cast<std::size_t>(got)) == got);
    }
    close(in);
    if (out >= 0) {
        if (error == 0 && !failed(fchmod(out, mode) == 0))
            failed(fsync(out) == 0);
        if (close(out) != 0 && error == 0)
            error = errno;
        if (error == 0)
            failed(rename(temporary.c_str(), to.c_str()) == 0);
        if (error != 0)
            unlink(temporary.c_str());
    }
    return error;
}

int AppendToFile(const std::string& path, std::string_view bytes, unsigned newFilePermissions,
                 std::int64_t& length)
{
    length = 0;
    // Non-blocking only for the open: a FIFO without a reader must not hang the program.
    int fd;
    do {
        fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK,
                  static_cast<mode_t>(newFilePermissions));
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errno;
    if (const int flags = fcntl(fd, F_GETFL); flags != -1)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

    const int error = WriteAll(fd, bytes);
    struct stat status
    {
    };
    if (fstat(fd, &status) == 0)
        length = status.st_size;
    close(fd);
    return error;
}

std::vector<std::string> RemoveLeftoverTemporaries(const std::string& folder,
                                                   const std::vector<std::string>& prefixes)
{
    constexpr std::size_t kRandomLength = 6;
    constexpr std::int64_t kLeftoverAgeSeconds = 60 * 60;
    std::vector<std::string> names;
    std::vector<std::string> removed;
    if (ListFolderNames(folder.empty() ? "." : folder, names) != 0 && names.empty())
        return removed;
    const std::int64_t now = time(nullptr);
    for (const std::string& name : names) {
        const bool ours = std::any_of(prefixes.begin(), prefixes.end(), [&name](const std::string& prefix) {
            return name.size() == prefix.size() + kRandomLength && name.starts_with(prefix);
        });
        if (!ours)
            continue;
        const std::string path = JoinPath(folder, name);
        CFileStatus status;
        if (ReadFileStatus(path, status) == 0 && status.IsFile() && now - status.modified.seconds > kLeftoverAgeSeconds
            && RemoveFile(path) == 0)
            removed.push_back(path);
    }
    return removed;
}
