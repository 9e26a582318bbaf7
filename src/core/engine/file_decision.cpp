#include "engine/file_decision.h"

#include "engine/engine_texts.h"
#include "report/format_text.h"
#include "report/message_kinds.h"

namespace {

constexpr std::time_t kSecondsPerDay = 86400;
constexpr long long kBytesPerMegabyte = 1048576;
constexpr long long kBytesPerKilobyte = 1024;

bool IsSameLocalDay(std::time_t first, std::time_t second)
{
    std::tm a{};
    std::tm b{};
    if (localtime_r(&first, &a) == nullptr || localtime_r(&second, &b) == nullptr)
        return false;
    return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday;
}

// A link has no room for the record of its backed-up state, so it would count as
// changed on both sides at every pass: links are compared by time and size instead.
bool ComparesArchiveState(const CFileRules& rules, const CFileFacts& facts)
{
    return rules.archiveMode && !facts.sourceStatus.IsSymbolicLink();
}

CFileAction DecideNewFile(const CFileRules& rules, const CFileFacts& facts)
{
    CFileAction action;
    action.what = EFileAction::CopyNew;
    action.checksBackupTree = true;
    const long long size = facts.sourceStatus.size;
    if (rules.bigFileLimitMb > 0 && size > rules.bigFileLimitMb * kBytesPerMegabyte)
        action.question = FormatText(EngineText::kBigFileQuestionFormat, facts.source.c_str(),
                                     static_cast<long>(size / kBytesPerKilobyte + 1));
    return action;
}

// The newer-backup action for a source named by the newer-backup list; false when the
// backup is to be overwritten like any other.
bool DecideNewerBackup(const CFileRules& rules, const CFileFacts& facts, CFileAction& action)
{
    switch (rules.newerBackupAction) {
    case NewerBackupAction::kIgnore:
        return true;
    case NewerBackupAction::kWarn:
        action.message =
            CFileMessage{MessageKind::kWarning, EngineText::kBackupIsNewer, facts.source, facts.backup, {}};
        return true;
    case NewerBackupAction::kMove:
        if (rules.hasNewerBackupMoveFolder)
            action.what = EFileAction::MoveNewerBackup;
        return true;
    case NewerBackupAction::kCopyBack:
        action.what = EFileAction::CopyNewerBackupBack;
        return true;
    default:
        return false;
    }
}

// The letters of what differs between the source and its backup; false when the
// comparison already decided (a backup changed in archive mode).
bool CompareBoth(const CFileRules& rules, const CFileFacts& facts, CFileAction& action, std::string& letters)
{
    if (ComparesArchiveState(rules, facts)) {
        // Only the archive state counts: times, sizes and other attributes are not looked at.
        const CArchiveDifference archive = facts.archive.value_or(CArchiveDifference{});
        if (archive.sourceChanged)
            letters += EngineText::kLetterArchive;
        // Without a record on either side the state cannot be known: the source then
        // counts as changed and the backup as untouched.
        action.sourceStateUnkept = !archive.sourceStateKept;
        action.backupStateUnkept = !archive.backupStateKept;
        if (archive.backupStateKept && archive.backupChanged) {
            action.message = CFileMessage{
                MessageKind::kError, EngineText::kBackupChangedArchive, facts.source, facts.backup, {}};
            return false;
        }
    } else {
        const CFileDifference difference = CompareWithBackup(facts.source, facts.sourceStatus, facts.backup,
                                                             *facts.backupStatus, rules.ignore2sec);
        if (difference.toleratedTime)
            action.note =
                CFileMessage{MessageKind::kDebug, EngineText::kIgnoredTwoSeconds, facts.source, {}, {}};
        letters += difference.letters;
    }
    return true;
}

// The update of a changed file, with the generations a quick save spares.
// action holds what the comparison found to report first.
CFileAction DecideUpdate(const CFileRules& rules, const CFileFacts& facts, const std::string& letters,
                         CFileAction action)
{
    const std::time_t sourceTime = facts.sourceStatus.modified.seconds;
    const std::time_t backupTime = facts.backupStatus->modified.seconds;
    // Saves in quick succession, or on the same day with SameDateExc, do not use up the
    // generations: at most the most recent one is replaced.
    const int lowered = rules.generationCount > 1 ? 1 : 0;
    action.generationCount = rules.generationCount;
    const bool sameDate = rules.sameDate && IsSameLocalDay(sourceTime, backupTime);
    if (sameDate)
        action.generationCount = lowered;
    // Near time means a source written shortly after its backup. A source older than its
    // backup (an overwrite of a newer backup) is no quick save: it keeps the generations
    // and is not reported as differing by "at most" the near-time seconds.
    const bool nearTime = rules.numberedGenerations && !sameDate && sourceTime >= backupTime
                          && sourceTime < backupTime + rules.nearTimeSeconds;
    if (nearTime)
        action.generationCount = lowered;

    action.what = EFileAction::Update;
    const std::string nearTimePart =
        nearTime ? FormatText(EngineText::kNearTimePartFormat, rules.nearTimeSeconds) : std::string();
    action.updateText = FormatText(EngineText::kUpdateFormat, sameDate ? EngineText::kSameDatePart : "",
                                   nearTimePart.c_str(), letters.c_str());
    return action;
}

} // namespace

