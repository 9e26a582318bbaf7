#pragma once

// The backup state of one file setting, read without changing anything: every file of
// the source and of its backup, judged by the pass's own selection (include and exclude
// lists, folder excludes, subfolders, age window, the program's own folders and files)
// and the pass's own comparison, with the generation copies the backup holds for it.
// The scan runs in steps of a given number of entries, so that a window can show a large
// tree as it is read and stay responsive meanwhile.

#include <cstddef>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

class CApplicationCore;
struct CFileSetting;

enum class EFileBackupState
{
    Equal,      // backed up, and the backup is what the source is
    Changed,    // the source differs from its backup (the pass would update it)
    New,        // not backed up yet
    BackupOnly, // only in the backup
    Excluded,   // the pass leaves it out (patterns, folder excludes, age window)
};

struct CBackupStateRow
{
    EFileBackupState state = EFileBackupState::Equal;
    // Below the source folder, "/"-separated; a folder's name ends with "/".
    std::string name;
    bool isFolder = false;
    bool isLink = false;
    // Bytes (-1 for a folder) and last-write time of the source, or of the backup for
    // what only the backup holds.
    long long size = -1;
    std::time_t modified = 0;
    // For a changed file: what differs (the pass's letters) and whether the backup is
    // the newer one.
    std::string letters;
    bool backupNewer = false;
    // Generation copies of the file in the backup, and the last-write time of the newest.
    int generations = 0;
    std::time_t newestGeneration = 0;
    // Full paths; empty where there is none.
    std::string sourcePath;
    std::string backupPath;
};

class CBackupStateScan
{
public:
    // Takes the setting's rules now; nothing is read before the first step.
    CBackupStateScan(CApplicationCore& core, const CFileSetting& setting);
    ~CBackupStateScan();
    CBackupStateScan(const CBackupStateScan&) = delete;
    CBackupStateScan& operator=(const CBackupStateScan&) = delete;

    // Looks at up to budget entries and appends their rows; false once the scan is done.
    bool Step(std::size_t budget, std::vector<CBackupStateRow>& rows);
    bool Finished() const;
    // 0, or the error that kept the source folder itself from being read.
    int SourceError() const;
    // The folder being read (the source folder of the next rows).
    std::string CurrentFolder() const;
    long FoldersRead() const;
    long EntriesSeen() const;
    const std::string& DestinationRoot() const;

private:
    struct CState;
    std::unique_ptr<CState> m_state;
};

// Runs a scan to its end.
std::vector<CBackupStateRow> ScanBackupState(CApplicationCore& core, const CFileSetting& setting);
