#pragma once

// Texts of the main frame: menu items (with their mnemonics and accelerator hints), the
// status-bar prompts and tooltips, and the frame's own messages. The state messages and
// the texts of the commands' effects are the application layer's (app/app_texts.h).

namespace FrameText {
// Popups of the menu bar and the two items that stand in the bar itself.
inline constexpr const char* kBackupMenu = "バックアップ(&B)";
inline constexpr const char* kViewMenu = "表示(&V)";
inline constexpr const char* kHelpMenu = "ヘルプ(&H)";
inline constexpr const char* kAbortTopLevel = "中断(&A)!";
inline constexpr const char* kPauseTopLevel = "一時停止(&P)!";

inline constexpr const char* kGeneralSettings = "一般設定(&G)...\tCtrl+G";
inline constexpr const char* kFileSettings = "ファイル設定(&F)...\tCtrl+F";
inline constexpr const char* kEditSettingsFile = "設定ファイル編集(&E)...";
inline constexpr const char* kBackUpChosen = "指定フォルダをバックアップ(&B)...\tCtrl+B";
inline constexpr const char* kDeleteGenerations = "世代バックアップファイルを削除(&D)...\tCtrl+D";
inline constexpr const char* kAbort = "バックアップ中止(&A)\tCtrl+A";
inline constexpr const char* kPause = "バックアップ一時停止(&P)\tCtrl+P";
inline constexpr const char* kHold = "バックアップ保留(&H)\tCtrl+H";
inline constexpr const char* kDisable = "バックアップ禁止(&O)\tCtrl+O";
inline constexpr const char* kNewSettings = "設定の新規作成(&N)...";
inline constexpr const char* kOpenSettings = "別の設定を開く(&O)...";
inline constexpr const char* kSaveSettingsAs = "名前を付けて設定を保存(&S)...";
inline constexpr const char* kRestart = "Tovixの再起動(&R)";
inline constexpr const char* kExit = "終了(&X)";
inline constexpr const char* kToolBar = "ツールバー(&T)";
inline constexpr const char* kStatusBar = "ステータスバー(&S)";
inline constexpr const char* kFont = "フォント(&F)...\tCtrl+N";
inline constexpr const char* kNoOutput = "すべての表示をしない(&D)";
inline constexpr const char* kAutoScroll = "自動スクロール(&A)\tCtrl+S";
inline constexpr const char* kManual = "取扱説明(&U)\tF1";
inline constexpr const char* kAbout = "バージョン情報(&A)...";
inline constexpr const char* kBackupState = "Selected Folder's Backup State";

// Status-bar prompts: the prompt, then after "\n" the tooltip.
inline constexpr const char* kPromptGeneralSettings = "Change the general settings\nGeneral Settings";
inline constexpr const char* kPromptFileSettings =
    "Change the backup folders and their settings\nFile Settings";
inline constexpr const char* kPromptEditSettingsFile = "Edit the settings file as text\nEdit Settings File";
inline constexpr const char* kPromptBackUpChosen = "Back up the chosen folders now\nBack Up Folders";
inline constexpr const char* kPromptDeleteGenerations = "Delete generation backup files\nDelete Generations";
inline constexpr const char* kPromptAbort = "Abort the running backup\nAbort Backup";
inline constexpr const char* kPromptPause = "Pause the running backup\nPause Backup";
inline constexpr const char* kPromptHold = "Hold Backup\nHold Backup";
inline constexpr const char* kPromptDisable = "Disable Backup\nDisable Backup";
inline constexpr const char* kPromptNewSettings = "Make a new settings file from the template\nNew Settings";
inline constexpr const char* kPromptOpenSettings = "Switch to another settings file\nOpen Settings";
inline constexpr const char* kPromptSaveSettingsAs = "Save the settings under a new name\nSave Settings As";
inline constexpr const char* kPromptRestart = "Restart the monitoring with the settings file\nRestart";
inline constexpr const char* kPromptExit = "Quit the application\nExit";
inline constexpr const char* kPromptToolBar = "Show or hide the toolbar\nToggle ToolBar";
inline constexpr const char* kPromptStatusBar = "Show or hide the status bar\nToggle StatusBar";
inline constexpr const char* kPromptProperties = "Properties of the selected file\nProperties";
inline constexpr const char* kPromptFont = "Change the font of the lists\nFont";
inline constexpr const char* kPromptNoOutput = "No message output";
inline constexpr const char* kPromptClearErrors = "Clear the error and warning list\nClear Errors";
inline constexpr const char* kPromptAutoScroll = "Scroll new rows into view\nAuto Scroll";
inline constexpr const char* kPromptManual = "Open the user manual\nHelp";
inline constexpr const char* kPromptAbout = "Display program information and version\nAbout";
inline constexpr const char* kPromptBackupState = "Selected Folder's Backup State";
// The message pane when no prompt is shown.
inline constexpr const char* kIdleMessage = "Ready";

// Dropped files.
inline constexpr const char* kDropQuestionFormat = "'%s' を\n'%s'\nへコピーします. よろしいですか?";
inline constexpr const char* kManualCopyPrefix = "マニュアル";

// A configuration dialog that this version does not have yet.
inline constexpr const char* kNotAvailableFormat = "%s は準備中です.";

inline constexpr const char* kAboutTitle = "バージョン情報";
// Application name, then the version text the welcome message shows.
inline constexpr const char* kAboutFormat = "%s\n%s%s";

// The tray tip's capacity, in characters.
inline constexpr int kTrayTipLimit = 63;
inline constexpr const char* kTrayTipSeparator = " - ";
} // namespace FrameText

namespace FrameText {
// The pause window's button.
inline constexpr const char* kContinue = " 続行 ";
} // namespace FrameText
