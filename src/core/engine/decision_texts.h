#pragma once

// Texts of the per-file decision and of the destination-only handling, as the program
// shows and logs them.

namespace DecisionText {
// Per-file decision: selection, age window, source status.
inline constexpr const char* kUnmatched = "un-matched";
inline constexpr const char* kSourceFileDetection = "ソースファイル検出";
inline constexpr const char* kIgnoredDaysFromFormat = "Ignored; <%ld DaysFrom";
inline constexpr const char* kIgnoredDaysToFormat = "Ignored; >%ld DaysTo";
inline constexpr const char* kIgnoredTwoSeconds = "Ignored; +-2sec";

// The big-file question: the source path and its size in KBytes.
inline constexpr const char* kBigFileQuestionFormat =
    "以下の大きなファイルをコピーしようとしています\n%s\n%ld "
    "KBytes\nよろしいですか?\n(処理に暫く時間を要します)";

inline constexpr const char* kCopy = "コピー";
inline constexpr const char* kCopySecond = "コピー #2";
inline constexpr const char* kUpdateSecond = "更新 #2";

// Difference letters, in the order they are collected.
inline constexpr const char* kLetterArchive = "Arc";
inline constexpr const char* kLetterTime = "T";
inline constexpr const char* kLetterSize = "S";
inline constexpr const char* kLetterAttributes = "A";
inline constexpr const char* kLetterWithinDay = "24h";
inline constexpr const char* kLetterForced = ",Forced";

inline constexpr const char* kBackupChangedArchive = "バックアップ先ファイルが更新されています(Archive属性)";
inline constexpr const char* kBackupIsNewer = "バックアップ先のファイルのほうが最新です";
// Both last-write times in seconds since 1970: source, backup.
inline constexpr const char* kNewerTimesFormat = "%lu:%lu";
inline constexpr const char* kMovedNewerBackup = "バックアップ先のほうが最新のファイルを移動";
inline constexpr const char* kCopiedNewerBackupBack = "バックアップ先の最新ファイルをバックアップ元へコピー";
inline constexpr const char* kOnlySizeDiffers = "ファイルの大きさだけが違います";

// The update: same-date part, near-time part, difference letters.
inline constexpr const char* kUpdateFormat = "%s%s更新(%s)";
inline constexpr const char* kSameDatePart = "同一日付の";
inline constexpr const char* kNearTimePartFormat = "差異が%d秒以下の";

// Additional info of a copy whose source was written to while it was read: the backup
// holds what was read, and the file is taken up again at the next pass.
inline constexpr const char* kSourceChangedWhileCopied = "Source changed while copied";

// Destination-only entries, by old-file action (1 to 5).
inline constexpr const char* kDestinationOnlyDetected = "バックアップ先にのみ存在するファイルを検出";
inline constexpr const char* kDestinationOnlyDeleted = "バックアップ先にのみ存在するファイルを削除";
inline constexpr const char* kDestinationOnlyMoved = "バックアップ先にのみ存在するファイルを移動";
inline constexpr const char* kDestinationOnlyRecycled = "バックアップ先にのみ存在するファイルをごみ箱へ";
inline constexpr const char* kDestinationOnlyCopiedBack =
    "バックアップ先にのみ存在するファイルをバックアップ元へ";
inline constexpr const char* kFolderSuffix = " (フォルダ)";

inline constexpr const char* kBakDirExc = "BAK: DirExc";
inline constexpr const char* kBakUnmatched = "BAK: Un-matched";
inline constexpr const char* kSkipGenerationFile = "Skip gen-file";
inline constexpr const char* kEmptyMoveTo = "Empty MoveTo!";
// Error (destination = the entry, additional info = the move folder): the move folder is
// the folder the entry is in, and a move onto itself would first delete the entry.
inline constexpr const char* kMoveToIsTheFolder = "MoveTo is the folder itself!";
// The source folder could not be read completely (or is gone): nothing that seems to
// exist only in the backup can be told apart from what was merely unreadable.
inline constexpr const char* kBakSourceUnreadable = "BAK: Source folder not fully read";
} // namespace DecisionText
