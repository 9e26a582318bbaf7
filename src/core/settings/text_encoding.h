#pragma once

// Conversions between UTF-8, the text form of the core, and code page 932, the encoding
// of settings files written by the original Windows program.

#include <string>
#include <string_view>

// Strict check: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// Bytes that are not valid code page 932 become U+FFFD.
std::string Cp932ToUtf8(std::string_view bytes);

// Characters that code page 932 cannot hold, and bytes that are not valid UTF-8,
// become "?".
std::string Utf8ToCp932(std::string_view text);

// Replaces every byte that is not part of a valid UTF-8 sequence with "?".
std::string SanitizeUtf8(std::string_view text);
