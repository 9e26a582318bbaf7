#include "platform/atomic_copy.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/random.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

#include "platform/file_attributes.h"
#include "platform/folder_listing.h"
#include "platform/linux/archive_state.h"
#include "platform/no_replace_rename.h"
#include "platform/path.h"

namespace {

constexpr std::size_t kRandomLength = 6;
constexpr int kNameAttempts = 100;

bool IsNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string TemporaryPathIn(const std::string& folder)
{
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char bytes[kRandomLength] = {};
    if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        // Uniqueness is enforced by O_EXCL anyway; this only has to vary.
        static unsigned counter = 0;
        const unsigned seed = static_cast<unsigned>(getpid()) * 2654435761u + ++counter;
        for (std::size_t i = 0; i < kRandomLength; ++i)
            bytes[i] = static_cast<unsigned char>(seed >> (i * 5));
    }
    std::string name(kOwnTemporaryPrefix);
    for (unsigned char byte : bytes)
        name += kAlphabet[byte % (sizeof kAlphabet - 1)];
    return folder.empty() ? name : JoinPath(folder, name);
}

struct CFd
{
    int fd = -1;
    explicit CFd(int value) : fd(value) {}
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    ~CFd()
    {
        if (fd >= 0)
            close(fd);
    }
};

enum class ECopyMethod
{
    CopyRange,
    SendFile,
    ReadWrite,
};

bool IsUnsupportedHere(int error)
{
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EBADF
           || error == EPERM;
}

int WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

// Copies until the end of the source. Files that report size 0 (generated ones under
// /proc and /sys) may still have contents that only plain reads return.
int CopyData(int in, int out, off_t expectedSize, const CopyChunkHook& betweenChunks, off_t& copied)
{
    ECopyMethod method = expectedSize > 0 ? ECopyMethod::CopyRange : ECopyMethod::ReadWrite;
    std::unique_ptr<char[]> buffer;
    copied = 0;
    for (;;) {
        if (copied > 0 && copied < expectedSize && betweenChunks && !betweenChunks())
            return ECANCELED;
        ssize_t done = 0;
        switch (method) {
        case ECopyMethod::CopyRange:
            done = copy_file_range(in, nullptr, out, nullptr, kCopyChunkBytes, 0);
            if (done < 0 && IsUnsupportedHere(errno)) {
                method = ECopyMethod::SendFile;
                continue;
            }
            break;
        case ECopyMethod::SendFile:
            done = sendfile(out, in, nullptr, kCopyChunkBytes);
            if (done < 0 && (errno == EINVAL || errno == ENOSYS)) {
                method = ECopyMethod::ReadWrite;
                continue;
            }
            break;
        case ECopyMethod::ReadWrite:
            if (!buffer)
                buffer = std::make_unique<char[]>(kCopyChunkBytes);
            done = read(in, buffer.get(), kCopyChunkBytes);
            if (done > 0) {
                if (const int error = WriteAll(out, buffer.get(), static_cast<std::size_t>(done)))
                    return error;
            }
            break;
        }
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (done == 0)
            return 0;
        copied += done;
        // The size read before the copy is what is copied: asking once more only to hear
        // of the end costs a call per file. A file that grew meanwhile has a new time or
        // size, which the caller's look after the copy sees.
        if (method != ECopyMethod::ReadWrite && copied >= expectedSize)
            return 0;
    }
}

// Extended attributes of the user name space travel with the file; other name spaces
// need privileges or belong to the file system. Best effort: a target file system
// without them still gets the data.
void CopyUserAttributes(int in, int out)
{
    const ssize_t listSize = flistxattr(in, nullptr, 0);
    if (listSize <= 0)
        return;
    std::vector<char> names(static_cast<std::size_t>(listSize));
    const ssize_t got = flistxattr(in, names.data(), names.size());
    if (got <= 0)
        return;
    std::vector<char> value;
    for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
        const char* name = names.data() + at;
        at += std::strlen(name) + 1;
        if (std::strncmp(name, "user.", 5) != 0)
            continue;
        const ssize_t valueSize = fgetxattr(in, name, nullptr, 0);
        if (valueSize < 0)
            continue;
        value.resize(static_cast<std::size_t>(valueSize) + 1);
        const ssize_t valueGot = fgetxattr(in, name, value.data(), value.size());
        if (valueGot >= 0 && fsetxattr(out, name, value.data(), static_cast<std::size_t>(valueGot), 0) != 0
            && (errno == ENOTSUP || errno == EOPNOTSUPP))
            return;
    }
}

bool RunsAsRoot()
{
    static const bool root = geteuid() == 0;
    return root;
}

