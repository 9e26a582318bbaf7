#pragma once

// Captions of the report and error lists and of their commands.

namespace ListText {
inline constexpr const char* kHeaderKindTimeDate = "種類 時刻 日付";
inline constexpr const char* kHeaderMessage = "メッセージ";
inline constexpr const char* kHeaderSource = "ソースファイル／フォルダ";
inline constexpr const char* kHeaderDestination = "バックアップ先ファイル／フォルダ";
inline constexpr const char* kHeaderInfo = "追加情報";
inline constexpr const char* kReportLabel = "レポート (&R)";
inline constexpr const char* kErrorLabel = "エラー／警告 (&E)";
inline constexpr const char* kPropertiesCommand = "選択ファイルのプロパティ(&R)...\tCtrl+R";
inline constexpr const char* kClearErrorsCommand = "エラー/警告表示内容を全て消去(&E)...";
inline constexpr const char* kReportSection = "RptVw";
inline constexpr const char* kErrorSection = "ErrVw";
} // namespace ListText

namespace ListId {
inline constexpr int kReportLabel = 1006;
inline constexpr int kErrorLabel = 1007;
inline constexpr int kErrorList = 1035;
inline constexpr int kReportList = 1036;
inline constexpr int kPropertiesCommand = 32795;
inline constexpr int kClearErrorsCommand = 32797;
} // namespace ListId
