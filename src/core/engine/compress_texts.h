#pragma once

// Texts of the compressed backup, as the program shows and logs them.

namespace CompressText {
inline constexpr const char* kCompressingFormat = "圧縮処理中 (%s)";
inline constexpr const char* kCompressedBackup = "圧縮バックアップ";
inline constexpr const char* kLibraryResultFormat = ", Err=%d";
inline constexpr const char* kExitCodeFormat = ", Exit=%ld";
inline constexpr const char* kCannotStartFormat = "%s %s\nを起動できませんでした";

// Shown in place of the archive password wherever the command is reported.
inline constexpr const char* kPasswordMask = "****";
// The command interpreter that appends an archiver's output to its log file.
inline constexpr const char* kInterpreterPrefix = "/bin/sh -c ";
inline constexpr const char* kLogRedirection = " >>";

inline constexpr const char* kLhaExtension = ".LZH";
inline constexpr const char* kRarExtension = ".RAR";
inline constexpr const char* kZipExtension = ".ZIP";
} // namespace CompressText
