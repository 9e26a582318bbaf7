#pragma once

// The texts that reporting itself adds to messages: list prefixes, the log rotation
// notice and the answer words of the timed questions.

namespace ReportText {
// Put in front of warnings and errors in the lists and in the log file.
inline constexpr const char* kWarningPrefix = "警告: ";
inline constexpr const char* kErrorPrefix = "エラー: ";

// Joins message, source, destination and additional info in the status bar.
inline constexpr const char* kStatusSeparator = ", ";

// The log file keeps one previous generation under its own name plus this suffix.
inline constexpr const char* kOldLogSuffix = ".OLD";
inline constexpr const char* kLogRotatedNotice = "ログファイルのサイズが最大値を超えたので新規作成しました";

// Answer words of AskUser: the prefix, then the word of the answer code (or the code).
inline constexpr const char* kAnswerPrefix = "Dialog:";
inline constexpr const char* kAnswerTimeout = "Timeout";
inline constexpr const char* kAnswerOk = "OK";
inline constexpr const char* kAnswerCancel = "Cancel";
inline constexpr const char* kAnswerAbort = "Abort";
inline constexpr const char* kAnswerRetry = "Retry";
inline constexpr const char* kAnswerIgnore = "Ignore";
inline constexpr const char* kAnswerYes = "Yes";
inline constexpr const char* kAnswerNo = "No";
inline constexpr const char* kAnswerSeparator = ", ";
} // namespace ReportText
