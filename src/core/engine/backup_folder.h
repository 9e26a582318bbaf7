#pragma once

// The backup of one plain (not compressed) file setting: the checks in front of the
// processor's walk, then the walk.

#include <functional>
#include <string>

class CBackupProcessor;

// Shows the backup state of source against destinationRoot (the backup-state mode).
using CBackupStateHandler =
    std::function<void(const std::string& source, const std::string& destinationRoot)>;

// Waits for watched applications, makes sure of the destination (asking whether to
// create a missing one, unless nbc is on) and walks source. Returns the processor's copy
// counter after a walk, 0 in backup-state mode (after showBackupState), or -1 when the
// setting was not backed up: stopped for a watched application, destination refused,
// abort requested, source missing (reported), or the walk could not start.
int BackupFolder(CBackupProcessor& processor, const std::string& source, bool recurse,
                 const CBackupStateHandler& showBackupState = {});
