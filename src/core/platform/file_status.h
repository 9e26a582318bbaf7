#pragma once

// What the engine knows of a file system entry, and the few file calls it makes, in terms
// that do not depend on the platform's own status record. Paths are local paths (a
// network path goes through ToLocalPath first). Calls return 0 or the errno value of the
// failing call, and leave errno set as the system call left it, so that callers that
// report the last system error see the same value.

#include <cstdint>
#include <string>

enum class EFileKind
{
    File,         // a regular file
    Folder,       // a folder (never a link to one when links are not followed)
    SymbolicLink, // only when links are not followed
    Other,        // FIFO, socket, device
};

struct CFileTime
{
    std::int64_t seconds = 0;
    long nanoseconds = 0;

    friend bool operator==(const CFileTime&, const CFileTime&) = default;
};

struct CFileStatus
{
    EFileKind kind = EFileKind::File;
    std::int64_t size = 0;
    CFileTime modified;
    CFileTime accessed;
    // When the entry's status (owner, permissions, links) last changed.
    CFileTime statusChanged;
    // The permission bits as the platform writes them (07777 on POSIX systems).
    unsigned permissions = 0;
    // Two entries with the same device and identity are the same file.
    std::uint64_t device = 0;
    std::uint64_t identity = 0;

    bool IsFile() const { return kind == EFileKind::File; }
    bool IsFolder() const { return kind == EFileKind::Folder; }
    bool IsSymbolicLink() const { return kind == EFileKind::SymbolicLink; }
};

// Every permission for the owner, the bits a folder needs to be listed, entered and
// changed by its owner.
inline constexpr unsigned kOwnerAllPermissions = 0700;
inline constexpr unsigned kOwnerWritePermission = 0200;
inline constexpr unsigned kPermissionBits = 07777;

// The entry itself; a symbolic link is described, not followed.
int ReadFileStatus(const std::string& path, CFileStatus& status);
// What the path leads to, following symbolic links.
int ReadFollowedStatus(const std::string& path, CFileStatus& status);

int SetPermissions(const std::string& path, unsigned permissions);
// A symbolic link's own times are set when followLinks is false.
int SetFileTimes(const std::string& path, const CFileTime& accessed, const CFileTime& modified,
                 bool followLinks = true);
// Removes a file or a symbolic link (never a folder).
int RemoveFile(const std::string& path);
// Renames from to to, replacing what is at to.
int RenameReplacing(const std::string& from, const std::string& to);
int CreateFolder(const std::string& path, unsigned permissions);
// Removes an empty folder.
int RemoveEmptyFolder(const std::string& path);
int ReadLinkTarget(const std::string& path, std::string& target);
// True when this process may enter (search) the folder.
bool CanEnterFolder(const std::string& path);
// The path without symbolic links, "." or ".." (every part must exist).
int ResolvePath(const std::string& path, std::string& resolved);
// The name of the user the program runs as ($USER when the user database has none), or "".
std::string CurrentUserName();
