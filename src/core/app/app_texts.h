#pragma once

// Texts of the application layer: the state commands, the settings-file commands and
// start-up. Every front end shows these same texts.

namespace AppText {
inline constexpr const char* kStartingProgress = "Starting Vesk Realtime Backup";

inline constexpr const char* kAborted = "バックアップ中断...";
inline constexpr const char* kPaused = "バックアップ一時停止中...";
inline constexpr const char* kDisplayNotice = "表示 ";
inline constexpr const char* kDisplayOff = "OFF";
inline constexpr const char* kDisplayOn = "ON";
inline constexpr const char* kRestart = "Tovix再起動";

inline constexpr const char* kExitQuestion = "終了してもよろしいですか?";
inline constexpr const char* kUseExitCommand =
    "Tovixを終了するには「バックアップ」メニューの「終了」を選択してください.";

// The settings-file chooser and its commands.
inline constexpr const char* kChooserFilter = "Tovix 設定ファイル (*.TVX)";
inline constexpr const char* kChooserAllFiles = "すべてのファイル (*.*)";
inline constexpr const char* kChooserDefaultSuffix = "TVX";
inline constexpr const char* kChooserNewTitle = "新規作成";
inline constexpr const char* kNewSettingsFileName = "New.TVX";
inline constexpr const char* kEditQuestionFormat =
    "設定ファイル (%s) をテキストで編集します.\n"
    "編集後は変更した設定を有効にするため Tovix を再起動して下さい.";
inline constexpr const char* kCannotStartFormat = "%s %s\nを起動できませんでした";
inline constexpr const char* kCannotOpenFormat = "%s が開けませんでした";
inline constexpr const char* kManualFileName = "tovix.htm";

// Offered by the general configuration when logging is switched on without a path.
inline constexpr const char* kDefaultLogFileName = "TovixLog.txt";
} // namespace AppText
