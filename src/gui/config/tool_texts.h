#pragma once

// The texts of the tool dialogs: the folder backup dialog in its three modes and the
// backup state window (captions of fixed controls are in the .ui files).

namespace ToolText {
// Folder backup dialog.
inline constexpr const char* kDeletedSetting = "( 削除 )";
inline constexpr const char* kSettingArrow = " --> ";
inline constexpr const char* kBackupTitle = "指定フォルダをバックアップ";
inline constexpr const char* kBackupText =
    "左のリストから対象を選んで下さい. (クリック又はスペースキーで複数選択可)\n"
    "これらのバックアップをファイル設定で設定された条件に従って行います.";
inline constexpr const char* kGenerationsTitle = "世代バックアップファイルを削除";
inline constexpr const char* kGenerationsText =
    "左のリストから対象を選んで下さい. (複数選択可)\n"
    "バックアップ先にある全ての世代ファイルを削除（可能なものはごみ箱へ移動）します.";
inline constexpr const char* kGenerationsOk = "削除";
inline constexpr const char* kStateTitle = "選択フォルダのバックアップ状態";
inline constexpr const char* kStateText =
    "左のリストから対象を選んで下さい.\n選択フォルダのバックアップ状態を表示します.";
inline constexpr const char* kEnterInteger = "Please enter an integer.";

// Backup state window.
inline constexpr const char* kStateWindowTitle = "バックアップ状態";
inline constexpr const char* kTitleSeparator = " - ";
inline constexpr const char* kTitleDestination = " : ";
inline constexpr const char* kChooseSource = "バックアップ元を選択してください";
inline constexpr const char* kColumnState = "状態";
inline constexpr const char* kColumnName = "名前";
inline constexpr const char* kColumnSize = "サイズ";
inline constexpr const char* kColumnType = "種類";
inline constexpr const char* kColumnModified = "更新日時";
inline constexpr const char* kColumnInfo = "追加情報";
inline constexpr const char* kStateEqual = "バックアップ済";
inline constexpr const char* kStateChanged = "変更あり";
inline constexpr const char* kStateNew = "未バックアップ";
inline constexpr const char* kStateBackupOnly = "バックアップのみ";
inline constexpr const char* kStateExcluded = "対象外";
inline constexpr const char* kFolderType = "フォルダ";
inline constexpr const char* kLinkType = "リンク";
inline constexpr const char* kDifferenceFormat = "相違 %s";
inline constexpr const char* kBackupNewer = "バックアップの方が新しい";
inline constexpr const char* kGenerationsFormat = "世代 %d (最新 %s)";
inline constexpr const char* kInfoSeparator = ", ";
inline constexpr const char* kDateTimeFormat = "yyyy/MM/dd HH:mm:ss";
inline constexpr const char* kReady = "Ready";
inline constexpr const char* kScanningFormat = "確認中... %ld 項目 %s";
inline constexpr const char* kCountsFormat = "  %s %d, %s %d, %s %d, %s %d, %s %d";
inline constexpr const char* kSourceUnreadableFormat = "バックアップ元を読めません: %s";
} // namespace ToolText
