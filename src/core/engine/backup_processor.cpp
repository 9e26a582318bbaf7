#include "engine/backup_processor.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "engine/destination_path.h"
#include "engine/engine_texts.h"
#include "engine/folder_operations.h"
#include "engine/folder_safety.h"
#include "engine/generations.h"
#include "engine/pacing.h"
#include "platform/last_error.h"
#include "platform/atomic_copy.h"
#include "platform/file_status.h"
#include "platform/network_share.h"
#include "platform/path.h"
#include "report/format_text.h"
#include "report/message_kinds.h"
#include "settings/application_core.h"

namespace {

long DayCount(const std::string& text)
{
    return text.empty() ? -1 : std::strtol(text.c_str(), nullptr, 10);
}

// followLink false: a folder that is a link itself is not a folder. found tells whether
// anything stands at the name.
bool StatFolder(const std::string& folder, CFileStatus& status, bool followLink, bool* found = nullptr)
{
    std::string local;
    const bool read = !folder.empty() && ToLocalPath(folder, local) == 0
                      && (followLink ? ReadFollowedStatus(local, status) : ReadFileStatus(local, status)) == 0;
    if (found != nullptr)
        *found = read;
    return read && status.IsFolder();
}

bool IdentifyFolder(const std::string& folder, std::uint64_t& device, std::uint64_t& inode)
{
    CFileStatus status;
    if (!StatFolder(folder, status, true))
        return false;
    device = status.device;
    inode = status.identity;
    return true;
}

// The backup of a folder carries its source folder's permissions, which may deny its
// owner writing or entering. While the pass works in such a folder it gets them back;
// LeaveFolder puts the source's bits in place again. mode is the folder's as just read.
void MakeFolderWorkable(const std::string& folder, unsigned permissions)
{
    std::string local;
    if ((permissions & kOwnerAllPermissions) != kOwnerAllPermissions && ToLocalPath(folder, local) == 0)
        (void)SetPermissions(local, (permissions & kPermissionBits) | kOwnerAllPermissions);
}

// 0 when the backup folder has the source folder's permissions and last-write time (or
// either folder is missing), else the error that kept them from it. Below the top, the
// backup folder is never reached through a link: ELOOP when one was planted on the way
// since its files were written (looked for only when something is to change).
int CopyFolderTimeAndMode(const std::string& sourceFolder, const std::string& backupFolder, bool isTop,
                          const std::string& destinationRoot)
{
    std::string localSource;
    std::string localBackup;
    if (const int error =
            ToLocalPath(sourceFolder.empty() ? std::string(1, kPathSeparator) : sourceFolder, localSource))
        return error;
    if (const int error = ToLocalPath(backupFolder, localBackup))
        return error;
    CFileStatus source;
    CFileStatus backup;
    // A source folder that went away meanwhile has no time to give; its files said so.
    if (ReadFollowedStatus(localSource, source) != 0)
        return 0;
    // Generation deletion walks backups that need not exist.
    if (const int error = isTop ? ReadFollowedStatus(localBackup, backup) : ReadFileStatus(localBackup, backup))
        return error == ENOENT ? 0 : error;
    if (!backup.IsFolder())
        return ENOTDIR;
    const unsigned mode = source.permissions;
    const bool sameTime = backup.modified == source.modified;
    if (backup.permissions == mode && sameTime)
        return 0;
    if (!isTop && !FirstLinkBelow(destinationRoot, backupFolder).empty())
        return ELOOP;
    if (backup.permissions != mode)
        if (const int error = SetPermissions(localBackup, mode))
            return error;
    if (sameTime)
        return 0;
    return SetFileTimes(localBackup, source.accessed, source.modified);
}

} // namespace

CBackupProcessor::CBackupProcessor(CApplicationCore& core) : CFolderWalker(core) {}

void CBackupProcessor::LoadRules(const CFileSetting& setting)
{
    const CGeneralSettings& general = m_core.Settings().general;
    m_ownDestination = setting.BakTo.expanded.empty() ? 0 : 1;
    m_destinationRoot =
        FolderRootOf(m_ownDestination != 0 ? setting.BakTo.expanded : general.BakCopyPath.expanded);
    SplitPatternList(m_includeList, setting.Inc);
    SplitPatternList(m_excludeList, setting.Exc);
    SplitPatternList(m_folderExcludeList, setting.DirExc);
    SplitPatternList(m_newerBackupList, setting.ForcedInc);
    SplitPatternList(m_watchedApplications, general.StopApp);
    m_generationCount = setting.Gen;
    m_sameDate = setting.SameDateExc;
    m_newerBackupAction = setting.Forced;
    m_newerBackupMoveFolder = setting.ForcedMove.expanded;
    m_oldFileAction = setting.OldDel;
    m_oldFileMoveFolder = setting.OldMove.expanded;
    m_nearTimeSeconds = setting.NearTimeExc;
    m_daysFrom = DayCount(setting.DaysFrom);
    m_daysTo = DayCount(setting.DaysTo);
    m_archiveMode = setting.ArcMode;
    m_bigFileLimitMb = setting.DlgCopyBig;
    m_newFileRoot = FolderRootOf(setting.NewBakTo.expanded);
    m_generationRoot = FolderRootOf(setting.GenBakTo.expanded);
}

