// The per-file decision of the backup-pass processor: whether a source file is skipped,
// copied as new, updated with generations, reported as a conflict or handled by the
// newer-backup action.

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

#include "engine/backup_processor.h"
#include "engine/compare_contents.h"
#include "engine/engine_texts.h"
#include "engine/error_check.h"
#include "engine/file_comparison.h"
#include "engine/file_operation.h"
#include "engine/folder_safety.h"
#include "engine/generations.h"
#include "engine/pacing.h"
#include "platform/last_error.h"
#include "platform/linux/file_attributes.h"
#include "platform/linux/network_share.h"
#include "platform/path.h"
#include "report/ask_user.h"
#include "report/format_text.h"
#include "report/message_kinds.h"
#include "settings/application_core.h"

namespace {

constexpr std::time_t kSecondsPerDay = 86400;
constexpr long long kBytesPerMegabyte = 1048576;
constexpr long long kBytesPerKilobyte = 1024;
// Differences of one or two seconds come from file systems that keep times in steps of
// two seconds; Ignore2sec passes over them.
constexpr std::time_t kToleratedSeconds = 2;

// Read-only, hidden and system: the attributes whose difference counts.
namespace AttributeBit {
constexpr int kReadOnly = 1;
constexpr int kHidden = 2;
} // namespace AttributeBit

// Newer-backup actions (Forced of the file setting).
namespace NewerBackupAction {
constexpr int kIgnore = 0;
constexpr int kWarn = 1;
constexpr int kOverwrite = 2;
constexpr int kMove = 3;
constexpr int kCopyBack = 4;
} // namespace NewerBackupAction

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
int ReadStatus(const std::string& path, struct stat& status)
{
    std::string local;
    int error = ToLocalPath(path, local);
    if (error == 0 && lstat(local.c_str(), &status) != 0)
        error = errno;
    SetLastSystemError(error);
    return error;
}

int AttributeByte(const std::string& path, const struct stat& status)
{
    int attributes = 0;
    if (!S_ISLNK(status.st_mode) && IsReadOnlyMode(status.st_mode))
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

bool IsSameLocalDay(std::time_t first, std::time_t second)
{
    std::tm a{};
    std::tm b{};
    if (localtime_r(&first, &a) == nullptr || localtime_r(&second, &b) == nullptr)
        return false;
    return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday;
}

bool SameStatus(const struct stat& a, const struct stat& b)
{
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec
           && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// A copy reads the source as it is while the copy runs. When the source was written to
// meanwhile, the backup holds a consistent state that is no longer the file's, and the
// next pass must take the file up again. Times are compared in whole seconds and within
// the two-second tolerance, so a change that kept the size and the second would go
// unseen: the backup's time is then set back far enough to be seen as older. In archive
// mode the record of the copied state already differs from the file's. True when the
// source changed.
bool SourceChangedWhileCopied(const std::string& source, const struct stat& before, const std::string& backup,
                              bool archiveMode)
{
    struct stat after
    {
    };
    const int error = ReadStatus(source, after);
    ClearLastSystemError();
    if (error == 0 && SameStatus(before, after))
        return false;
    if (error != 0 || archiveMode)
        return true;

    struct stat backupStatus
    {
    };
    if (ReadStatus(backup, backupStatus) == 0 && backupStatus.st_size == after.st_size
        && std::llabs(static_cast<long long>(after.st_mtim.tv_sec - backupStatus.st_mtim.tv_sec))
               <= kToleratedSeconds) {
        const timespec times[2] = {backupStatus.st_atim,
                                   timespec{after.st_mtim.tv_sec - kToleratedSeconds - 1, 0}};
        std::string local;
        if (ResolveLocal(backup, local))
            (void)utimensat(AT_FDCWD, local.c_str(), times, AT_SYMLINK_NOFOLLOW);
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

CFileDifference CompareWithBackup(const std::string& sourcePath, const struct stat& source,
                                  const std::string& backupPath, const struct stat& backup, bool ignore2sec)
{
    CFileDifference result;
    const std::time_t sourceTime = source.st_mtim.tv_sec;
    const std::time_t backupTime = backup.st_mtim.tv_sec;
    if (sourceTime != backupTime) {
        const long long difference = std::llabs(static_cast<long long>(backupTime - sourceTime));
        if (ignore2sec && difference >= 1 && difference <= kToleratedSeconds)
            result.toleratedTime = true;
        else
            result.letters += EngineText::kLetterTime;
    }
    if (source.st_size != backup.st_size)
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
                                      bool dryRun, bool targetMissing, const struct stat* fromStatus)
{
    ++m_copyCounter;
    if (dryRun)
        return false;
    CFileOperation operation(m_core);
    CCopyOptions options;
    // In archive mode the copied state is recorded on both sides, so that only a later
    // change marks either of them again.
    options.clearArchiveBit = m_archiveMode != 0;
    options.replaceExisting = replaceExisting;
    options.targetMissing = targetMissing;
    options.sourceStatus = fromStatus;
    if (operation.Copy(from, to, options) != 0)
        return false;
    ClearLastSystemError();
    return true;
}

int CBackupProcessor::ProcessFile(const std::string& fileName)
{
    PaceStep(m_core);
    if (m_mode != ProcessorMode::kBackup)
        return 0;
    const CAppState& state = m_core.State();
    if (state.disabled != 0 || state.abortRequested != 0)
        return 0;

    const CGeneralSettings& general = m_core.Settings().general;
    const std::string source = JoinPath(m_sourceFolder, fileName);
    const std::string destination = JoinPath(m_destinationFolder, fileName);
    const std::string newFile = m_newFileFolder.empty() ? std::string() : JoinPath(m_newFileFolder, fileName);
    const std::string generationPath =
        m_generationFolder.empty() ? std::string() : JoinPath(m_generationFolder, fileName);
    std::string letters;

    if (!MatchesFileFilter(fileName)) {
        m_core.OutputMessage(MessageKind::kDebug, EngineText::kUnmatched, fileName);
        return 0;
    }
    struct stat sourceStatus
    {
    };
    if (ReadStatus(source, sourceStatus) != 0) {
        // Listed a moment ago and gone now: deleted or renamed while the pass ran, which
        // is no failure of the backup. Unexpected errors are reported as errors.
        if (CheckUnexpectedError(m_core, source))
            m_core.OutputMessage(MessageKind::kWarning, EngineText::kSourceFileDetection, source, {},
                                 SystemErrorSuffix());
        return 0;
    }
    struct stat backupStatus
    {
    };
    const bool backupExists = ReadStatus(destination, backupStatus) == 0;
    if (!CheckUnexpectedError(m_core, {}, destination))
        return 0;

    const std::time_t now = NowSeconds(m_core);
    const std::time_t sourceTime = sourceStatus.st_mtim.tv_sec;
    const std::time_t backupTime = backupStatus.st_mtim.tv_sec;
    switch (CheckAgeWindow(sourceTime, now, m_daysFrom, m_daysTo)) {
    case EAgeWindow::TooRecent:
        m_core.OutputMessage(MessageKind::kDebug,
                             FormatText(EngineText::kIgnoredDaysFromFormat, m_daysFrom), source);
        return 0;
    case EAgeWindow::TooOld:
        m_core.OutputMessage(MessageKind::kDebug, FormatText(EngineText::kIgnoredDaysToFormat, m_daysTo),
                             source);
        return 0;
    case EAgeWindow::Inside:
        break;
    }

    // Kind 0 for a done action, 6 for one left undone by test mode or the abort keys,
    // else the failure kind; a copy whose source changed under it is a warning.
    const auto reportCopy = [&](const std::string& message, bool done, const std::string& to, bool dryRun) {
        if (done && SourceChangedWhileCopied(source, sourceStatus, to, m_archiveMode != 0)) {
            m_core.OutputMessage(MessageKind::kWarning, message, source, to,
                                 EngineText::kSourceChangedWhileCopied);
            return;
        }
        const int kind = done ? MessageKind::kFile : dryRun ? MessageKind::kTest : MessageKind::kError;
        m_core.OutputMessage(kind, message, source, to, SystemErrorSuffix());
    };
    // The second copy into the new-file folder, counted like every copy.
    const auto copyToNewFileFolder = [&](const char* message) {
        if (newFile.empty())
            return;
        ClearLastSystemError();
        int kind = MessageKind::kTest;
        if (!IsDryRun()) {
            CFileOperation operation(m_core);
            kind = operation.Copy(source, newFile) == 0 ? MessageKind::kFile : MessageKind::kError;
        }
        m_core.OutputMessage(kind, message, source, newFile,
                             kind == MessageKind::kFile ? std::string() : SystemErrorSuffix());
        ++m_copyCounter;
    };

    if (!backupExists) {
        if (!BackupTreeIntact())
            return 0;
        const long long size = sourceStatus.st_size;
        const bool ask = m_bigFileLimitMb > 0 && size > m_bigFileLimitMb * kBytesPerMegabyte;
        if (ask) {
            const std::string question = FormatText(EngineText::kBigFileQuestionFormat, source.c_str(),
                                                    static_cast<long>(size / kBytesPerKilobyte + 1));
            const unsigned type =
                MessageBoxType::kOkCancel | MessageBoxType::kIconQuestion | MessageBoxType::kTopmost;
            if (AskUser(m_core.Output(), m_core.Services(), general.DlgTimer, question, {}, type, true)
                != MessageBoxAnswer::kOk)
                return 0;
        }
        ClearLastSystemError();
        const bool dryRun = IsDryRun();
        // After a question the file is looked at again: the answer may have taken long.
        reportCopy(EngineText::kCopy,
                   CopyBackupFile(source, destination, true, dryRun, true, ask ? nullptr : &sourceStatus),
                   destination, dryRun);
        copyToNewFileFolder(EngineText::kCopySecond);
        return 0;
    }

    // A link has no room for the record of its backed-up state, so it would count as
    // changed on both sides at every pass: links are compared by time and size instead.
    if (m_archiveMode != 0 && !S_ISLNK(sourceStatus.st_mode)) {
        // Only the archive state counts: times, sizes and other attributes are not looked at.
        if (!BackupTreeIntact())
            return 0;
        std::string localSource;
        std::string localDestination;
        if (!ResolveLocal(source, localSource) || !ResolveLocal(destination, localDestination)) {
            // The share went away since the file was looked at.
            m_core.OutputMessage(MessageKind::kWarning, EngineText::kSourceFileDetection, source,
                                 destination, SystemErrorSuffix());
            return 0;
        }
        const CArchiveDifference archive = CompareArchiveState(localSource, localDestination);
        if (archive.sourceChanged)
            letters += EngineText::kLetterArchive;
        // Without a record on either side the state cannot be known: said once for each
        // side, the source then counts as changed and the backup as untouched.
        if (!archive.sourceStateKept)
            WarnArchiveStateNotKept(RootPath());
        if (!archive.backupStateKept)
            WarnArchiveStateNotKept(m_destinationRoot);
        else if (archive.backupChanged) {
            m_core.OutputMessage(MessageKind::kError, EngineText::kBackupChangedArchive, source,
                                 destination);
            return 0;
        }
    } else {
        const CFileDifference difference =
            CompareWithBackup(source, sourceStatus, destination, backupStatus, general.Ignore2sec != 0);
        if (difference.toleratedTime)
            m_core.OutputMessage(MessageKind::kDebug, EngineText::kIgnoredTwoSeconds, source);
        letters += difference.letters;
    }

    if (letters.empty() && m_contentCompare == 0)
        return 0;
    // From here on the backup is read or written by its path.
    if (!BackupTreeIntact())
        return 0;
    if (letters.empty()) {
        CompareFileContents(m_core, source, destination);
        return 0;
    }

    const bool backupNewer = sourceTime < backupTime;
    ClearLastSystemError();
    if (MatchesNewerBackupList(source)) {
        if (backupNewer) {
            letters += EngineText::kLetterForced;
            switch (m_newerBackupAction) {
            case NewerBackupAction::kIgnore:
                return 0;
            case NewerBackupAction::kWarn:
                m_core.OutputMessage(MessageKind::kWarning, EngineText::kBackupIsNewer, source,
                                     destination);
                return 0;
            case NewerBackupAction::kOverwrite:
                break;
            case NewerBackupAction::kMove: {
                if (m_newerBackupMoveFolder.empty())
                    return 0;
                const std::string target = JoinPath(m_newerBackupMoveFolder, fileName);
                // Moving the backup onto itself would first delete it.
                if (IsSameFolder(m_newerBackupMoveFolder, m_destinationFolder)) {
                    m_core.OutputMessage(MessageKind::kError, EngineText::kMoveToIsTheFolder, {},
                                         destination, m_newerBackupMoveFolder);
                    return 0;
                }
                // A move folder inside the backup is not reached through a planted link.
                if (const std::string link = FirstLinkBelow(m_destinationRoot, m_newerBackupMoveFolder);
                    !link.empty()) {
                    m_core.OutputMessage(MessageKind::kError, EngineText::kLinkInBackupTree, {}, link);
                    return 0;
                }
                int kind = MessageKind::kTest;
                if (!IsDryRun()) {
                    CFileOperation operation(m_core);
                    operation.Delete(target);
                    ClearLastSystemError();
                    kind =
                        operation.Move(destination, target) == 0 ? MessageKind::kFile : MessageKind::kError;
                }
                // The source follows as a new file at the next pass.
                m_core.OutputMessage(kind, EngineText::kMovedNewerBackup, {}, destination,
                                     target + SystemErrorSuffix());
                return 0;
            }
            case NewerBackupAction::kCopyBack: {
                const bool dryRun = IsDryRun();
                const bool copied = CopyBackupFile(destination, source, true, dryRun);
                const int kind = copied   ? MessageKind::kFile
                                 : dryRun ? MessageKind::kTest
                                          : MessageKind::kWarning;
                m_core.OutputMessage(kind, EngineText::kCopiedNewerBackupBack, source, destination);
                return 0;
            }
            default:
                break;
            }
        }
    } else {
        if (backupNewer && general.Forced == 0) {
            m_core.OutputMessage(MessageKind::kError, EngineText::kBackupIsNewer, source, destination,
                                 FormatText(EngineText::kNewerTimesFormat,
                                            static_cast<unsigned long>(sourceTime),
                                            static_cast<unsigned long>(backupTime)));
            return 0;
        }
        if (letters == EngineText::kLetterSize && sourceTime == backupTime) {
            // Same time, other size: old files are left for the user to look at; a file of
            // the last day may have been written twice within one second.
            if (now - sourceTime > kSecondsPerDay) {
                m_core.OutputMessage(MessageKind::kWarning, EngineText::kOnlySizeDiffers, source,
                                     destination);
                return 0;
            }
            letters += EngineText::kLetterWithinDay;
        }
    }

    // Saves in quick succession, or on the same day with SameDateExc, do not use up the
    // generations: at most the most recent one is replaced.
    const int rememberedCount = m_generationCount;
    const int lowered = m_generationCount > 1 ? 1 : 0;
    bool sameDate = false;
    bool nearTime = false;
    if (m_sameDate != 0 && IsSameLocalDay(sourceTime, backupTime)) {
        sameDate = true;
        m_generationCount = lowered;
    }
    // Near time means a source written shortly after its backup. A source older than its
    // backup (an overwrite of a newer backup) is no quick save: it keeps the generations
    // and is not reported as differing by "at most" the near-time seconds.
    const bool numberedStyle = general.GenStyle == 0 || general.GenStyle == 1;
    if (numberedStyle && !sameDate && sourceTime >= backupTime
        && sourceTime < backupTime + m_nearTimeSeconds) {
        nearTime = true;
        m_generationCount = lowered;
    }

    ClearLastSystemError();
    const bool dryRun = IsDryRun();
    const bool updated = UpdateWithGenerations(*this, source, destination, generationPath, dryRun);
    const std::string nearTimePart =
        nearTime ? FormatText(EngineText::kNearTimePartFormat, m_nearTimeSeconds) : std::string();
    reportCopy(FormatText(EngineText::kUpdateFormat, sameDate ? EngineText::kSameDatePart : "",
                          nearTimePart.c_str(), letters.c_str()),
               updated, destination, dryRun);
    m_generationCount = rememberedCount;
    copyToNewFileFolder(EngineText::kUpdateSecond);
    return 0;
}
