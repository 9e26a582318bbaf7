#pragma once

// The walk over one source tree. The walker visits a folder, hands each of its files to
// ProcessFile, calls AfterFiles, and then descends into its subfolders, all in the order
// of the names' bytes. It works with full paths and never changes the process's current
// directory. Symbolic links to folders are handed on like files and never followed, and
// special files (FIFOs, sockets, devices) are never handed on, so a walk cannot loop or
// block.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_listing.h"

class CApplicationCore;

// The part of a tree a walk covers, by relative paths ("" the top, "/" + name for each
// level below). A folder on the way to a covered one is entered and left (its backup
// folder is made and gets its times) but its entries are not looked at.
struct CWalkScope
{
    bool whole = false; // the folder and everything below it
    bool own = false;   // the folder's own entries
    std::map<std::string, CWalkScope> below;

    void Add(std::string_view relativePath, bool withEverythingBelow);
    void Merge(const CWalkScope& other);
    bool Empty() const { return !whole && !own && below.empty(); }
};

// The state of one walk.
struct CWalkContext
{
    // What to walk of the current folder; null: all of it.
    const CWalkScope* scope = nullptr;
    // What of the current folder a first part of the walk has done already; null: none.
    const CWalkScope* done = nullptr;
    bool recurse = false;
    std::string fileName; // the file being handed on
    int searchError = 0;  // how the last listing ended (0: complete)
    bool isFolder = false;
    CFolderEntry entry;
};

class CFolderWalker
{
public:
    explicit CFolderWalker(CApplicationCore& core);
    CFolderWalker(const CFolderWalker&) = delete;
    CFolderWalker& operator=(const CFolderWalker&) = delete;

    virtual ~CFolderWalker();
    // 0 when the folder could be entered and was walked, -1 when it cannot be entered
    // (the last system error says why).
    virtual int Walk(const std::string& folderPath, bool recurse);
    // True to process the folder (its files, AfterFiles and its subfolders).
    virtual bool EnterFolder(const std::string& relativePath) = 0;
    virtual int ProcessFile(const std::string& fileName) = 0;
    // True while files are to be handed on.
    virtual bool KeepScanning() = 0;
    virtual int AfterFiles() = 0;
    // Called once everything below a folder that was entered has been walked; the current
    // source folder and relative path are the folder's again.
    virtual void LeaveFolder();
    // A real folder whose name does not begin with ".".
    virtual bool IsSubfolderEntry(const CFolderEntry& entry);
    virtual bool FindNextSubfolder(CFolderSearch& search, CFolderEntry& entry);
    // False when the folder has no subfolder to walk (or cannot be listed).
    virtual bool FindFirstSubfolder(const std::string& folder, CFolderSearch& search, CFolderEntry& entry);
    virtual void ProcessFolder(CWalkContext& context);

    // Below the top of the walk, each level "/" + name; empty at the top.
    const std::string& RelativePath() const { return m_relativePath; }
    // The top of the walk without a final "/" ("" for the file system root).
    const std::string& RootPath() const { return m_rootPath; }
    // Root path + relative path + "/".
    const std::string& CurrentSourceFolder() const { return m_currentSourceFolder; }
    // False when reading the current folder's entries failed part way or at all: what
    // seems missing from the source may only have been unreadable.
    bool ListingComplete() const { return m_listingComplete; }
    // True when the current folder's listing, read when the walk entered it, holds name.
    // Only while its files are handed on and during AfterFiles.
    bool ListedInCurrentFolder(std::string_view name) const
    {
        return m_currentListing != nullptr && m_currentListing->Contains(name);
    }

    // The next walks cover only scope (kept by the caller until they are done), or with
    // restAfterwards scope first and then everything else; null: everything. Forgets
    // what the last walk recorded.
    void SetScope(const CWalkScope* scope, bool restAfterwards = false)
    {
        m_scope = scope;
        m_restAfterwards = restAfterwards;
        m_foldersWalked = 0;
        m_unfinished = {};
    }
    // Folders whose entries the last walk looked at.
    std::size_t FoldersWalked() const { return m_foldersWalked; }
    // Where the last walk left something undone (a warning, an error, a dry-run report
    // or a refused question while the folder was worked on): to be walked again.
    const CWalkScope& Unfinished() const { return m_unfinished; }

    // Folders the walk must never enter, whatever their path (the backup's own folders
    // when they lie inside the source). Compared by identity, so links and "..", or a
    // folder created only during the walk, do not get past the test.
    void SetProtectedFolders(const std::vector<std::string>& folders);

protected:
    CApplicationCore& m_core;

private:
    struct CProtectedFolder
    {
        std::string path;
        bool resolved = false;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
    };

    bool IsProtectedFolder(const std::string& folder);
    // Descends into the subfolder name of the current folder.
    void ProcessSubfolder(CWalkContext& context, const CFolderEntry& entry, const CWalkScope* scope,
                          const CWalkScope* done);

    std::string m_relativePath;
    std::string m_rootPath;
    std::string m_currentSourceFolder;
    bool m_listingComplete = true;
    const CFolderSearch* m_currentListing = nullptr;
    std::vector<CProtectedFolder> m_protectedFolders;
    const CWalkScope* m_scope = nullptr;
    bool m_restAfterwards = false;
    std::size_t m_foldersWalked = 0;
    CWalkScope m_unfinished;
};