bool NeedsArchiveState(const CFileRules& rules, const CFileFacts& facts)
{
    return facts.backupStatus.has_value() && ComparesArchiveState(rules, facts)
           && CheckAgeWindow(facts.sourceStatus.modified.seconds, facts.now, rules.daysFrom, rules.daysTo)
                  == EAgeWindow::Inside;
}

CFileAction DecideFile(const CFileRules& rules, const CFileFacts& facts)
{
    CFileAction action;
    const std::time_t sourceTime = facts.sourceStatus.modified.seconds;
    switch (CheckAgeWindow(sourceTime, facts.now, rules.daysFrom, rules.daysTo)) {
    case EAgeWindow::TooRecent:
        action.message = CFileMessage{MessageKind::kDebug,
                                      FormatText(EngineText::kIgnoredDaysFromFormat, rules.daysFrom),
                                      facts.source,
                                      {},
                                      {}};
        return action;
    case EAgeWindow::TooOld:
        action.message = CFileMessage{MessageKind::kDebug,
                                      FormatText(EngineText::kIgnoredDaysToFormat, rules.daysTo),
                                      facts.source,
                                      {},
                                      {}};
        return action;
    case EAgeWindow::Inside:
        break;
    }
    if (!facts.backupStatus)
        return DecideNewFile(rules, facts);

    const std::time_t backupTime = facts.backupStatus->modified.seconds;
    std::string letters;
    if (!CompareBoth(rules, facts, action, letters))
        return action;
    if (letters.empty() && !rules.contentCompare)
        return action;
    action.checksBackupTree = true;
    if (letters.empty()) {
        action.what = EFileAction::CompareContents;
        return action;
    }

    const bool backupNewer = sourceTime < backupTime;
    if (rules.newerBackupList != nullptr && MatchesAnyPattern(*rules.newerBackupList, facts.source)) {
        if (backupNewer) {
            letters += EngineText::kLetterForced;
            if (DecideNewerBackup(rules, facts, action))
                return action;
        }
    } else {
        if (backupNewer && !rules.overwriteNewerBackups) {
            action.message =
                CFileMessage{MessageKind::kError, EngineText::kBackupIsNewer, facts.source, facts.backup,
                             FormatText(EngineText::kNewerTimesFormat, static_cast<unsigned long>(sourceTime),
                                        static_cast<unsigned long>(backupTime))};
            return action;
        }
        if (letters == EngineText::kLetterSize && sourceTime == backupTime) {
            // Same time, other size: old files are left for the user to look at; a file of
            // the last day may have been written twice within one second.
            if (facts.now - sourceTime > kSecondsPerDay) {
                action.message = CFileMessage{
                    MessageKind::kWarning, EngineText::kOnlySizeDiffers, facts.source, facts.backup, {}};
                return action;
            }
            letters += EngineText::kLetterWithinDay;
        }
    }

    return DecideUpdate(rules, facts, letters, action);
}
