#include "engine/folder_walker.h"

#include <cerrno>

#include "engine/destination_path.h"
#include "engine/engine_texts.h"
#include "engine/error_check.h"
#include "platform/last_error.h"
#include "platform/atomic_copy.h"
#include "platform/file_status.h"
#include "platform/network_share.h"
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
        CFileStatus status;
        error = ReadFollowedStatus(local, status);
        if (error == 0 && !status.IsFolder())
            error = ENOTDIR;
        else if (error == 0 && !CanEnterFolder(local))
            error = errno;
    }
    if (error != 0) {
        SetLastSystemError(error);
        return -1;
    }

    m_rootPath = FolderRootOf(folderPath);
    CWalkContext context;
    context.recurse = recurse;
    context.scope = m_scope != nullptr && !m_scope->whole ? m_scope : nullptr;
    m_relativePath.clear();
    m_foldersWalked = 0;
    m_unfinished = {};
    ProcessFolder(context);
    if (context.scope != nullptr && m_restAfterwards) {
        CWalkContext rest;
        rest.recurse = recurse;
        rest.done = context.scope;
        m_relativePath.clear();
        ProcessFolder(rest);
    }
    return 0;
}

void CWalkScope::Add(std::string_view relativePath, bool withEverythingBelow)
{
    CWalkScope* node = this;
    while (!node->whole) {
        if (relativePath.empty()) {
            if (withEverythingBelow) {
                node->whole = true;
                node->own = false;
                node->below.clear();
            } else {
                node->own = true;
            }
            return;
        }
        relativePath.remove_prefix(1); // the separator
        const std::size_t end = relativePath.find(kPathSeparator);
        const std::string_view name = relativePath.substr(0, end);
        node = &node->below[std::string(name)];
        relativePath = end == std::string_view::npos ? std::string_view() : relativePath.substr(end);
    }
}

void CWalkScope::Merge(const CWalkScope& other)
{
    if (whole)
        return;
    if (other.whole) {
        *this = other;
        return;
    }
    own = own || other.own;
    for (const auto& [name, scope] : other.below)
        below[name].Merge(scope);
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
    const CWalkScope* const scope = context.scope;
    const CWalkScope* const done = context.done;
    if (done != nullptr && done->whole)
        return;
    const bool ownEntries = (scope == nullptr || scope->own) && (done == nullptr || !done->own);
    // Folders whose entries were looked at already are listed again only for their
    // subfolders.
    const bool listed = ownEntries || (scope == nullptr && context.recurse);

    if (IsProtectedFolder(folderPath)) {
        m_core.OutputMessage(MessageKind::kDebug, EngineText::kSkipBackupFolder, folderPath);
        return;
    }
    // Whatever was reported while the folder was worked on may have left it unfinished.
    const CMessageOutput& output = m_core.Output();
    unsigned long trouble = output.TroubleCount();
    const CAppState& state = m_core.State();
    if (!EnterFolder(m_relativePath)) {
        if (output.TroubleCount() != trouble || state.abortRequested != 0 || state.disabled != 0)
            m_unfinished.Add(m_relativePath, true);
        return;
    }

    CFolderSearch files;
    CFolderEntry entry;
    if (listed && !ownEntries) {
        files.Open(folder);
    } else if (ownEntries) {
        ++m_foldersWalked;
        files.Open(folder);
        context.searchError = files.Error();
        m_listingComplete = context.searchError == 0;
        if (!m_listingComplete) {
            SetLastSystemError(context.searchError);
            CheckUnexpectedError(m_core, folderPath);
        }
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
    }
    if (output.TroubleCount() != trouble)
        m_unfinished.Add(m_relativePath, false);

    if (context.recurse && listed) {
        // The subfolders come from the same listing as the files: one read of the folder
        // per pass.
        files.Rewind();
        bool found = FindNextSubfolder(files, entry);
        while (found) {
            const CWalkScope* doneBelow = nullptr;
            if (done != nullptr)
                if (const auto below = done->below.find(entry.name); below != done->below.end())
                    doneBelow = &below->second;
            if (scope == nullptr) {
                ProcessSubfolder(context, entry, nullptr, doneBelow);
            } else if (const auto below = scope->below.find(entry.name); below != scope->below.end()) {
                ProcessSubfolder(context, entry, &below->second, doneBelow);
            }
            m_currentSourceFolder = folder;
            found = FindNextSubfolder(files, entry);
        }
    } else if (context.recurse) {
        // Only the way to the folders in scope: each is looked at by its name, and only
        // a real folder is entered, as a listing would have shown it.
        for (const auto& [name, below] : scope->below) {
            CFileStatus status;
            std::string local;
            if (ToLocalPath(JoinPath(folderPath, name), local) != 0 || ReadFileStatus(local, status) != 0
                || !status.IsFolder())
                continue;
            entry = CFolderEntry{name, EEntryKind::Folder};
            if (!IsSubfolderEntry(entry))
                continue;
            ProcessSubfolder(context, entry, &below, nullptr);
            m_currentSourceFolder = folder;
        }
    }
    trouble = output.TroubleCount();
    LeaveFolder();
    if (output.TroubleCount() != trouble)
        m_unfinished.Add(m_relativePath, false);
}

void CFolderWalker::ProcessSubfolder(CWalkContext& context, const CFolderEntry& entry, const CWalkScope* scope,
                                     const CWalkScope* done)
{
    const CWalkScope* const outer = context.scope;
    const CWalkScope* const outerDone = context.done;
    context.scope = scope != nullptr && !scope->whole ? scope : nullptr;
    context.done = done;
    context.entry = entry;
    context.isFolder = true;
    const std::size_t length = m_relativePath.size();
    m_relativePath += kPathSeparator;
    m_relativePath += entry.name;
    ProcessFolder(context);
    m_relativePath.resize(length);
    context.scope = outer;
    context.done = outerDone;
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
    CFileStatus status;
    // Subfolders are never links; the top of the walk may be one, and then the folder it
    // leads to is the one that counts.
    if (ToLocalPath(folder, local) != 0 || ReadFollowedStatus(local, status) != 0)
        return false;
    for (auto& protectedFolder : m_protectedFolders) {
        // A folder that does not exist yet may be created by the walk itself (the
        // destination, a recycle folder): look again until it is there.
        if (!protectedFolder.resolved) {
            std::string protectedLocal;
            CFileStatus protectedStatus;
            if (ToLocalPath(protectedFolder.path, protectedLocal) != 0
                || ReadFollowedStatus(protectedLocal, protectedStatus) != 0)
                continue;
            protectedFolder.resolved = true;
            protectedFolder.device = protectedStatus.device;
            protectedFolder.inode = protectedStatus.identity;
        }
        if (protectedFolder.device == status.device && protectedFolder.inode == status.identity)
            return true;
    }
    return false;
}
