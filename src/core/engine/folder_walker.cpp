#include "engine/folder_walker.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/destination_path.h"
#include "engine/engine_texts.h"
#include "engine/error_check.h"
#include "platform/last_error.h"
#include "platform/linux/atomic_copy.h"
#include "platform/linux/network_share.h"
#include "platform/path.h"
#include "report/message_kinds.h"
#include "settings/application_core.h"

CFolderWalker::CFolderWalker(CApplicationCore& core) : m_core(core) {}

CFolderWalker::~CFolderWalker() = default;

int CFolderWalker::Walk(const std::string& folderPath, bool recurse)
{
    std::string local;
    int error = ToLocalPath(folderPath, local);
    if (error == 0) {
        struct stat status
        {
        };
        if (stat(local.c_str(), &status) != 0)
            error = errno;
        else if (!S_ISDIR(status.st_mode))
            error = ENOTDIR;
        else if (access(local.c_str(), X_OK) != 0)
            error = errno;
    }
    if (error != 0) {
        SetLastSystemError(error);
        return -1;
    }

    m_rootPath = FolderRootOf(folderPath);
    CWalkContext context;
    context.recurse = recurse;
    m_relativePath.clear();
    ProcessFolder(context);
    return 0;
}

void CFolderWalker::LeaveFolder() {}

bool CFolderWalker::IsSubfolderEntry(const CFolderEntry& entry)
{
    return entry.kind == EEntryKind::Folder && !entry.name.empty() && entry.name[0] != '.';
}

bool CFolderWalker::FindNextSubfolder(CFolderSearch& search, CFolderEntry& entry)
{
    while (search.Next(entry)) {
        if (IsSubfolderEntry(entry))
            return true;
    }
    return false;
}

bool CFolderWalker::FindFirstSubfolder(const std::string& folder, CFolderSearch& search, CFolderEntry& entry)
{
    if (!search.Open(folder))
        return false;
    return FindNextSubfolder(search, entry);
}

void CFolderWalker::ProcessFolder(CWalkContext& context)
{
    m_currentSourceFolder = m_rootPath + m_relativePath;
    if (m_currentSourceFolder.empty() || m_currentSourceFolder.back() != kPathSeparator)
        m_currentSourceFolder += kPathSeparator;
    const std::string folder = m_currentSourceFolder;
    const std::string folderPath = WithoutTrailingSeparator(folder);

    if (IsProtectedFolder(folderPath)) {
        m_core.OutputMessage(MessageKind::kDebug, EngineText::kSkipBackupFolder, folderPath);
        return;
    }
    if (!EnterFolder(m_relativePath))
        return;

    CFolderSearch files;
    files.Open(folder);
    context.searchError = files.Error();
    m_listingComplete = context.searchError == 0;
    if (!m_listingComplete) {
        SetLastSystemError(context.searchError);
        CheckUnexpectedError(m_core, folderPath);
    }
    CFolderEntry entry;
    while (files.Next(entry)) {
        context.isFolder = entry.kind == EEntryKind::Folder;
        if (context.isFolder || IsOwnTemporaryFile(entry.name) || !KeepScanning())
            continue;
        context.entry = entry;
        // A link to a folder is backed up as the link itself, like a link to a file; the
        // walk never goes through it.
        if (entry.kind == EEntryKind::File || entry.kind == EEntryKind::FolderLink) {
            context.fileName = entry.name;
            ProcessFile(context.fileName);
        } else {
            m_core.OutputMessage(MessageKind::kDebug, EngineText::kSkipSpecialFile,
                                 JoinPath(folderPath, entry.name));
        }
    }

    m_currentListing = &files;
    AfterFiles();
    m_currentListing = nullptr;

    if (!context.recurse) {
        LeaveFolder();
        return;
    }
    // The subfolders come from the same listing as the files: one read of the folder
    // per pass.
    files.Rewind();
    bool found = FindNextSubfolder(files, entry);
    while (found) {
        context.entry = entry;
        context.isFolder = true;
        const std::size_t length = m_relativePath.size();
        m_relativePath += kPathSeparator;
        m_relativePath += entry.name;
        ProcessFolder(context);
        m_relativePath.resize(length);
        m_currentSourceFolder = folder;
        found = FindNextSubfolder(files, entry);
    }
    LeaveFolder();
}

void CFolderWalker::SetProtectedFolders(const std::vector<std::string>& folders)
{
    m_protectedFolders.clear();
    for (const auto& folder : folders) {
        if (!folder.empty())
            m_protectedFolders.push_back(CProtectedFolder{folder});
    }
}

bool CFolderWalker::IsProtectedFolder(const std::string& folder)
{
    if (m_protectedFolders.empty())
        return false;
    std::string local;
    struct stat status
    {
    };
    // Subfolders are never links; the top of the walk may be one, and then the folder it
    // leads to is the one that counts.
    if (ToLocalPath(folder, local) != 0 || stat(local.c_str(), &status) != 0)
        return false;
    for (auto& protectedFolder : m_protectedFolders) {
        // A folder that does not exist yet may be created by the walk itself (the
        // destination, a recycle folder): look again until it is there.
        if (!protectedFolder.resolved) {
            std::string protectedLocal;
            struct stat protectedStatus
            {
            };
            if (ToLocalPath(protectedFolder.path, protectedLocal) != 0
                || stat(protectedLocal.c_str(), &protectedStatus) != 0)
                continue;
            protectedFolder.resolved = true;
            protectedFolder.device = protectedStatus.st_dev;
            protectedFolder.inode = protectedStatus.st_ino;
        }
        if (protectedFolder.device == status.st_dev && protectedFolder.inode == status.st_ino)
            return true;
    }
    return false;
}
