// The per-file decision of the backup-pass processor: whether a source file is skipped,
// copied as new, updated with generations, reported as a conflict or handled by the
// newer-backup action.

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>

#include "engine/backup_processor.h"
#include "engine/compare_contents.h"
#include "engine/engine_texts.h"
#include "engine/error_check.h"
#include "engine/file_comparison.h"
#include "engine/file_decision.h"
#include "engine/file_operation.h"
#include "engine/folder_safety.h"
#include "engine/generations.h"
#include "engine/pacing.h"
#include "platform/last_error.h"
#include "platform/file_attributes.h"
#include "platform/file_status.h"
#include "platform/network_share.h"
#include "platform/path.h"
#include "report/ask_user.h"
#include "report/format_text.h"
#include "report/message_kinds.h"
#include "settings/application_core.h"

namespace {

constexpr std::time_t kSecondsPerDay = 86400;
// Differences of one or two seconds come from file systems that keep times in steps of
// two seconds; Ignore2sec passes over them.
constexpr std::time_t kToleratedSeconds = 2;

// Read-only, hidden and system: the attributes whose difference counts.
namespace AttributeBit {
constexpr int kReadOnly = 1;
constexpr int kHidden = 2;
} // namespace AttributeBit

// The path a file call can use. False, with the unreachable error as the last error,
// for a network path whose share is not mounted: "//srv/share/x" must never be read as
// the local "/srv/share/x".
bool ResolveLocal(const std::string& path, std::string& local)
{
    const int error = ToLocalPath(path, local);
    if (error != 0)
        SetLastSystemError(error);
    return error == 0;
}

// The entry itself, never what a symbolic link leads to: links are backed up as links.
// Leaves the result in the last system error as well.
int ReadStatus(const std::string& path, CFileStatus& status)
{
    std::string local;
    int error = ToLocalPath(path, local);
    if (error == 0)
        error = ReadFileStatus(local, status);
    SetLastSystemError(error);
    return error;
}

int AttributeByte(const std::string& path, const CFileStatus& status)
{
    int attributes = 0;
    if (!status.IsSymbolicLink() && IsReadOnlyMode(status.permissions))
        attributes |= AttributeBit::kReadOnly;
    if (IsHiddenName(FileNameOf(path)))
        attributes |= AttributeBit::kHidden;
    return attributes;
}

std::time_t NowSeconds(const CApplicationCore& core)
{
    const IClock* clock = core.Services().clock;
    const auto now = clock != nullptr ? clock->Now() : std::chrono::system_clock::now();
    return std::chrono::system_clock::to_time_t(now);
}

bool SameStatus(const CFileStatus& a, const CFileStatus& b)
{
    return a.size == b.size && a.modified == b.modified;
}

// A copy reads the source as it is while the copy runs. When the source was written to
// meanwhile, the backup holds a consistent state that is no longer the file's, and the
// next pass must take the file up again. Times are compared in whole seconds and within
// the two-second tolerance, so a change that kept the size and the second would go
// unseen: the backup's time is then set back far enough to be seen as older. In archive
// mode the record of the copied state already differs from the file's. True when the
// source changed.
bool SourceChangedWhileCopied(const std::string& source, const CFileStatus& before, const std::string& backup,
                              bool archiveMode)
{
    CFileStatus after;
    const int error = ReadStatus(source, after);
    ClearLastSystemError();
    if (error == 0 && SameStatus(before, after))
        return false;
    if (error != 0 || archiveMode)
        return true;

    CFileStatus backupStatus;
    if (ReadStatus(backup, backupStatus) == 0 && backupStatus.size == after.size
        && std::llabs(static_cast<long long>(after.modified.seconds - backupStatus.modified.seconds))
               <= kToleratedSeconds) {
        std::string local;
        if (ResolveLocal(backup, local))
            (void)SetFileTimes(local, backupStatus.accessed,
                               CFileTime{after.modified.seconds - kToleratedSeconds - 1, 0}, false);
    }
    ClearLastSystemError();
    return true;
}

} // namespace

