#pragma once

// Every text the settings layer shows: loading, copying and writing the settings file.

namespace SettingsText {
inline constexpr const char* kCopyFailedFormat = "'%s' を '%s' へコピーできませんでした";
inline constexpr const char* kOldSettingsFound =
    "古い版の標準設定ファイル (Tovix.INI) を検出しました.\nその設定を使いますか?";
inline constexpr const char* kNoFileSettingsFormat =
    "設定ファイル '%s' にファイル設定がありません. 起動を中止します.";
inline constexpr const char* kCannotReadFormat = "設定ファイル '%s' を読み込めません (%s). 起動を中止します.";
inline constexpr const char* kNotRegularFile = "通常のファイルではありません";
inline constexpr const char* kTooManySettingsFormat =
    "ファイル設定が %d 件あります. 最初の %d 件だけを読み込みました";
inline constexpr const char* kWriteFailed = "設定ファイルに書き込めませんでした";
} // namespace SettingsText
