#pragma once

// Writing a small file (settings, log) so that a failure at any point leaves either the
// old or the new file, never a torn one. Paths are local; links are not resolved here.
// Each call returns 0 or the errno value of the failing call.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Writes contents to a new file beside path (".<name>.XXXXXX") and renames it over path.
// An existing path must be a regular file the user may write (EISDIR for a folder, EINVAL
// for anything else); it keeps its permissions and, where allowed, its owner. A new file
// is readable by the user only. The folder is synced after the rename.
int ReplaceFileContents(const std::string& path, std::string_view contents);

// Copies the regular file from (EINVAL for anything else) over to through a temporary
// file named temporaryPrefix + six random characters in to's folder. to keeps its
// permissions; a new to is readable by the user only.
int CopyFileThroughTemporary(const std::string& from, const std::string& to,
                             std::string_view temporaryPrefix);

// Appends bytes to path, creating it with newFilePermissions when missing; opening never
// waits (a FIFO without a reader fails instead). length: the file's length after the
// write (0 when it cannot be told).
int AppendToFile(const std::string& path, std::string_view bytes, unsigned newFilePermissions,
                 std::int64_t& length);

// Removes what a killed run left behind in folder: regular files named one of prefixes +
// the six random characters of a temporary name ("XXXXXX" above), older than an hour so
// that another running program's temporary is spared. Returns the paths removed.
std::vector<std::string> RemoveLeftoverTemporaries(const std::string& folder,
                                                   const std::vector<std::string>& prefixes);
