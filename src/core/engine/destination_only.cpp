#include "engine/destination_only.h"

#include <cerrno>
#include <string>
#include <vector>

#include "engine/backup_processor.h"
#include "engine/engine_texts.h"
#include "engine/error_check.h"
#include "engine/file_operation.h"
#include "platform/folder_listing.h"
#include "engine/folder_operations.h"
#include "engine/folder_safety.h"
#include "engine/generations.h"
#include "engine/pacing.h"
#include "platform/last_error.h"
#include "platform/atomic_copy.h"
#include "platform/file_attributes.h"
#include "platform/file_status.h"
#include "platform/network_share.h"
#include "platform/trash.h"
#include "platform/path.h"
#include "report/format_text.h"
#include "report/message_kinds.h"
#include "settings/application_core.h"

namespace {

const char* ActionText(int action)
{
    switch (action) {
    case OldFileAction::kWarn:
        return EngineText::kDestinationOnlyDetected;
    case OldFileAction::kDelete:
        return EngineText::kDestinationOnlyDeleted;
    case OldFileAction::kMove:
        return EngineText::kDestinationOnlyMoved;
    case OldFileAction::kRecycle:
        return EngineText::kDestinationOnlyRecycled;
    case OldFileAction::kCopyBack:
        return EngineText::kDestinationOnlyCopiedBack;
    default:
        return "";
    }
}

// The entry itself (a symbolic link is not followed). Leaves the outcome in the last
// system error: 0 when found.
bool EntryExists(const std::string& path)
{
    std::string local;
    int error = ToLocalPath(path, local);
    CFileStatus status;
    if (error == 0)
        error = ReadFileStatus(local, status);
    SetLastSystemError(error);
    return error == 0;
}

// What seems to be missing from a source folder that has itself gone (a share or a
// removable disk lost in the middle of the walk) is only unreachable.
bool IsReadableFolder(const std::string& folder)
{
    std::string local;
    CFileStatus status;
    return ToLocalPath(folder, local) == 0 && ReadFollowedStatus(local, status) == 0 && status.IsFolder();
}

// The program's own folders (move targets, the private recycle folder, the new-file and
// generation folders, the folders of the settings and log files, the desktop's trash)
// and the source itself may well lie inside the destination; they hold what earlier
// passes put aside or what is still to be backed up, and are never anybody's
// destination-only entry. Folders are compared by what they are as well as by how they
// are written, so that no link or second name hides them.
std::vector<std::string> OwnFolders(const CBackupProcessor& processor, const CApplicationCore& core)
{
    const std::string source =
        processor.RootPath().empty() ? std::string(1, kPathSeparator) : processor.RootPath();
    return {processor.rules.oldFileMoveFolder,
            processor.rules.newerBackupMoveFolder,
            core.Settings().general.Recycle2.expanded,
            processor.place.newFileRoot,
            processor.place.generationRoot,
            source,
            ParentPath(core.SettingsFilePath()),
            ParentPath(core.Settings().general.LogFile.expanded),
            HomeTrashFolder()};
}

bool HoldsOwnFolder(const std::vector<std::string>& ownFolders, const std::string& entryPath, bool isFolder)
{
    for (const std::string& folder : ownFolders) {
        if (folder.empty())
            continue;
        if (IsSameOrInside(folder, entryPath) || (isFolder && FolderHoldsPath(entryPath, folder)))
            return true;
    }
    return false;
}

// A move or recycle folder inside the backup is reached through the backup tree too:
// reported when a symbolic link stands on the way from the destination root to folder.
bool LinkOnTheWay(CApplicationCore& core, const std::string& root, const std::string& folder)
{
    const std::string link = folder.empty() ? std::string() : FirstLinkBelow(root, folder);
    if (link.empty())
        return false;
    core.OutputMessage(MessageKind::kError, EngineText::kLinkInBackupTree, {}, link);
    return true;
}

void MakeWritable(const std::string& path)
{
    std::string local;
    if (ToLocalPath(path, local) == 0)
        SetAttributesNormal(local);
}

} // namespace

int CBackupProcessor::AfterFiles()
{
    return HandleDestinationOnlyFiles(*this) ? 1 : 0;
}

