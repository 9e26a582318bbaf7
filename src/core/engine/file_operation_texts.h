#pragma once

// Texts of the file operations layer, as the program shows and logs them.

namespace FileOperationText {
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
} // namespace FileOperationText