// Gives the copy open as fd the owner (where allowed) and permissions of the source.
// The umask, a default ACL or a set-group-ID folder decide what a new file gets, so the
// copy is looked at first: changing an inode costs a journal write, looking does not.
int GiveOwnerAndMode(int fd, const struct stat& source)
{
    struct stat copy
    {
    };
    const bool known = fstat(fd, &copy) == 0;
    const bool ownerChanges =
        RunsAsRoot() && !(known && copy.st_uid == source.st_uid && copy.st_gid == source.st_gid);
    if (ownerChanges)
        (void)fchown(fd, source.st_uid, source.st_gid);
    // A change of owner clears the set-user-ID and set-group-ID bits: the mode comes after it.
    if (known && !ownerChanges && (copy.st_mode & 07777) == (source.st_mode & 07777))
        return 0;
    return fchmod(fd, source.st_mode & 07777) == 0 ? 0 : errno;
}

// Cleared once linking an unnamed file has failed in a way that would fail again (no
// /proc, a kernel or file system without the call): later copies go by name at once.
std::atomic<bool> g_unnamedLinkWorks{true};

// Cleared once linking by the descriptor itself was refused while linking through /proc
// worked: the kernel lets only privileged callers (or, in newer kernels, the opener)
// link that way.
std::atomic<bool> g_emptyPathLinkWorks{true};

// Gives the unnamed file open as fd the name to. EEXIST when to exists.
int LinkUnnamed(int fd, const std::string& to)
{
    // By the descriptor itself where allowed: the way through /proc costs a lookup of its
    // own for every file.
    int emptyPathError = 0;
    if (g_emptyPathLinkWorks) {
        if (linkat(fd, "", AT_FDCWD, to.c_str(), AT_EMPTY_PATH) == 0)
            return 0;
        emptyPathError = errno;
        if (emptyPathError != ENOENT && emptyPathError != EPERM && emptyPathError != EINVAL)
            return emptyPathError;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        if (emptyPathError != 0)
            g_emptyPathLinkWorks = false;
        return 0;
    }
    const int error = errno;
    // Without /proc the refusal of the first way is the answer.
    return error == ENOENT && emptyPathError != 0 ? emptyPathError : error;
}

// True when linking failed for want of the means (no /proc, a kernel or file system
// without the call), not because of the target.
bool LinkingUnsupported(int error)
{
    if (error == ENOENT)
        return access("/proc/self/fd", F_OK) != 0;
    return error == EPERM || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EXDEV;
}

// Closes fd, whose file has just been given the name path; a delayed write error takes
// the name away again.
int CloseLinked(int fd, const std::string& path)
{
    if (close(fd) == 0)
        return 0;
    const int error = errno;
    unlink(path.c_str());
    return error;
}

int PlaceOverTarget(const std::string& temporary, const std::string& to, const CCopyOptions& options)
{
    const int error = options.replaceExisting ? (rename(temporary.c_str(), to.c_str()) == 0 ? 0 : errno)
                                              : RenameNoReplace(temporary, to);
    if (error != 0)
        unlink(temporary.c_str());
    return error;
}

int CopySymbolicLink(const std::string& from, const std::string& to, const struct stat& status,
                     const CCopyOptions& options)
{
    std::vector<char> target(static_cast<std::size_t>(status.st_size > 0 ? status.st_size : 255) + 1);
    for (;;) {
        const ssize_t length = readlink(from.c_str(), target.data(), target.size());
        if (length < 0)
            return errno;
        if (static_cast<std::size_t>(length) < target.size()) {
            target[static_cast<std::size_t>(length)] = '\0';
            break;
        }
        target.resize(target.size() * 2);
    }
    const std::string folder = ParentPath(to);
    std::string temporary;
    int error = EEXIST;
    for (int attempt = 0; attempt < kNameAttempts && error == EEXIST; ++attempt) {
        temporary = TemporaryPathIn(folder);
        error = symlink(target.data(), temporary.c_str()) == 0 ? 0 : errno;
    }
    if (error != 0)
        return error;
    if (RunsAsRoot())
        (void)lchown(temporary.c_str(), status.st_uid, status.st_gid);
    const timespec times[2] = {status.st_atim, status.st_mtim};
    if (utimensat(AT_FDCWD, temporary.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        error = errno;
        unlink(temporary.c_str());
        return error;
    }
    return PlaceOverTarget(temporary, to, options);
}

} // namespace