bool HandleDestinationOnlyFiles(CBackupProcessor& processor)
{
    CApplicationCore& core = processor.Core();
    const int action = processor.rules.oldFileAction;
    if (processor.run.mode != ProcessorMode::kBackup || action == OldFileAction::kIgnore
        || processor.run.keepDestinationOnly)
        return true;
    if (core.State().abortRequested != 0)
        return false;

    const std::string& sourceFolder = processor.place.sourceFolder;
    const std::string& destinationFolder = processor.place.destinationFolder;
    // A read error must never cost a backup: with an incomplete listing of the source,
    // a missing counterpart may only have been unreadable.
    if (!processor.ListingComplete() || !IsReadableFolder(sourceFolder)) {
        core.OutputMessage(MessageKind::kDebug, EngineText::kBakSourceUnreadable, sourceFolder,
                           destinationFolder);
        return false;
    }

    CFileOperation operation(core);
    const std::string text = ActionText(action);

    std::vector<CFolderEntry> entries;
    SetLastSystemError(ListFolder(destinationFolder, entries));
    if (!CheckUnexpectedError(core, {}, destinationFolder))
        return false;

    const std::vector<std::string> ownFolders = OwnFolders(processor, core);
    for (const CFolderEntry& entry : entries) {
        PaceStep(core);
        if (core.State().abortRequested != 0)
            return false;
        // The temporary file of a copy in progress, or one left by an interrupted run,
        // is no backup of anything.
        if (IsOwnTemporaryFile(entry.name))
            continue;
        const std::string destinationPath = JoinPath(destinationFolder, entry.name);
        const std::string sourcePath = JoinPath(sourceFolder, entry.name);
        int kind = MessageKind::kError;

        // The source folder's listing answers for what it holds; what it lacks is looked up
        // again, since only that may cost a backup.
        ClearLastSystemError();
        const bool counterpartExists = processor.ListedInCurrentFolder(entry.name) || EntryExists(sourcePath);
        // Links to folders are handled as the link itself.
        const bool isFolder = entry.kind == EEntryKind::Folder;
        if (!CheckUnexpectedError(core, sourcePath))
            return false;
        if (isFolder && processor.IsExcludedFolder(entry.name)) {
            core.OutputMessage(MessageKind::kDebug, EngineText::kBakDirExc, destinationPath);
            continue;
        }
        if (!processor.MatchesFileFilter(entry.name)) {
            core.OutputMessage(MessageKind::kDebug, EngineText::kBakUnmatched, destinationPath);
            continue;
        }
        ClearLastSystemError();
        if (counterpartExists)
            continue;
        if (IsGenerationFileName(entry.name)) {
            core.OutputMessage(MessageKind::kDebug, EngineText::kSkipGenerationFile, sourcePath);
            continue;
        }
        if ((isFolder && IsTrashFolderName(entry.name))
            || HoldsOwnFolder(ownFolders, destinationPath, isFolder)) {
            core.OutputMessage(MessageKind::kDebug, EngineText::kSkipBackupFolder, destinationPath);
            continue;
        }
        if (!IsReadableFolder(sourceFolder)) {
            core.OutputMessage(MessageKind::kDebug, EngineText::kBakSourceUnreadable, sourceFolder,
                               destinationFolder);
            return false;
        }
        // A link planted on the way since the walk entered the folder would lead the
        // action out of the backup.
        if (LinkOnTheWay(core, processor.place.destinationRoot, destinationFolder))
            return false;
        // Test mode or the abort keys, decided once: what is reported is what was done.
        const bool dryRun = processor.IsDryRun();

        std::string note;
        switch (action) {
        case OldFileAction::kWarn:
            kind = MessageKind::kWarning;
            break;
        case OldFileAction::kDelete:
            if (!dryRun) {
                processor.CountAttempt();
                MakeWritable(destinationPath);
                ClearLastSystemError();
                const bool done = isFolder ? MoveOrDeleteTree(core, destinationPath)
                                           : operation.Delete(destinationPath) == 0;
                if (done)
                    kind = MessageKind::kFile;
            }
            break;
        case OldFileAction::kMove: {
            const std::string& moveFolder = processor.rules.oldFileMoveFolder;
            if (moveFolder.empty()) {
                core.OutputMessage(MessageKind::kError, EngineText::kEmptyMoveTo, {}, destinationPath,
                                   moveFolder);
                break;
            }
            note = moveFolder;
            // Moving an entry onto itself would first delete it.
            if (IsSameFolder(moveFolder, destinationFolder)) {
                core.OutputMessage(MessageKind::kError, EngineText::kMoveToIsTheFolder, {}, destinationPath,
                                   moveFolder);
                break;
            }
            if (LinkOnTheWay(core, processor.place.destinationRoot, moveFolder))
                break;
            if (!dryRun && EnsureFolder(core, moveFolder)) {
                processor.CountAttempt();
                note = JoinPath(moveFolder, entry.name);
                bool done = false;
                if (isFolder) {
                    ClearLastSystemError();
                    done = MoveOrDeleteTree(core, destinationPath, note);
                } else {
                    MakeWritable(note);
                    operation.Delete(note);
                    ClearLastSystemError();
                    done = operation.Move(destinationPath, note) == 0;
                }
                if (done)
                    kind = MessageKind::kFile;
            }
            break;
        }
        case OldFileAction::kRecycle:
            note = operation.RecycleFolder();
            if (LinkOnTheWay(core, processor.place.destinationRoot, note))
                break;
            if (!dryRun) {
                processor.CountAttempt();
                // Moving a folder elsewhere rewrites its "..": a folder that keeps its
                // source's read-only permissions could not go.
                if (isFolder)
                    MakeWritable(destinationPath);
                ClearLastSystemError();
                if (operation.Recycle(destinationPath) == 0)
                    kind = MessageKind::kFile;
            }
            break;
        case OldFileAction::kCopyBack:
            // Never over a source file that has appeared since it was looked up. A folder
            // cannot be copied this way and fails.
            ClearLastSystemError();
            if (processor.CopyBackupFile(destinationPath, sourcePath, false, dryRun))
                kind = MessageKind::kFile;
            break;
        default:
            break;
        }
        if (dryRun)
            kind = MessageKind::kTest;
        core.OutputMessage(kind, isFolder ? text + EngineText::kFolderSuffix : text, sourcePath,
                           destinationPath, note + SystemErrorSuffix());
    }
    return true;
}