int CBackupProcessor::Walk(const std::string& folderPath, bool recurse)
{
    SetProtectedFolders(
        {m_destinationRoot, m_newFileRoot, m_generationRoot, m_core.Settings().general.Recycle2.expanded});
    m_destinationLost = false;
    m_destinationKnown = IdentifyFolder(m_destinationRoot, m_destinationDevice, m_destinationInode);
    return CFolderWalker::Walk(folderPath, recurse);
}

bool CBackupProcessor::DestinationStillThere()
{
    if (m_destinationLost)
        return false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    if (!m_destinationKnown
        || (IdentifyFolder(m_destinationRoot, device, inode) && device == m_destinationDevice
            && inode == m_destinationInode))
        return true;
    m_destinationLost = true;
    m_core.OutputMessage(MessageKind::kError, EngineText::kDestinationLost, {}, m_destinationRoot);
    return false;
}

bool CBackupProcessor::EnterFolder(const std::string& relativePath)
{
    m_enteredFolderKnown = false;
    m_core.OutputMessage(MessageKind::kDebug, EngineText::kOnDir, CurrentSourceFolder(), relativePath);
    const CAppState& state = m_core.State();
    if (state.disabled != 0 || state.abortRequested != 0)
        return false;
    if (m_mode == ProcessorMode::kBackupState)
        return true;

    // The file system root stays "/": its files are found there, not in the working folder.
    const std::string& current = CurrentSourceFolder();
    m_sourceFolder = current.size() > 1 ? current.substr(0, current.size() - 1) : current;
    const std::string name = FileNameOf(m_sourceFolder);
    if (IsExcludedFolder(name)) {
        m_core.OutputMessage(MessageKind::kDebug, EngineText::kExcDir, name);
        return false;
    }

    const std::string suffix =
        DestinationSuffix(m_ownDestination != 0, relativePath, FolderRootOf(m_sourceFolder));
    m_destinationFolder = AppendFolderSuffix(m_destinationRoot, suffix);
    m_newFileFolder = m_newFileRoot.empty() ? std::string() : AppendFolderSuffix(m_newFileRoot, suffix);
    m_generationFolder =
        m_generationRoot.empty() ? std::string() : AppendFolderSuffix(m_generationRoot, suffix);

    if (!DestinationStillThere())
        return false;
    // Taken before the look for links on the way, so that a link planted in between is
    // found by that look or makes the identity differ later. A link in the folder's own
    // place leaves it unknown: the look removes it or stops, and the folder made in its
    // place is identified below.
    CFileStatus entered;
    bool enteredFound = false;
    m_enteredFolderKnown = StatFolder(m_destinationFolder, entered, false, &enteredFound);
    m_enteredFolderDevice = enteredFound ? entered.device : 0;
    m_enteredFolderInode = enteredFound ? entered.identity : 0;
    // Whoever can write into the backup must not be able to lead the program elsewhere.
    if (!NoLinkOnTheWay(m_destinationRoot, m_destinationFolder)
        || !NoLinkOnTheWay(m_newFileRoot, m_newFileFolder)
        || !NoLinkOnTheWay(m_generationRoot, m_generationFolder))
        return false;
    // Only a folder found in place can lack the bits; one made below gets them anyway.
    if (!IsDryRun() && m_enteredFolderKnown)
        MakeFolderWorkable(m_destinationFolder, entered.permissions);
    if (m_mode == ProcessorMode::kDeleteGenerations)
        return DeleteGenerationFiles(*this);

    // A folder found in place a moment ago needs no second look to be there.
    bool ready = m_enteredFolderKnown;
    if (ready)
        ClearLastSystemError();
    else
        ready = EnsureFolder(m_core, m_destinationFolder);
    // A destination made by the walk itself is the one to stay with.
    if (ready && !m_destinationKnown)
        m_destinationKnown = IdentifyFolder(m_destinationRoot, m_destinationDevice, m_destinationInode);
    if (!m_newFileFolder.empty())
        EnsureFolder(m_core, m_newFileFolder);
    if (!m_generationFolder.empty())
        EnsureFolder(m_core, m_generationFolder);
    if (ready && !m_enteredFolderKnown)
        m_enteredFolderKnown =
        IdentifyFolder(m_destinationFolder, m_enteredFolderDevice, m_enteredFolderInode);
    if (ready && !IsDryRun()) {
        // A folder made just now (nothing was at its name on entry) holds no copy left
        // behind by an earlier run.
        if (!enteredFound)
            m_clearedFolders.insert(m_destinationFolder);
        RemoveStaleCopiesOnce(m_destinationFolder);
        RemoveStaleCopiesOnce(m_newFileFolder);
        RemoveStaleCopiesOnce(m_generationFolder);
    }
    return ready;
}

