#include "engine/backup_folder.h"

#include "engine/backup_processor.h"
#include "engine/engine_texts.h"
#include "engine/error_check.h"
#include "engine/folder_operations.h"
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
        FormatText(BackupFolderText::kDestinationQuestionFormat, BackupFolderText::kDestinationMissing,
                   SystemErrorSuffix().c_str(), root.c_str(), BackupFolderText::kCreateFolderQuestion);
    return AskUser(core.Output(), core.Services(), core.Settings().general.DlgTimer, text, {},
                   kPauseQuestionBoxType, true)
           == MessageBoxAnswer::kYes;
}

} // namespace

int BackupFolder(CBackupProcessor& processor, const std::string& source, bool recurse,
                 const CBackupStateHandler& showBackupState)
{
    CApplicationCore& core = processor.Core();
    PaceStep(core);
    if (!WaitForWatchedApplications(core, processor.m_watchedApplications))
        return -1;
    PaceStep(core);
    ClearLastSystemError();
    if (core.State().abortRequested != 0)
        return -1;

    // The engine holds the file system root as "": for an own destination or a network
    // source that is a real place, but a local source would be its own backup.
    const std::string& root = processor.m_destinationRoot;
    if (root.empty() && processor.m_ownDestination == 0 && !IsUncPath(source)) {
        core.OutputMessage(MessageKind::kError, BackupFolderText::kDestinationIsSource, source,
                           std::string(1, kPathSeparator));
        return -1;
    }

    if (!IsExistingFolder(source)) {
        if (CheckUnexpectedError(core, source))
            core.OutputMessage(MessageKind::kError, EngineText::kFolderNotFound, source, {},
                               SystemErrorSuffix());
        return -1;
    }

    // The file system root always exists; like a bare drive it is never asked for.
    if (core.Settings().startup.nbc == 0 && !root.empty() && !IsExistingFolder(root)
        && !AskToCreateDestination(core, root))
        return -1;

    processor.m_copyCounter = 0;
    if (processor.m_mode == ProcessorMode::kBackupState) {
        if (showBackupState)
            showBackupState(source, root);
        return 0;
    }
    if (processor.Walk(source, recurse) < 0 || processor.DestinationLost())
        return -1;
    // A walk cut short by an abort is not a finished backup: no after-program, no count.
    return core.State().abortRequested != 0 ? -1 : static_cast<int>(processor.m_copyCounter);
}