EAgeWindow CheckAgeWindow(std::time_t sourceTime, std::time_t now, long daysFrom, long daysTo)
{
    if (daysFrom >= 0 && sourceTime > now - daysFrom * kSecondsPerDay)
        return EAgeWindow::TooRecent;
    if (daysTo >= 0 && sourceTime < now - daysTo * kSecondsPerDay)
        return EAgeWindow::TooOld;
    return EAgeWindow::Inside;
}

CFileDifference CompareWithBackup(const std::string& sourcePath, const CFileStatus& source,
                                  const std::string& backupPath, const CFileStatus& backup, bool ignore2sec)
{
    CFileDifference result;
    const std::time_t sourceTime = source.modified.seconds;
    const std::time_t backupTime = backup.modified.seconds;
    if (sourceTime != backupTime) {
        const long long difference = std::llabs(static_cast<long long>(backupTime - sourceTime));
        if (ignore2sec && difference >= 1 && difference <= kToleratedSeconds)
            result.toleratedTime = true;
        else
            result.letters += EngineText::kLetterTime;
    }
    if (source.size != backup.size)
        result.letters += EngineText::kLetterSize;
    if (AttributeByte(sourcePath, source) != AttributeByte(backupPath, backup))
        result.letters += EngineText::kLetterAttributes;
    return result;
}

CArchiveDifference CompareArchiveState(const std::string& localSource, const std::string& localBackup)
{
    CArchiveDifference result;
    result.sourceChanged = HasArchiveBit(localSource);
    result.sourceStateKept = KeepsArchiveState(localSource);
    result.backupStateKept = KeepsArchiveState(localBackup);
    result.backupChanged = result.backupStateKept && HasArchiveBit(localBackup);
    return result;
}

bool CBackupProcessor::CopyBackupFile(const std::string& from, const std::string& to, bool replaceExisting)
{
    return CopyBackupFile(from, to, replaceExisting, IsDryRun());
}

bool CBackupProcessor::CopyBackupFile(const std::string& from, const std::string& to, bool replaceExisting,
                                      bool dryRun, bool targetMissing, const CFileStatus* fromStatus)
{
    CountAttempt();
    if (dryRun)
        return false;
    CFileOperation operation(m_core);
    CCopyOptions options;
    // In archive mode the copied state is recorded on both sides, so that only a later
    // change marks either of them again.
    options.clearArchiveBit = rules.archiveMode != 0;
    options.replaceExisting = replaceExisting;
    options.targetMissing = targetMissing;
    options.sourceStatus = fromStatus;
    if (operation.Copy(from, to, options) != 0)
        return false;
    ClearLastSystemError();
    return true;
}

CFileRules CBackupProcessor::FileRules() const
{
    const CGeneralSettings& general = m_core.Settings().general;
    CFileRules fileRules;
    fileRules.daysFrom = rules.daysFrom;
    fileRules.daysTo = rules.daysTo;
    fileRules.archiveMode = rules.archiveMode != 0;
    fileRules.contentCompare = run.contentCompare != 0;
    fileRules.ignore2sec = general.Ignore2sec != 0;
    fileRules.bigFileLimitMb = rules.bigFileLimitMb;
    fileRules.overwriteNewerBackups = general.Forced != 0;
    fileRules.newerBackupList = &rules.newerBackupList;
    fileRules.newerBackupAction = rules.newerBackupAction;
    fileRules.hasNewerBackupMoveFolder = !rules.newerBackupMoveFolder.empty();
    fileRules.sameDate = rules.sameDate != 0;
    fileRules.nearTimeSeconds = rules.nearTimeSeconds;
    fileRules.numberedGenerations = general.GenStyle == 0 || general.GenStyle == 1;
    fileRules.generationCount = rules.generationCount;
    return fileRules;
}

