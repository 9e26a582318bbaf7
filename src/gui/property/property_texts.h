#pragma once

// The texts of the file property dialog and of the compare window (captions are in the
// .ui file).

#include "engine/engine_texts.h"

namespace PropertyText {
inline constexpr const char* kSizeFormat = "%1.1lf KB  (%lu Bytes)";
inline constexpr const char* kDateFormat = "%04d/%02d/%02d %02d:%02d:%02d";
inline constexpr const char* kNoTypeName = "???";
inline constexpr const char* kCannotOpen = "関連付けされていないファイルなので開けません";
inline constexpr const char* kDeleteQuestionFormat = "%s\nを削除します。よろしいですか?";
// The file and the system error suffix.
inline constexpr const char* kCannotDeleteFormat = "%s\nを削除できませんでした%s";
// The compare program (or window) and its two paths, each in double quotes.
inline constexpr const char* kCannotStartFormat = EngineText::kCannotStartFormat;
inline constexpr const char* kCompareArgumentsFormat = "\"%s\" \"%s\"";
} // namespace PropertyText

namespace CompareText {
inline constexpr const char* kTitle = "比較";
inline constexpr const char* kSideBySide = "並べて表示(&S)";
inline constexpr const char* kUnified = "まとめて表示(&U)";
inline constexpr const char* kLineHeader = "行";
inline constexpr const char* kLeftHeader = "左";
inline constexpr const char* kRightHeader = "右";
inline constexpr const char* kTextHeader = "内容";
inline constexpr const char* kIdentical = "2つのファイルの内容は同じです.";
// Changed lines, lines only in the left file, lines only in the right one.
inline constexpr const char* kTextSummaryFormat = "%d 行変更, 左だけに %d 行, 右だけに %d 行";
// The first differing line (1-based) of each file.
inline constexpr const char* kTooManyDifferencesFormat =
    "違いが多すぎるので, 最初の違いだけを示します: 左 %d 行目 / 右 %d 行目";
// The first differing offset (decimal and hexadecimal), then both sizes.
inline constexpr const char* kLargeFilesFormat = "ファイルが大きいので, 最初の違いだけを示します: オフセット "
                                                 "%llu (0x%llX)\nサイズ: %llu Bytes / %llu Bytes";
inline constexpr const char* kBinaryDifferenceFormat =
    "バイナリファイルです. 最初の違い: オフセット %llu (0x%llX)\nサイズ: %llu Bytes / %llu Bytes";
inline constexpr const char* kBinaryIdenticalFormat =
    "バイナリファイルです. 内容は同じです.\nサイズ: %llu Bytes / %llu Bytes";
// The file and the system error suffix.
inline constexpr const char* kCannotReadFormat = "%s\nを読めません%s";
// Tools tried before the compare window, in this order.
inline constexpr const char* kDiffTools[] = {"meld", "kompare", "kdiff3"};
} // namespace CompareText