void CBackupProcessor::LeaveFolder()
{
    const CAppState& state = m_core.State();
    if (m_mode == ProcessorMode::kBackupState || state.disabled != 0 || state.abortRequested != 0
        || m_destinationLost || IsDryRun())
        return;
    const std::string& current = CurrentSourceFolder();
    const std::string sourceFolder = current.size() > 1 ? current.substr(0, current.size() - 1) : current;
    const std::string backupFolder = AppendFolderSuffix(
        m_destinationRoot, DestinationSuffix(m_ownDestination != 0, RelativePath(), sourceFolder));
    if (const int error = CopyFolderTimeAndMode(sourceFolder, backupFolder, RelativePath().empty(), m_destinationRoot)) {
        SetLastSystemError(error);
        m_core.OutputMessage(MessageKind::kWarning, EngineText::kFolderTimeNotSet, sourceFolder,
                             backupFolder, SystemErrorSuffix());
    }
}

bool CBackupProcessor::NoLinkOnTheWay(const std::string& root, const std::string& folder)
{
    if (folder.empty())
        return true;
    const std::string link = FirstLinkBelow(root, folder);
    if (link.empty())
        return true;
    // Only the folder being entered is known to be a real folder in the source; a link
    // further up was planted after the walk passed there.
    std::string local;
    if (link == WithoutTrailingSeparator(folder) && m_mode == ProcessorMode::kBackup && !IsDryRun()
        && ToLocalPath(link, local) == 0 && RemoveFile(local) == 0) {
        m_core.OutputMessage(MessageKind::kDetail, EngineText::kLinkReplacedByFolder, {}, link);
        if (FirstLinkBelow(root, folder).empty())
            return true;
    }
    SetLastSystemError(ELOOP);
    m_core.OutputMessage(MessageKind::kError, EngineText::kLinkInBackupTree, {}, link, SystemErrorSuffix());
    return false;
}

bool CBackupProcessor::BackupTreeIntact()
{
    if (m_destinationLost)
        return false;
    // One look at where the path leads instead of one for every folder on the way.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    if (m_enteredFolderKnown && IdentifyFolder(m_destinationFolder, device, inode)
        && device == m_enteredFolderDevice && inode == m_enteredFolderInode)
        return true;
    const std::string link = FirstLinkBelow(m_destinationRoot, m_destinationFolder);
    if (link.empty())
        return true;
    m_destinationLost = true;
    SetLastSystemError(ELOOP);
    m_core.OutputMessage(MessageKind::kError, EngineText::kLinkInBackupTree, {}, link, SystemErrorSuffix());
    return false;
}

void CBackupProcessor::RememberDevice(const std::string& folder)
{
    const std::string path = folder.empty() ? std::string(1, kPathSeparator) : folder;
    std::uint64_t device = 0;
    if (DeviceOf(path, device))
        m_knownDevices[path] = device;
}

bool CBackupProcessor::IsMounted(const std::string& folder) const
{
    const std::string path = folder.empty() ? std::string(1, kPathSeparator) : folder;
    if (IsInUnmountedMount(path, ConfiguredMountPoints()))
        return false;
    const auto known = m_knownDevices.find(path);
    std::uint64_t device = 0;
    if (known == m_knownDevices.end() || !DeviceOf(path, device) || device == known->second)
        return true;
    // A drive that was mounted and is not now leaves its bare, empty mount point.
    return !IsEmptyFolder(path);
}

void CBackupProcessor::WarnArchiveStateNotKept(const std::string& root)
{
    const std::string folder = root.empty() ? std::string(1, kPathSeparator) : root;
    if (m_archiveStateUnkept.insert(folder).second)
        m_core.OutputMessage(MessageKind::kWarning, EngineText::kArchiveStateNotKept, {}, folder);
}

void CBackupProcessor::RemoveStaleCopiesOnce(const std::string& folder)
{
    if (folder.empty() || !m_clearedFolders.insert(folder).second)
        return;
    std::string local;
    if (ToLocalPath(folder, local) == 0)
        RemoveStaleTemporaryFiles(local);
}

bool CBackupProcessor::KeepScanning()
{
    return m_core.State().abortRequested == 0 && !m_destinationLost;
}

bool CBackupProcessor::MatchesFileFilter(const std::string& fileName) const
{
    const std::string name = FileNameOf(fileName);
    const bool selected = m_includeList.empty() || MatchesAnyPattern(m_includeList, name);
    return selected && !MatchesAnyPattern(m_excludeList, name);
}

bool CBackupProcessor::IsExcludedFolder(const std::string& folderName) const
{
    return MatchesAnyPattern(m_folderExcludeList, folderName);
}

bool CBackupProcessor::MatchesNewerBackupList(const std::string& sourcePath) const
{
    return MatchesAnyPattern(m_newerBackupList, sourcePath);
}

bool CBackupProcessor::IsDryRun() const
{
    return m_testMode != 0 || AbortKeysHeld(m_core);
}
