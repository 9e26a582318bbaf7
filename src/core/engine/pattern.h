#pragma once

// The wildcard patterns of the file settings (Inc, Exc, DirExc, ForcedInc, StopApp).
//
// The matcher is deliberately simple and users' pattern lists rely on its quirks: a
// literal chunk is always placed at its first occurrence (no backtracking, so "a*a"
// does not match "a"); a chunk ending in "." also matches without that dot ("name.*"
// matches "name"); a lone "." that cannot be found counts as found ("*." and "*.*"
// match names without a dot). Case is ignored; blanks are ordinary characters.

#include <string>
#include <string_view>
#include <vector>

using CPatternList = std::vector<std::string>;

// Fills list from a ";"-separated setting. Pieces are kept byte for byte (blanks
// included); empty pieces are dropped.
void SplitPatternList(CPatternList& list, std::string_view text);

// True when pattern matches the whole of text. "*" matches any run of characters, "?"
// exactly one character (a whole UTF-8 sequence; a byte that is not valid UTF-8 counts as
// one character).
bool MatchPattern(std::string_view pattern, std::string_view text);

// True when any pattern of the list matches text.
bool MatchesAnyPattern(const CPatternList& list, std::string_view text);
