#pragma once

// The backup-pass processor: one file setting's rules carried through a walk of its
// source folder. The pass driver fills the rules before each walk (LoadRules); the walk
// keeps the current source, destination, new-file and generation folders up to date.

#include <string>
#include <sys/types.h>
#include <unordered_set>

#include "engine/folder_walker.h"
#include "engine/pattern.h"

struct CFileSetting;

namespace ProcessorMode {
inline constexpr int kBackup = 0;
inline constexpr int kDeleteGenerations = 1;
inline constexpr int kBackupState = 2; // the walk is handed over to the backup state dialog
} // namespace ProcessorMode

namespace ProcessorText {
// Debug notes of the walk: a folder reached (source = the folder, destination = its
// path below the top) and a folder left out by DirExc (source = its name).
inline constexpr const char* kOnDir = "OnDir";
inline constexpr const char* kExcDir = "ExcDir";
// Error: the destination folder was unmounted, removed or replaced while the walk ran
// (destination = the destination folder); the walk stops writing there.
inline constexpr const char* kDestinationLost = "Destination folder lost during the backup";
// Warning: a folder of the backup could not be given its source folder's last-write
// time and permissions (source = the source folder, destination = its backup).
inline constexpr const char* kFolderTimeNotSet = "Folder time and permissions not set";
} // namespace ProcessorText

class CBackupProcessor : public CFolderWalker
{
public:
    explicit CBackupProcessor(CApplicationCore& core);

    // Starts the walk with the processor's own folders protected from being walked into.
    int Walk(const std::string& folderPath, bool recurse) override;
    bool EnterFolder(const std::string& relativePath) override;
    // False once an abort has been requested.
    bool KeepScanning() override;
    // The per-file decision: skips, copies, updates or applies the newer-backup action.
    int ProcessFile(const std::string& fileName) override;
    // The old-file action for what exists only in the current destination folder
    // (HandleDestinationOnlyFiles); 1 when all entries were seen, else 0.
    int AfterFiles() override;
    // Gives the folder's backup the source folder's last-write time and permissions.
    void LeaveFolder() override;

    // Copies one file (a new backup, or a backup back to its source), counting the
    // attempt. False in test mode and with the abort keys held, where nothing changes.
    // Without replaceExisting an existing target is never overwritten.
    bool CopyBackupFile(const std::string& from, const std::string& to, bool replaceExisting = true);

    // Fills every rule from one file setting and the general settings (not the mode, the
    // test mode, the content-compare flag or the generations to keep, which belong to a
    // single run started from a dialog).
    void LoadRules(const CFileSetting& setting);

    // The include and exclude lists select the name (a path part is ignored).
    bool MatchesFileFilter(const std::string& fileName) const;
    // A folder-exclude pattern matches the folder's own name.
    bool IsExcludedFolder(const std::string& folderName) const;
    // A newer-backup pattern matches the file's full source path.
    bool MatchesNewerBackupList(const std::string& sourcePath) const;

    // Test mode, or the abort keys held right now: nothing may be changed.
    bool IsDryRun() const;

    CApplicationCore& Core() { return m_core; }
    // The destination folder went away or was replaced during the last walk.
    bool DestinationLost() const { return m_destinationLost; }

    // Current source folder without its final "/" (set by EnterFolder).
    std::string m_sourceFolder;
    // Own destination, else the general destination; the file system root is held as "".
    std::string m_destinationRoot;
    std::string m_destinationFolder;
    CPatternList m_includeList;
    CPatternList m_excludeList;
    CPatternList m_folderExcludeList;
    CPatternList m_newerBackupList;
    CPatternList m_watchedApplications;
    int m_generationCount = 0;
    int m_sameDate = 0;
    int m_mode = ProcessorMode::kBackup;
    int m_newerBackupAction = 0;
    std::string m_newerBackupMoveFolder;
    int m_oldFileAction = 0;
    std::string m_oldFileMoveFolder;
    int m_ownDestination = 0;
    int m_nearTimeSeconds = 0;
    // Every copy, move, delete or recycle attempt; read as the number of files processed.
    long m_copyCounter = 0;
    long m_daysFrom = -1;
    long m_daysTo = -1;
    int m_contentCompare = 0;
    int m_archiveMode = 0;
    long m_bigFileLimitMb = 0;
    int m_testMode = 0;
    std::string m_newFileRoot;
    std::string m_newFileFolder;
    std::string m_generationRoot;
    std::string m_generationFolder;
    int m_generationsToKeep = 0;

private:
    // False, reported once, when the destination folder is no longer the one the walk
    // started with: an unmounted file system leaves its bare mount point folder behind,
    // which must not receive the backup.
    bool DestinationStillThere();
    // False when a link stands where the backup of a folder belongs (the backup of a link
    // that is a folder in the source now) and cannot be replaced: nothing may be written
    // through it.
    bool ReplaceLinkByFolder(const std::string& relativePath);
    // Clears the temporary copies a killed run left in a folder the walk writes to.
    void RemoveStaleCopiesOnce(const std::string& folder);

    // Folders already cleared: only a run that ended before this one can have left
    // temporary copies, so each folder is looked at once per run.
    std::unordered_set<std::string> m_clearedFolders;
    bool m_destinationKnown = false;
    bool m_destinationLost = false;
    dev_t m_destinationDevice = 0;
    ino_t m_destinationInode = 0;
};
