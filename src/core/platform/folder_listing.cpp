#include "platform/folder_listing.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/linux/network_share.h"

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

EEntryKind KindOf(int folderFd, const dirent& entry)
{
    switch (entry.d_type) {
    case DT_DIR:
        return EEntryKind::Folder;
    case DT_REG:
        return EEntryKind::File;
    case DT_LNK:
        return KindOfLinkTarget(folderFd, entry.d_name);
    case DT_UNKNOWN:
        break;
    default:
        return EEntryKind::Special;
    }
    // Some file systems do not fill in the type.
    struct stat status
    {
    };
    if (fstatat(folderFd, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return EEntryKind::File;
    return KindOfMode(folderFd, entry.d_name, status.st_mode);
}

} // namespace

int ListFolder(std::string_view folder, std::vector<CFolderEntry>& entries)
{
    entries.clear();
    std::string local;
    if (const int error = ToLocalPath(folder, local))
        return error;
    DIR* dir = opendir(local.c_str());
    if (dir == nullptr)
        return errno;
    const int fd = dirfd(dir);
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            error = errno;
            break;
        }
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        entries.push_back(CFolderEntry{std::string(name), KindOf(fd, *entry)});
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const CFolderEntry& a, const CFolderEntry& b) { return a.name < b.name; });
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
