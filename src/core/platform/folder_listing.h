#pragma once

// One folder's entries as the scans see them: sorted by the bytes of their names, so
// that what a pass does never depends on the order in which the file system lists them,
// and classified without following symbolic links to folders or opening special files.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class EEntryKind
{
    File,       // a regular file, or a symbolic link that does not lead to a folder or
                // a special file (dangling links included: they are copied as links)
    Folder,     // a real folder, never a link to one
    FolderLink, // a symbolic link to a folder
    Special,    // FIFO, socket, device, or a link to one of them
};

struct CFolderEntry
{
    std::string name;
    EEntryKind kind = EEntryKind::File;
};

// Calls onEntry with the name and type (a DT_ value, DT_UNKNOWN where the file system
// gives none) of every entry of the folder open as fd, "." and ".." left out. Returns 0
// when the whole folder was read, else the errno value that ended it.
int ReadFolderEntries(int fd, const std::function<void(const char* name, unsigned char type)>& onEntry);

// Reads the entries of folder (a local or network path), without "." and "..". Returns
// 0 when the listing is complete, else the errno value that ended it; entries read
// before the error are kept.
int ListFolder(std::string_view folder, std::vector<CFolderEntry>& entries);

// The names alone, in the order of their bytes: no entry is looked at, so a link into a
// hung or automounted file system is never followed. Same result as ListFolder.
int ListFolderNames(std::string_view folder, std::vector<std::string>& names);

// A listing read at once and handed out entry by entry.
class CFolderSearch
{
public:
    // Lists folder; false when not even the folder could be opened.
    bool Open(std::string_view folder);
    bool Next(CFolderEntry& entry);
    // Hands the same entries out again from the first.
    void Rewind() { m_next = 0; }
    // True when the listing holds an entry of that name.
    bool Contains(std::string_view name) const;
    // 0 when the whole folder was read.
    int Error() const { return m_error; }

private:
    std::vector<CFolderEntry> m_entries;
    std::size_t m_next = 0;
    int m_error = 0;
};
