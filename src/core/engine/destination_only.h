#pragma once

// Entries of a destination folder that no longer exist in the source folder being
// walked, and the file setting's old-file action for them (OldDel, OldMove).

class CBackupProcessor;

// Old-file actions (OldDel).
namespace OldFileAction {
inline constexpr int kIgnore = 0;
inline constexpr int kWarn = 1;
inline constexpr int kDelete = 2;
inline constexpr int kMove = 3;
inline constexpr int kRecycle = 4;
inline constexpr int kCopyBack = 5;
} // namespace OldFileAction

// Applies the old-file action to every destination-only entry of the processor's current
// destination folder. An entry counts as destination-only when nothing of its name exists
// in the current source folder, it passes the include and exclude lists, it is no
// excluded folder, no generation file and no temporary file of a copy. Symbolic links
// are entries of their own, never followed. While the source folder could not be read
// completely, nothing is touched. False when an unexpected error or an abort request
// ended it, else true.
bool HandleDestinationOnlyFiles(CBackupProcessor& processor);
