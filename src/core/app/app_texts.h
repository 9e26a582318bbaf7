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
// Power-management events in the report list.
inline constexpr const char* kPowerEventPrefix = "APM Event - ";
inline constexpr const char* kPowerQuerySuspend = "Request for permission to suspend";
inline constexpr const char* kPowerQuerySuspendFailed = "Suspension request denied";
inline constexpr const char* kPowerSuspend = "System is suspending operation";
inline constexpr const char* kPowerResumeCritical = "Operation resuming after critical suspension";
inline constexpr const char* kPowerResumeSuspend = "Operation resuming after suspension";
inline constexpr const char* kPowerBatteryLow = "Battery power is low";
inline constexpr const char* kPowerStatusChange = "Power status has changed";
inline constexpr const char* kPowerOemEvent = "OEM-defined event";
inline constexpr const char* kPowerResumeAutomatic = "Operation resuming automatically after event";
inline constexpr const char* kPowerUnknownEvent = "???";
inline constexpr const char* kPowerStatusFormat =
    "AC=%s, BatteryLife=%d%%, Flag=%d, LifeTime=%d, FullLifeTime=%d";
inline constexpr const char* kPowerAcOff = "Off";
inline constexpr const char* kPowerAcOn = "On";
inline constexpr const char* kPowerAcUnknown = "?";
inline constexpr const char* kPowerOemDataFormat = "lParam=%lX";
} // namespace AppText