int CopyFileAtomic(const std::string& from, const std::string& to, const CCopyOptions& options,
                   const CopyChunkHook& betweenChunks)
{
    struct stat status
    {
    };
    // A regular file the caller has just seen is opened straight away; what is opened
    // is checked below all the same.
    if (options.sourceStatus == nullptr || !options.sourceStatus->IsFile()) {
        if (lstat(from.c_str(), &status) != 0)
            return errno;
        if (S_ISLNK(status.st_mode))
            return CopySymbolicLink(from, to, status, options);
        if (S_ISDIR(status.st_mode))
            return EISDIR;
        if (!S_ISREG(status.st_mode))
            return ENOTSUP;
    }

    // O_NONBLOCK: should the name have become a FIFO since the check, opening it must
    // not wait for a writer.
    CFd in(open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (in.fd < 0)
        return errno;
    if (fstat(in.fd, &status) != 0)
        return errno;
    if (!S_ISREG(status.st_mode))
        return ENOTSUP;

    const std::string folder = ParentPath(to);
    std::string temporary;
    // An unnamed file needs no name of its own and leaves nothing behind should the run
    // be killed; file systems without one get a named temporary file.
    int outFd = -1;
    // An unnamed file cannot be opened by anyone else, so it may be born with the
    // source's permissions and mostly spares the change of mode afterwards. It stays
    // writable for its owner until its attributes are written: the kernel asks for write
    // permission before it sets one, even through this descriptor.
    if (g_unnamedLinkWorks && (options.targetMissing || !options.replaceExisting))
        outFd = open(folder.empty() ? "." : folder.c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC,
                     (status.st_mode & 0777) | S_IWUSR);
    const bool unnamed = outFd >= 0;
    for (int attempt = 0; !unnamed && attempt < kNameAttempts; ++attempt) {
        temporary = TemporaryPathIn(folder);
        outFd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (outFd >= 0 || errno != EEXIST)
            break;
    }
    if (outFd < 0)
        return errno;
    CFd out(outFd);

    auto fail = [&](int error) {
        if (!unnamed)
            unlink(temporary.c_str());
        return error;
    };

    off_t copied = 0;
    if (const int error = CopyData(in.fd, out.fd, status.st_size, betweenChunks, copied))
        return fail(error);

    CopyUserAttributes(in.fd, out.fd);

    // The state recorded is the one this copy took: should the source change meanwhile,
    // its new time or size no longer match and it keeps its archive bit.
    const std::string sourceState = ArchiveStateOf(status);
    if (options.clearArchiveBit) {
        struct stat targetState = status;
        targetState.st_size = copied;
        const std::string value = ArchiveStateOf(targetState);
        (void)fsetxattr(out.fd, kArchiveStateAttribute, value.data(), value.size(), 0);
    }
    if (const int error = GiveOwnerAndMode(out.fd, status))
        return fail(error);
    const timespec times[2] = {status.st_atim, status.st_mtim};
    if (futimens(out.fd, times) != 0)
        return fail(errno);
    if (unnamed) {
        int error = LinkUnnamed(out.fd, to);
        if (LinkingUnsupported(error)) {
            // Not the copy failed but linking: this copy and the next ones go by name.
            g_unnamedLinkWorks = false;
            return CopyFileAtomic(from, to, options, betweenChunks);
        }
        const bool linkedAsTarget = error == 0;
        if (error == EEXIST && options.replaceExisting) {
            // A target to replace gets the file under a temporary name first, renamed over
            // it when complete, so that the target is whole at every moment.
            for (int attempt = 0; attempt < kNameAttempts && error == EEXIST; ++attempt) {
                temporary = TemporaryPathIn(folder);
                error = LinkUnnamed(out.fd, temporary);
            }
        }
        if (error != 0)
            return error;
        const int closing = out.fd;
        out.fd = -1;
        if (const int closeError = CloseLinked(closing, linkedAsTarget ? to : temporary))
            return closeError;
        if (!linkedAsTarget) {
            if (const int placeError = PlaceOverTarget(temporary, to, options))
                return placeError;
        }
    } else {
        // Network file systems report delayed write errors only here.
        const int closing = out.fd;
        out.fd = -1;
        if (close(closing) != 0)
            return fail(errno);
        if (const int error = PlaceOverTarget(temporary, to, options))
            return error;
    }
    if (options.clearArchiveBit)
        (void)RecordArchiveState(from, sourceState);
    return 0;
}

bool IsOwnTemporaryFile(std::string_view name)
{
    if (name.size() != kOwnTemporaryPrefix.size() + kRandomLength
        || name.substr(0, kOwnTemporaryPrefix.size()) != kOwnTemporaryPrefix)
        return false;
    for (char c : name.substr(kOwnTemporaryPrefix.size()))
        if (!IsNameCharacter(c))
            return false;
    return true;
}

int RemoveStaleTemporaryFiles(const std::string& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_NONBLOCK | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    std::vector<std::string> names;
    (void)ReadFolderEntries(fd, [&](const char* name, unsigned char) {
        if (IsOwnTemporaryFile(name))
            names.emplace_back(name);
    });
    close(fd);
    int removed = 0;
    for (const std::string& name : names) {
        const std::string path = JoinPath(folder, name);
        struct stat status
        {
        };
        if (lstat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode) && unlink(path.c_str()) == 0)
            ++removed;
    }
    return removed;
}
