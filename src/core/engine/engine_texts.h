#pragma once

// Texts of the scheduler and the pass driver.

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
}  // namespace EngineText
