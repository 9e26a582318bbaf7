#pragma once

// The command ids of the main menu, the toolbar and the accelerators. Each command is a
// QAction whose data() is its id (framework/control_id.h finds it).

namespace CommandId {
inline constexpr int kGeneralSettings = 32780;
inline constexpr int kFileSettings = 32771;
inline constexpr int kEditSettingsFile = 32773;
inline constexpr int kBackUpChosen = 32781;
inline constexpr int kDeleteGenerations = 32782;
inline constexpr int kAbort = 32786;
inline constexpr int kPause = 32774;
inline constexpr int kHold = 32777;
inline constexpr int kDisable = 32778;
inline constexpr int kNewSettings = 32803;
inline constexpr int kOpenSettings = 32805;
inline constexpr int kSaveSettingsAs = 32804;
inline constexpr int kRestart = 32802;
inline constexpr int kExit = 57665;
inline constexpr int kToolBar = 59392;
inline constexpr int kStatusBar = 59393;
inline constexpr int kProperties = 32795;
inline constexpr int kFont = 32787;
inline constexpr int kNoOutput = 32779;
inline constexpr int kClearErrors = 32797;
inline constexpr int kAutoScroll = 32798;
inline constexpr int kManual = 57670;
inline constexpr int kAbout = 57664;
inline constexpr int kBackupState = 32801;
} // namespace CommandId

// The frame's own windows, addressed by tests and screen readers.
namespace FrameControlId {
inline constexpr int kToolBar = 59392;   // the standard toolbar id
inline constexpr int kStatusBar = 59393; // the standard status bar id
inline constexpr int kView = 59648;      // the first pane of the frame
} // namespace FrameControlId

// The tray icon's images by resource id.
namespace TrayIconId {
inline constexpr int kNone = 0;
inline constexpr int kReady = 128;
inline constexpr int kDisabled = 130;
inline constexpr int kHold = 131;
inline constexpr int kProcessing = 132;
} // namespace TrayIconId
