#pragma once

#include <string>

class CApplicationCore;

// Compares a source file with its backup and reports the outcome as
// "Compare - " + text (kinds: can't open source 2, can't open backup 1, different
// size/time/attributes 1 without reading a byte, different contents 2, equal 5).
// Times count in whole seconds; attributes are read-only and hidden. Files are compared
// in blocks of 10000 bytes with a pacing step before each block. Symbolic links compare
// by their targets' texts. Never changes a file. True when both are equal.
bool CompareFileContents(CApplicationCore& core, const std::string& source, const std::string& backup);

inline constexpr std::size_t kCompareBlockBytes = 10000;
