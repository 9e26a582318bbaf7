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
} // namespace ToolText
