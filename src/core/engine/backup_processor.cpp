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
    rules.ownDestination = setting.BakTo.expanded.empty() ? 0 : 1;
    place.destinationRoot =
        FolderRootOf(rules.ownDestination != 0 ? setting.BakTo.expanded : general.BakCopyPath.expanded);
    SplitPatternList(rules.includeList, setting.Inc);
    SplitPatternList(rules.excludeList, setting.Exc);
    SplitPatternList(rules.folderExcludeList, setting.DirExc);
    SplitPatternList(rules.newerBackupList, setting.ForcedInc);
    SplitPatternList(rules.watchedApplications, general.StopApp);
    rules.generationCount = setting.Gen;
    rules.sameDate = setting.SameDateExc;
    rules.newerBackupAction = setting.Forced;
    rules.newerBackupMoveFolder = setting.ForcedMove.expanded;
    rules.oldFileAction = setting.OldDel;
    rules.oldFileMoveFolder = setting.OldMove.expanded;
    rules.nearTimeSeconds = setting.NearTimeExc;
    rules.daysFrom = DayCount(setting.DaysFrom);
    rules.daysTo = DayCount(setting.DaysTo);
    rules.archiveMode = setting.ArcMode;
    rules.bigFileLimitMb = setting.DlgCopyBig;
    place.newFileRoot = FolderRootOf(setting.NewBakTo.expanded);
    place.generationRoot = FolderRootOf(setting.GenBakTo.expanded);
}

int CBackupProcessor::Walk(const std::string& folderPath, bool recurse)
{
    SetProtectedFolders(
        {place.destinationRoot, place.newFileRoot, place.generationRoot, m_core.Settings().general.Recycle2.expanded});
    m_destinationLost = false;
    m_destinationKnown = IdentifyFolder(place.destinationRoot, m_destinationDevice, m_destinationInode);
    return CFolderWalker::Walk(folderPath, recurse);
}

bool CBackupProcessor::DestinationStillThere()
{
    if (m_destinationLost)
        return false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    if (!m_destinationKnown
        || (IdentifyFolder(place.destinationRoot, device, inode) && device == m_destinationDevice
            && inode == m_destinationInode))
        return true;
    m_destinationLost = true;
    m_core.OutputMessage(MessageKind::kError, EngineText::kDestinationLost, {}, place.destinationRoot);
    return false;
}

