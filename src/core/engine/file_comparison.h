#pragma once

// How the per-file decision tells a source file from its backup, without acting on it:
// the backup pass decides on these results, and the backup state listing shows them.

#include <ctime>
#include <string>

#include "platform/file_status.h"

// Where a source file stands against the setting's age window (DaysFrom, DaysTo in days,
// negative: no bound).
enum class EAgeWindow
{
    Inside,
    TooRecent, // changed less than DaysFrom days ago
    TooOld,    // changed more than DaysTo days ago
};
EAgeWindow CheckAgeWindow(std::time_t sourceTime, std::time_t now, long daysFrom, long daysTo);

// What the source and its existing backup differ in by time, size and attributes (both
// as read without following links; the paths name the entries for the hidden attribute).
struct CFileDifference
{
    // T, S and A in this order, each when that part differs.
    std::string letters;
    // The times differ by one or two seconds only and Ignore2sec lets that pass.
    bool toleratedTime = false;
};
CFileDifference CompareWithBackup(const std::string& sourcePath, const CFileStatus& source,
                                  const std::string& backupPath, const CFileStatus& backup, bool ignore2sec);

// The archive state of a source and its backup (local paths): in archive mode only this
// counts, times, sizes and attributes are not looked at.
struct CArchiveDifference
{
    bool sourceChanged = false;  // the source carries the archive bit
    bool sourceStateKept = true; // the source's file system can record the state
    bool backupStateKept = true; // the backup's file system can record the state
    bool backupChanged = false;  // the backup was changed since it was written
};
CArchiveDifference CompareArchiveState(const std::string& localSource, const std::string& localBackup);
