#pragma once

// The per-file decision of the backup pass as a function of what is known about a source
// file and its backup: it says what is to be done and what is reported, and touches
// nothing. Carrying the action out (copy, rotation, move, question) is the processor's.

#include <ctime>
#include <optional>
#include <string>

#include "engine/file_comparison.h"
#include "engine/pattern.h"
#include "platform/file_status.h"

// Newer-backup actions (Forced of the file setting).
namespace NewerBackupAction {
inline constexpr int kIgnore = 0;
inline constexpr int kWarn = 1;
inline constexpr int kOverwrite = 2;
inline constexpr int kMove = 3;
inline constexpr int kCopyBack = 4;
} // namespace NewerBackupAction

// The rules of one file setting (with the general settings they depend on) that the
// decision reads.
struct CFileRules
{
    long daysFrom = -1;
    long daysTo = -1;
    bool archiveMode = false;
    bool contentCompare = false;
    bool ignore2sec = true;
    long bigFileLimitMb = 0;
    // General Forced: a newer backup not named by the newer-backup list is overwritten.
    bool overwriteNewerBackups = false;
    // The source paths whose newer backup gets the newer-backup action; matched only for
    // a changed file.
    const CPatternList* newerBackupList = nullptr;
    int newerBackupAction = NewerBackupAction::kIgnore;
    bool hasNewerBackupMoveFolder = false;
    bool sameDate = false;
    int nearTimeSeconds = 0;
    // Numbered generations (GenStyle 0 and 1), the only ones a quick save can spare.
    bool numberedGenerations = true;
    int generationCount = 0;
};

// What is known of one source file and its backup when the decision is taken.
struct CFileFacts
{
    std::string source;
    std::string backup;
    CFileStatus sourceStatus;
    // Empty when there is no backup yet.
    std::optional<CFileStatus> backupStatus;
    std::time_t now = 0;
    // Read only when NeedsArchiveState says so.
    std::optional<CArchiveDifference> archive;
};

// A message the decision reports, fields as OutputMessage takes them.
struct CFileMessage
{
    int kind = 0;
    std::string text;
    std::string source;
    std::string destination;
    std::string info;
    bool operator==(const CFileMessage&) const = default;
};

enum class EFileAction
{
    Nothing,             // the message, if any, is all there is
    CopyNew,             // no backup yet: copy, after the question when there is one
    CompareContents,     // equal by status; the contents are compared
    Update,              // the backup is replaced, its previous state kept as a generation
    MoveNewerBackup,     // the newer backup goes to the move folder
    CopyNewerBackupBack, // the newer backup is copied over its source
};

struct CFileAction
{
    EFileAction what = EFileAction::Nothing;
    // Reported before anything else, in this order.
    std::optional<CFileMessage> note{};
    // Archive mode found no record of the state on that side (said once per tree).
    bool sourceStateUnkept = false;
    bool backupStateUnkept = false;
    // The way to the backup is checked before the message and the action: from here on
    // the backup is read or written by its path.
    bool checksBackupTree = false;
    // Reported after the check, for Nothing.
    std::optional<CFileMessage> message{};
    // CopyNew: the question to ask first, empty for none.
    std::string question{};
    // Update: the report text, and the generations kept for this update (fewer for a
    // quick save).
    std::string updateText{};
    int generationCount = 0;
    bool operator==(const CFileAction&) const = default;
};

// True when the decision needs the archive state of both sides (archive mode, a
// backup, a source that is no link, inside the age window).
bool NeedsArchiveState(const CFileRules& rules, const CFileFacts& facts);

CFileAction DecideFile(const CFileRules& rules, const CFileFacts& facts);
