#pragma once

// Message kinds: the number is also the icon index in the lists; the letter is what the
// log file records.
namespace MessageKind {
inline constexpr int kFile = 0;
inline constexpr int kWarning = 1;
inline constexpr int kError = 2;
inline constexpr int kInfo = 3;
inline constexpr int kDetail = 4;
inline constexpr int kDebug = 5;
inline constexpr int kTest = 6;
}  // namespace MessageKind
