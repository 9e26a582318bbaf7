#pragma once

// Every text the engine shows or logs, in one place: the scheduler and the pass driver
// first, then each part of the pass.

namespace EngineText {
inline constexpr const char* kWelcome = "Welcome to Vesk Realtime Backup";
inline constexpr const char* kVersionPrefix = "Version ";
inline constexpr const char* kStartupProgress = "Wait a moment...";
inline constexpr const char* kSetting = "設定";
inline constexpr const char* kDetailsSeparator = ", ";
inline constexpr const char* kNetworkIgnored = "/xn";
inline constexpr const char* kNotBackedUp = "バックアップしない";
inline constexpr const char* kEveryMinutesFormat = "%d分周期";
inline constexpr const char* kNoRealTimeDetection = "リアルタイムなファイル検出しない";
inline constexpr const char* kFolderNotFound = "フォルダが見つかりません ";
inline constexpr const char* kTryingToConnect = "Trying to connect";
inline constexpr const char* kDetectionImpossible = "リアルタイム検出不可能です";
inline constexpr const char* kIncludeFormat = "包含=%s ";
inline constexpr const char* kExcludeFormat = "除外=%s ";
inline constexpr const char* kExcludeFoldersFormat = "除外フォルダ=%s ";
inline constexpr const char* kDestination = "バックアップ先";
inline constexpr const char* kNoDestination =
    "バックアップ先の設定がされていません. 基本的なバックアップ環境設定のために, "
    "まず「バックアップ」メニューの中にある「一般設定」と「ファイル設定」を行ってください.";
inline constexpr const char* kStateDisabled = "バックアップ処理は禁止中です";
inline constexpr const char* kStateHold = "バックアップ処理は保留中です";
inline constexpr const char* kStateReady = "バックアップ処理可能な状態です";
inline constexpr const char* kChangeDetected = "フォルダ内の変化を検出しました";
inline constexpr const char* kEnding = "終了中...";
inline constexpr const char* kPostponedLongEnoughFormat =
    "Changes kept coming for %d s: the backup is not postponed any longer";

inline constexpr const char* kBackupStart = "バックアップ開始";
inline constexpr const char* kDeleteGenerations = "世代バックアップファイルを削除";
inline constexpr const char* kContentCompare = "内容比較";
inline constexpr const char* kPeriodicPrefix = "周期指定";
inline constexpr const char* kAfterProgram = "外部プログラム実行";
inline constexpr const char* kFilesProcessedFormat = "処理ファイル数 %d";
inline constexpr const char* kDone = "完了";
inline constexpr const char* kBackUpChosenFolders = "指定フォルダをバックアップ";

// ---- The per-file decision and the destination-only handling

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

// ---- File operations, comparisons and network shares

inline constexpr const char* kFolderCreated = "フォルダ作成";

inline constexpr const char* kComparePrefix = "Compare - ";
inline constexpr const char* kCantOpenSource = "Can't open source file";
inline constexpr const char* kCantOpenBackup = "Can't open backup file";
// A read error in the middle of a comparison is no difference of contents.
inline constexpr const char* kCantReadSource = "Can't read source file";
inline constexpr const char* kCantReadBackup = "Can't read backup file";
inline constexpr const char* kSkipDifferentPrefix = "Skip (different ";
inline constexpr const char* kSkipDifferentSuffix = ")";
inline constexpr const char* kDifferenceSize = "size,";
inline constexpr const char* kDifferenceTime = "time,";
inline constexpr const char* kDifferenceAttributes = "attr,";
inline constexpr const char* kDifferentContents = "Different contents";
inline constexpr const char* kCompareOk = "OK";

inline constexpr const char* kUnexpectedErrorFormat = "予期せぬエラーを検出 ($%lX)";

// The caption of the password question.
inline constexpr const char* kCredentialTitle = "パスワードの入力";
inline constexpr const char* kCredentialPromptFormat =
    "%s\nへアクセスするユーザ名とパスワードを指定してください";
inline constexpr const char* kNoShareMounter = "ConnectNetworkShare: no mount helper (gio) on PATH";
inline constexpr const char* kShareMountFailedFormat = "ConnectNetworkShare: %s";

// ---- Compressed backups

inline constexpr const char* kCompressingFormat = "圧縮処理中 (%s)";
inline constexpr const char* kCompressedBackup = "圧縮バックアップ";
inline constexpr const char* kLibraryResultFormat = ", Err=%d";
inline constexpr const char* kExitCodeFormat = ", Exit=%ld";
inline constexpr const char* kCannotStartFormat = "%s %s\nを起動できませんでした";

// Shown in place of the archive password wherever the command is reported.
inline constexpr const char* kPasswordMask = "****";
// The command interpreter that appends an archiver's output to its log file.
inline constexpr const char* kInterpreterPrefix = "/bin/sh -c ";
inline constexpr const char* kLogRedirection = " >>";

inline constexpr const char* kLhaExtension = ".LZH";
inline constexpr const char* kRarExtension = ".RAR";
inline constexpr const char* kZipExtension = ".ZIP";

// ---- Generation files

inline constexpr const char* kGenerationBackup = "世代バックアップ";
inline constexpr const char* kDeletedToRecycleBin = "削除(ごみ箱)";
inline constexpr const char* kSkipped = "Skipped...";

// ---- The checks in front of a walk

inline constexpr const char* kDestinationQuestionFormat = "%s\n..%s\n%s\n\n%s";
inline constexpr const char* kDestinationMissing = "バックアップ先が存在しません";
inline constexpr const char* kCreateFolderQuestion = "フォルダを作成して処理継続しますか?";

// ---- The walk of the backup-pass processor

// Debug notes of the walk: a folder reached (source = the folder, destination = its
// path below the top) and a folder left out by DirExc (source = its name).
inline constexpr const char* kOnDir = "OnDir";
inline constexpr const char* kExcDir = "ExcDir";
// Error: the destination folder was unmounted, removed or replaced while the walk ran
// (destination = the destination folder); the walk stops writing there.
inline constexpr const char* kDestinationLost = "Destination folder lost during the backup";
// Warning: a folder of the backup could not be given its source folder's last-write
// time and permissions (source = the source folder, destination = its backup).
inline constexpr const char* kFolderTimeNotSet = "Folder time and permissions not set";
// Warning (destination = the top of the tree): the file system keeps no extended
// attributes, so archive mode cannot record what was backed up there.
inline constexpr const char* kArchiveStateNotKept = "Archive mode cannot work here: no extended attributes";

// ---- Entries the walk passes over

// Debug notes for entries the walk passes over (source = the entry's full path).
inline constexpr const char* kSkipSpecialFile = "Skip special file";
inline constexpr const char* kSkipBackupFolder = "Skip backup folder";
// Debug note after a setting's walk (source = the source folder): the whole tree, or only
// the folders where changes were seen, and how many folders' entries were looked at.
inline constexpr const char* kFullWalkFormat = "Full walk: %lu folders";
inline constexpr const char* kChangedFoldersWalkFormat = "Walk of changed folders: %lu folders";

// ---- Folders that must never be backed up into or through

// Errors (source = the source folder, destination = the configured folder, additional
// info = its setting key): the folder is the source itself, or holds it.
inline constexpr const char* kFolderIsSource = "バックアップ先がバックアップ元のフォルダそのものになります";
inline constexpr const char* kFolderHoldsSource = "バックアップ先がバックアップ元のフォルダを含んでいます";
// Errors: the folder's file system is not mounted (a configured mount point that is not
// mounted, or an empty folder on another device than at the last good pass).
inline constexpr const char* kSourceNotMounted = "バックアップ元のドライブがマウントされていません";
inline constexpr const char* kDestinationNotMounted = "バックアップ先のドライブがマウントされていません";
// Warning (source = the source folder, destination = its backup folder): an empty source
// beside a filled backup looks exactly like an unmounted drive.
inline constexpr const char* kEmptySourceKeepsBackup =
    "バックアップ元のフォルダが空です. バックアップ先にのみ存在するファイルは処理しません";
// Error (destination = the link): a symbolic link where the backup tree needs a folder.
inline constexpr const char* kLinkInBackupTree = "バックアップ先のフォルダがリンクです";
// Detail (destination = the folder): a link stood where the source has a folder.
inline constexpr const char* kLinkReplacedByFolder = "リンクをフォルダに置き換え";

// ---- Pause conditions

inline constexpr const char* kBatteryQuestion =
    "バッテリ動作中です.\n余計な電力消費削減の為、バックアップ処理を保留しますか?";
inline constexpr const char* kWatchedApplicationQuestionFormat =
    "以下のアプリケーションの実行を検出しました.\n%s\nバックアップ続行しますか?";

// ---- Settings out of their range

inline constexpr const char* kOutOfRangeFormat = "設定値が範囲外です: %s=%d (%d～%d)";
inline constexpr const char* kUsedInsteadFormat = "%d を使います";

// ---- The destination drive check

inline constexpr const char* kFreeSpaceFormat = "空き容量 %ld MB";
inline constexpr const char* kFreeSpaceUnknown = "空き容量 ??? MB";
inline constexpr const char* kVolumeFormat = "%s [%s]";
inline constexpr const char* kUnknownName = "???";
inline constexpr const char* kLowSpaceWarningFormat =
    "バックアップ先ドライブ (%s) の空き容量 %d MB です. 次回の警告は %d MB です.";
// Debug note naming the free-space query (source = the drive root).
inline constexpr const char* kFreeSpaceQuery = "statvfs";
}  // namespace EngineText