int CBackupProcessor::ProcessFile(const std::string& fileName)
{
    PaceStep(m_core);
    if (run.mode != ProcessorMode::kBackup)
        return 0;
    const CAppState& state = m_core.State();
    if (state.disabled != 0 || state.abortRequested != 0)
        return 0;

    if (!MatchesFileFilter(fileName)) {
        m_core.OutputMessage(MessageKind::kDebug, EngineText::kUnmatched, fileName);
        return 0;
    }
    CFileFacts facts;
    facts.source = JoinPath(place.sourceFolder, fileName);
    facts.backup = JoinPath(place.destinationFolder, fileName);
    if (ReadStatus(facts.source, facts.sourceStatus) != 0) {
        // Listed a moment ago and gone now: deleted or renamed while the pass ran, which
        // is no failure of the backup. Unexpected errors are reported as errors.
        if (CheckUnexpectedError(m_core, facts.source))
            m_core.OutputMessage(MessageKind::kWarning, EngineText::kSourceFileDetection, facts.source, {},
                                 SystemErrorSuffix());
        return 0;
    }
    CFileStatus backupStatus;
    if (!m_backupFolderNew && ReadStatus(facts.backup, backupStatus) == 0)
        facts.backupStatus = backupStatus;
    if (!CheckUnexpectedError(m_core, {}, facts.backup))
        return 0;
    facts.now = NowSeconds(m_core);

    const CFileRules fileRules = FileRules();
    if (NeedsArchiveState(fileRules, facts)) {
        if (!BackupTreeIntact())
            return 0;
        std::string localSource;
        std::string localBackup;
        if (!ResolveLocal(facts.source, localSource) || !ResolveLocal(facts.backup, localBackup)) {
            // The share went away since the file was looked at.
            m_core.OutputMessage(MessageKind::kWarning, EngineText::kSourceFileDetection, facts.source,
                                 facts.backup, SystemErrorSuffix());
            return 0;
        }
        facts.archive = CompareArchiveState(localSource, localBackup);
    }
    CarryOut(DecideFile(fileRules, facts), facts, fileName);
    return 0;
}

void CBackupProcessor::ReportCopy(const std::string& message, bool done, const CFileFacts& facts,
                                  const std::string& to, bool dryRun)
{
    // Kind 0 for a done action, 6 for one left undone by test mode or the abort keys,
    // else the failure kind; a copy whose source changed under it is a warning.
    if (done && SourceChangedWhileCopied(facts.source, facts.sourceStatus, to, rules.archiveMode != 0)) {
        m_core.OutputMessage(MessageKind::kWarning, message, facts.source, to,
                             EngineText::kSourceChangedWhileCopied);
        return;
    }
    const int kind = done ? MessageKind::kFile : dryRun ? MessageKind::kTest : MessageKind::kError;
    m_core.OutputMessage(kind, message, facts.source, to, SystemErrorSuffix());
}

void CBackupProcessor::CopyToNewFileFolder(const std::string& source, const std::string& fileName,
                                           const char* message)
{
    // The second copy into the new-file folder, counted like every copy.
    if (place.newFileFolder.empty())
        return;
    const std::string newFile = JoinPath(place.newFileFolder, fileName);
    ClearLastSystemError();
    int kind = MessageKind::kTest;
    if (!IsDryRun()) {
        CFileOperation operation(m_core);
        kind = operation.Copy(source, newFile) == 0 ? MessageKind::kFile : MessageKind::kError;
    }
    m_core.OutputMessage(kind, message, source, newFile,
                         kind == MessageKind::kFile ? std::string() : SystemErrorSuffix());
    CountAttempt();
}