bool CBackupProcessor::EnterFolder(const std::string& relativePath)
{
    m_enteredFolderKnown = false;
    m_backupFolderNew = false;
    m_core.OutputMessage(MessageKind::kDebug, EngineText::kOnDir, CurrentSourceFolder(), relativePath);
    const CAppState& state = m_core.State();
    if (state.disabled != 0 || state.abortRequested != 0)
        return false;
    if (run.mode == ProcessorMode::kBackupState)
        return true;

    // The file system root stays "/": its files are found there, not in the working folder.
    const std::string& current = CurrentSourceFolder();
    place.sourceFolder = current.size() > 1 ? current.substr(0, current.size() - 1) : current;
    const std::string name = FileNameOf(place.sourceFolder);
    if (IsExcludedFolder(name)) {
        m_core.OutputMessage(MessageKind::kDebug, EngineText::kExcDir, name);
        return false;
    }

    const std::string suffix =
        DestinationSuffix(rules.ownDestination != 0, relativePath, FolderRootOf(place.sourceFolder));
    place.destinationFolder = AppendFolderSuffix(place.destinationRoot, suffix);
    place.newFileFolder = place.newFileRoot.empty() ? std::string() : AppendFolderSuffix(place.newFileRoot, suffix);
    place.generationFolder =
        place.generationRoot.empty() ? std::string() : AppendFolderSuffix(place.generationRoot, suffix);

    if (!DestinationStillThere())
        return false;
    // Taken before the look for links on the way, so that a link planted in between is
    // found by that look or makes the identity differ later. A link in the folder's own
    // place leaves it unknown: the look removes it or stops, and the folder made in its
    // place is identified below.
    CFileStatus entered;
    bool enteredFound = false;
    m_enteredFolderKnown = StatFolder(place.destinationFolder, entered, false, &enteredFound);
    m_enteredFolderDevice = enteredFound ? entered.device : 0;
    m_enteredFolderInode = enteredFound ? entered.identity : 0;
    // Whoever can write into the backup must not be able to lead the program elsewhere.
    if (!NoLinkOnTheWay(place.destinationRoot, place.destinationFolder)
        || !NoLinkOnTheWay(place.newFileRoot, place.newFileFolder)
        || !NoLinkOnTheWay(place.generationRoot, place.generationFolder))
        return false;
    // Only a folder found in place can lack the bits; one made below gets them anyway.
    if (!IsDryRun() && m_enteredFolderKnown)
        MakeFolderWorkable(place.destinationFolder, entered.permissions);
    if (run.mode == ProcessorMode::kDeleteGenerations)
        return DeleteGenerationFiles(*this);

    // A folder found in place a moment ago needs no second look to be there.
    bool ready = m_enteredFolderKnown;
    if (ready)
        ClearLastSystemError();
    else
        ready = EnsureFolder(m_core, place.destinationFolder);
    // A destination made by the walk itself is the one to stay with.
    if (ready && !m_destinationKnown)
        m_destinationKnown = IdentifyFolder(place.destinationRoot, m_destinationDevice, m_destinationInode);
    if (!place.newFileFolder.empty())
        EnsureFolder(m_core, place.newFileFolder);
    if (!place.generationFolder.empty())
        EnsureFolder(m_core, place.generationFolder);
    if (ready && !m_enteredFolderKnown)
        m_enteredFolderKnown = IdentifyFolder(place.destinationFolder, m_enteredFolderDevice, m_enteredFolderInode);
    if (ready && !IsDryRun()) {
        // A folder made just now (nothing was at its name on entry) holds no copy left
        // behind by an earlier run.
        m_backupFolderNew = !enteredFound;
        if (m_backupFolderNew)
            m_clearedFolders.insert(place.destinationFolder);
        RemoveStaleCopiesOnce(place.destinationFolder);
        RemoveStaleCopiesOnce(place.newFileFolder);
        RemoveStaleCopiesOnce(place.generationFolder);
    }
    return ready;
}

void CBackupProcessor::LeaveFolder()
{
    const CAppState& state = m_core.State();
    if (run.mode == ProcessorMode::kBackupState || state.disabled != 0 || state.abortRequested != 0
        || m_destinationLost || IsDryRun())
        return;
    const std::string& current = CurrentSourceFolder();
    const std::string sourceFolder = current.size() > 1 ? current.substr(0, current.size() - 1) : current;
    const std::string backupFolder = AppendFolderSuffix(
        place.destinationRoot, DestinationSuffix(rules.ownDestination != 0, RelativePath(), sourceFolder));
    if (const int error = CopyFolderTimeAndMode(sourceFolder, backupFolder, RelativePath().empty(), place.destinationRoot)) {
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
    if (link == WithoutTrailingSeparator(folder) && run.mode == ProcessorMode::kBackup && !IsDryRun()
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
    if (m_enteredFolderKnown && IdentifyFolder(place.destinationFolder, device, inode)
        && device == m_enteredFolderDevice && inode == m_enteredFolderInode)
        return true;
    const std::string link = FirstLinkBelow(place.destinationRoot, place.destinationFolder);
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
    const bool selected = rules.includeList.empty() || MatchesAnyPattern(rules.includeList, name);
    return selected && !MatchesAnyPattern(rules.excludeList, name);
}

bool CBackupProcessor::IsExcludedFolder(const std::string& folderName) const
{
    return MatchesAnyPattern(rules.folderExcludeList, folderName);
}

bool CBackupProcessor::MatchesNewerBackupList(const std::string& sourcePath) const
{
    return MatchesAnyPattern(rules.newerBackupList, sourcePath);
}

bool CBackupProcessor::IsDryRun() const
{
    return run.testMode != 0 || AbortKeysHeld(m_core);
}
