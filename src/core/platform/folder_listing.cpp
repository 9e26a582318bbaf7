#include "platform/folder_listing.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/network_share.h"

namespace {

EEntryKind KindOfLinkTarget(int folderFd, const char* name)
{
    struct stat target
    {
    };
    if (fstatat(folderFd, name, &target, 0) != 0)
        return EEntryKind::File;
    if (S_ISDIR(target.st_mode))
        return EEntryKind::FolderLink;
    return S_ISREG(target.st_mode) ? EEntryKind::File : EEntryKind::Special;
}

EEntryKind KindOfMode(int folderFd, const char* name, mode_t mode)
{
    if (S_ISDIR(mode))
        return EEntryKind::Folder;
    if (S_ISREG(mode))
        return EEntryKind::File;
    if (S_ISLNK(mode))
        return KindOfLinkTarget(folderFd, name);
    return EEntryKind::Special;
}

EEntryKind KindOf(int folderFd, const char* name, unsigned char type)
{
    switch (type) {
    case DT_DIR:
        return EEntryKind::Folder;
    case DT_REG:
        return EEntryKind::File;
    case DT_LNK:
        return KindOfLinkTarget(folderFd, name);
    case DT_UNKNOWN:
        break;
    default:
        return EEntryKind::Special;
    }
    // Some file systems do not fill in the type.
    struct stat status
    {
    };
    if (fstatat(folderFd, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return EEntryKind::File;
    return KindOfMode(folderFd, name, status.st_mode);
}

} // namespace

int ReadFolderEntries(int fd, const std::function<void(const char* name, unsigned char type)>& onEntry)
{
    // The entries are read straight from the descriptor: a directory stream would look at
    // the folder's status once more for every folder listed.
    alignas(dirent64) char buffer[32768];
    for (;;) {
        const ssize_t got = getdents64(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return 0;
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            const std::string_view name(entry->d_name);
            if (name != "." && name != "..")
                onEntry(entry->d_name, entry->d_type);
        }
    }
}

namespace {

// Reads the entries of folder (a local or network path) with ReadFolderEntries, handing
// onEntry the open folder as well.
template <typename OnEntry> int ReadFolder(std::string_view folder, const OnEntry& onEntry)
{
    std::string local;
    if (const int error = ToLocalPath(folder, local))
        return error;
    const int fd = open(local.c_str(), O_RDONLY | O_NONBLOCK | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error =
        ReadFolderEntries(fd, [&](const char* name, unsigned char type) { onEntry(fd, name, type); });
    close(fd);
    return error;
}

} // namespace

int ListFolder(std::string_view folder, std::vector<CFolderEntry>& entries)
{
    entries.clear();
    const int error = ReadFolder(folder, [&](int fd, const char* name, unsigned char type) {
        entries.push_back(CFolderEntry{std::string(name), KindOf(fd, name, type)});
    });
    std::sort(entries.begin(), entries.end(),
              [](const CFolderEntry& a, const CFolderEntry& b) { return a.name < b.name; });
    return error;
}

int ListFolderNames(std::string_view folder, std::vector<std::string>& names)
{
    names.clear();
    const int error =
        ReadFolder(folder, [&](int, const char* name, unsigned char) { names.emplace_back(name); });
    std::sort(names.begin(), names.end());
    return error;
}

bool CFolderSearch::Open(std::string_view folder)
{
    m_next = 0;
    m_error = ListFolder(folder, m_entries);
    return m_error == 0 || !m_entries.empty();
}

bool CFolderSearch::Next(CFolderEntry& entry)
{
    if (m_next >= m_entries.size())
        return false;
    entry = m_entries[m_next++];
    return true;
}

bool CFolderSearch::Contains(std::string_view name) const
{
    const auto at =
        std::lower_bound(m_entries.begin(), m_entries.end(), name,
                         [](const CFolderEntry& entry, std::string_view key) { return entry.name < key; });
    return at != m_entries.end() && at->name == name;
}
