#pragma once

// Small formatting helpers shared by everything that reports.

#include <string>

// printf-style formatting into a new string, without any length limit.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Returns the last system error of the file layer (GetLastSystemError). With a buffer,
// also writes the system's text for it there (empty for 0); flatten replaces every CR and
// LF in the text by a blank.
int FormatSystemError(std::string* buffer, bool flatten);

// "." + "$" + the error code as eight upper-case hex digits + "-" + the system's text
// for it (CR and LF as blanks), or "" for 0. EACCES -> ".$0000000D-Permission denied".
std::string SystemErrorSuffixOf(int error);

// The suffix of the last system error of the file layer: the additional info of
// file-action messages, empty when the action succeeded.
std::string SystemErrorSuffix();

// The text with every CR and LF replaced by a blank.
std::string FlattenLineBreaks(std::string text);
