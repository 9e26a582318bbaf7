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

namespace ConfigText {
inline constexpr const char* kFileTitlePrefix = "ファイル設定 - ";
inline constexpr const char* kDeletedSource = "( 削除 )";
inline constexpr const char* kSampleCaptionPrefix = "設定見本 ";
inline constexpr const char* kAddQuestionFormat = "'%s' の設定内容をもとに,\n新しい設定を追加します.よろしいですか?";
inline constexpr const char* kDeleteQuestionFormat = "'%s' の設定内容を削除します.よろしいですか?";
inline constexpr const char* kNeedOneSetting = "１つ以上のファイル設定が必要です.";
inline constexpr const char* kTooManySettingsFormat = "ファイル設定は %d 個までです.これ以上追加できません.";
inline constexpr const char* kDiscardQuestion = "変更がありましたが,本当に破棄してもよろしいですか?";
inline constexpr const char* kMoveTargetProposal = "%temp%";
inline constexpr const char* kArchiveNameForRoot = "Backup";
} // namespace ConfigText
