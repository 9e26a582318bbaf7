#pragma once

#include <string>

// Renames from to to, failing with EEXIST instead of replacing an existing to. Where the
// file system cannot do that in one step, a hard link plus unlink keeps the guarantee;
// only where neither exists does it fall back to a check before a plain rename.
// Returns 0 or the errno value of the failing call.
int RenameNoReplace(const std::string& from, const std::string& to);