void CBackupProcessor::MoveNewerBackup(const CFileFacts& facts, const std::string& fileName)
{
    const std::string target = JoinPath(rules.newerBackupMoveFolder, fileName);
    // Moving the backup onto itself would first delete it.
    if (IsSameFolder(rules.newerBackupMoveFolder, place.destinationFolder)) {
        m_core.OutputMessage(MessageKind::kError, EngineText::kMoveToIsTheFolder, {}, facts.backup,
                             rules.newerBackupMoveFolder);
        return;
    }
    // A move folder inside the backup is not reached through a planted link.
    if (const std::string link = FirstLinkBelow(place.destinationRoot, rules.newerBackupMoveFolder);
        !link.empty()) {
        m_core.OutputMessage(MessageKind::kError, EngineText::kLinkInBackupTree, {}, link);
        return;
    }
    int kind = MessageKind::kTest;
    if (!IsDryRun()) {
        CFileOperation operation(m_core);
        operation.Delete(target);
        ClearLastSystemError();
        kind = operation.Move(facts.backup, target) == 0 ? MessageKind::kFile : MessageKind::kError;
    }
    // The source follows as a new file at the next pass.
    m_core.OutputMessage(kind, EngineText::kMovedNewerBackup, {}, facts.backup, target + SystemErrorSuffix());
}

void CBackupProcessor::CarryOut(const CFileAction& action, const CFileFacts& facts,
                                const std::string& fileName)
{
    // Said once for each side.
    if (action.sourceStateUnkept)
        WarnArchiveStateNotKept(RootPath());
    if (action.backupStateUnkept)
        WarnArchiveStateNotKept(place.destinationRoot);
    const auto report = [this](const CFileMessage& message) {
        m_core.OutputMessage(message.kind, message.text, message.source, message.destination, message.info);
    };
    if (action.note)
        report(*action.note);
    if (action.checksBackupTree && !BackupTreeIntact())
        return;
    if (action.message)
        report(*action.message);

    switch (action.what) {
    case EFileAction::Nothing:
        return;
    case EFileAction::CompareContents:
        CompareFileContents(m_core, facts.source, facts.backup);
        return;
    case EFileAction::CopyNew: {
        if (!action.question.empty()) {
            const unsigned type =
                MessageBoxType::kOkCancel | MessageBoxType::kIconQuestion | MessageBoxType::kTopmost;
            if (AskUser(m_core.Output(), m_core.Services(), m_core.Settings().general.DlgTimer,
                        action.question, {}, type, true)
                != MessageBoxAnswer::kOk)
                return;
        }
        ClearLastSystemError();
        const bool dryRun = IsDryRun();
        // After a question the file is looked at again: the answer may have taken long.
        const bool unlooked = m_backupFolderNew;
        const bool copied = CopyBackupFile(facts.source, facts.backup, !unlooked, dryRun, true,
                                           action.question.empty() ? &facts.sourceStatus : nullptr);
        if (!copied && unlooked && GetLastSystemError() == EEXIST) {
            // The file is taken up again as one attempt, counted there.
            --m_copyCounter;
            m_backupFolderNew = false;
            ProcessFile(fileName);
            return;
        }
        ReportCopy(EngineText::kCopy, copied, facts, facts.backup, dryRun);
        CopyToNewFileFolder(facts.source, fileName, EngineText::kCopySecond);
        return;
    }
    case EFileAction::MoveNewerBackup:
        ClearLastSystemError();
        MoveNewerBackup(facts, fileName);
        return;
    case EFileAction::CopyNewerBackupBack: {
        ClearLastSystemError();
        const bool dryRun = IsDryRun();
        const bool copied = CopyBackupFile(facts.backup, facts.source, true, dryRun);
        const int kind = copied ? MessageKind::kFile : dryRun ? MessageKind::kTest : MessageKind::kWarning;
        m_core.OutputMessage(kind, EngineText::kCopiedNewerBackupBack, facts.source, facts.backup);
        return;
    }
    case EFileAction::Update: {
        ClearLastSystemError();
        const bool dryRun = IsDryRun();
        const std::string generationPath =
            place.generationFolder.empty() ? std::string() : JoinPath(place.generationFolder, fileName);
        const bool updated = UpdateWithGenerations(*this, facts.source, facts.backup, generationPath, dryRun,
                                                   action.generationCount);
        ReportCopy(action.updateText, updated, facts, facts.backup, dryRun);
        CopyToNewFileFolder(facts.source, fileName, EngineText::kUpdateSecond);
        return;
    }
    }
}
