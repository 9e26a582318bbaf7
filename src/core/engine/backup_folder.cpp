#include "engine/backup_folder.h"

#include "engine/backup_processor.h"
#include "engine/engine_texts.h"
#include "engine/destination_only.h"
#include "engine/destination_path.h"
#include "engine/error_check.h"
#include "engine/folder_operations.h"
#include "engine/folder_safety.h"
#include "engine/pacing.h"
#include "engine/pause_conditions.h"
#include "platform/last_error.h"
#include "platform/path.h"
#include "report/ask_user.h"
#include "report/format_text.h"
#include "report/message_kinds.h"
#include "settings/application_core.h"

namespace {

bool AskToCreateDestination(CApplicationCore& core, const std::string& root)
{
    const std::string text =
        FormatText(EngineText::kDestinationQuestionFormat, EngineText::kDestinationMissing,
                   SystemErrorSuffix().c_str(), root.c_str(), EngineText::kCreateFolderQuestion);
    return AskUser(core.Output(), core.Services(), core.Settings().general.DlgTimer, text, {},
                   kPauseQuestionBoxType, true)
           == MessageBoxAnswer::kYes;
}

// A fresh run cannot know on which device a source was before: an empty source beside
// a filled backup gets no destination-only action, and a warning says why.
bool KeepsDestinationOnly(CBackupProcessor& processor, const std::string& source)
{
    if (processor.run.mode != ProcessorMode::kBackup || processor.rules.oldFileAction == OldFileAction::kIgnore
        || !IsEmptyFolder(source))
        return false;
    const std::string backup =
        AppendFolderSuffix(processor.place.destinationRoot,
                           DestinationSuffix(processor.rules.ownDestination != 0, {}, FolderRootOf(source)));
    if (!IsExistingFolder(backup) || IsEmptyFolder(backup)) {
        ClearLastSystemError();
        return false;
    }
    processor.Core().OutputMessage(MessageKind::kWarning, EngineText::kEmptySourceKeepsBackup, source,
                                   backup);
    return true;
}

} // namespace

int BackupFolder(CBackupProcessor& processor, const std::string& source, bool recurse,
                 const CBackupStateHandler& showBackupState)
{
    CApplicationCore& core = processor.Core();
    PaceStep(core);
    if (!WaitForWatchedApplications(core, processor.rules.watchedApplications))
        return -1;
    PaceStep(core);
    ClearLastSystemError();
    if (core.State().abortRequested != 0)
        return -1;

    if (!IsExistingFolder(source)) {
        if (CheckUnexpectedError(core, source))
            core.OutputMessage(MessageKind::kError, EngineText::kFolderNotFound, source, {},
                               SystemErrorSuffix());
        return -1;
    }
    if (!CheckFoldersAgainstSource(processor, source))
        return -1;
    // What a drive that is not mounted leaves behind is an empty folder on the system
    // disk: it must neither empty the backup nor receive it.
    const std::string& root = processor.place.destinationRoot;
    if (!processor.IsMounted(source)) {
        core.OutputMessage(MessageKind::kError, EngineText::kSourceNotMounted, source);
        return -1;
    }
    if (!processor.IsMounted(root)) {
        core.OutputMessage(MessageKind::kError, EngineText::kDestinationNotMounted, source,
                           root.empty() ? std::string(1, kPathSeparator) : root);
        return -1;
    }

    // The file system root always exists; like a bare drive it is never asked for.
    if (core.Settings().startup.nbc == 0 && !root.empty() && !IsExistingFolder(root)
        && !AskToCreateDestination(core, root))
        return -1;

    processor.ResetCopyCount();
    if (processor.run.mode == ProcessorMode::kBackupState) {
        if (showBackupState)
            showBackupState(source, root);
        return 0;
    }
    processor.run.keepDestinationOnly = KeepsDestinationOnly(processor, source);
    const int walked = processor.Walk(source, recurse);
    processor.run.keepDestinationOnly = false;
    if (walked < 0 || processor.DestinationLost())
        return -1;
    // A walk cut short by an abort is not a finished backup: no after-program, no count.
    if (core.State().abortRequested != 0)
        return -1;
    processor.RememberDevice(source);
    processor.RememberDevice(root);
    return static_cast<int>(processor.CopyCount());
}
