#pragma once

// The texts of the configuration dialogs and their pickers (captions and items are in the
// .ui files).

namespace ConfigText {
inline constexpr const char* kGeneralTitlePrefix = "一般設定 - ";
inline constexpr const char* kPromptFolder = "適当なフォルダを選択してください";
inline constexpr const char* kPromptFile = "適当なファイルを選択してください";
inline constexpr const char* kPromptSoundFile = "適当なサウンドファイル (*.WAV) を選択してください";
inline constexpr const char* kLogFileName = "TovixLog.txt";
inline constexpr const char* kRecycleProposal = "%TEMP%/Recycle2.TVX";
inline constexpr const char* kEnterInteger = "Please enter an integer.";
inline constexpr const char* kEnterPositiveInteger = "Please enter a positive integer.";
inline constexpr const char* kEnterIntegerBetweenFormat = "Please enter an integer between %d and %d.";
inline constexpr const char* kUnableToCreateFont = "Unable to Create Font";
} // namespace ConfigText


namespace ConfigText {
inline constexpr const char* kCompressTitlePrefix = "圧縮詳細設定 - ";
inline constexpr const char* kArchiverLogSuffix = "_LOG.TXT";
inline constexpr const char* kPasswordProposal = "Xyz";
} // namespace ConfigText
