#pragma once

// The backup-pass processor: one file setting's rules carried through a walk of its
// source folder. The pass driver fills the rules before each walk (LoadRules); the walk
// keeps the current source, destination, new-file and generation folders up to date.

#include <cstdint>
#include <map>
#include <string>
#include <unordered_set>

#include "engine/folder_walker.h"
#include "engine/pattern.h"
#include "platform/file_status.h"

struct CFileAction;
struct CFileFacts;
struct CFileRules;
struct CFileSetting;

namespace ProcessorMode {
inline constexpr int kBackup = 0;
inline constexpr int kDeleteGenerations = 1;
inline constexpr int kBackupState = 2; // the walk is handed over to the backup state dialog
} // namespace ProcessorMode

// What one file setting says, with the general settings it depends on (LoadRules).
struct CSettingRules
{
    CPatternList includeList;
    CPatternList excludeList;
    CPatternList folderExcludeList;
    CPatternList newerBackupList;
    CPatternList watchedApplications;
    int generationCount = 0;
    int sameDate = 0;
    int newerBackupAction = 0;
    std::string newerBackupMoveFolder;
    int oldFileAction = 0;
    std::string oldFileMoveFolder;
    // The setting has a destination of its own (BakTo) instead of the general one.
    int ownDestination = 0;
    int nearTimeSeconds = 0;
    // The age window in days; -1 leaves that side open.
    long daysFrom = -1;
    long daysTo = -1;
    int archiveMode = 0;
    long bigFileLimitMb = 0;
};

// What a single run started from a dialog or the driver asks for; between such runs the
// processor makes a plain backup.
struct CRunOptions
{
    int mode = ProcessorMode::kBackup;
    int testMode = 0;
    int contentCompare = 0;
    int generationsToKeep = 0;
    // Set for one walk: destination-only entries are left alone (an empty source beside
    // a filled backup may be a drive that is not mounted).
    bool keepDestinationOnly = false;
};

// Where the walk stands. The roots come with the rules; the folders follow the walk
// (EnterFolder).
struct CWalkPlace
{
    // Current source folder without its final "/".
    std::string sourceFolder;
    // Own destination, else the general destination; the file system root is held as "".
    std::string destinationRoot;
    std::string destinationFolder;
    std::string newFileRoot;
    std::string newFileFolder;
    std::string generationRoot;
    std::string generationFolder;
};

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
    // The same with test mode and the abort keys already looked at by the caller, so that
    // the caller reports what was decided here.
    // targetMissing: the caller has just found no file at to; fromStatus: what the caller
    // has just read of from (lstat), or null.
    bool CopyBackupFile(const std::string& from, const std::string& to, bool replaceExisting, bool dryRun,
                        bool targetMissing = false, const CFileStatus* fromStatus = nullptr);

    // Fills every rule from one file setting and the general settings (not the mode, the
    // test mode, the content-compare flag or the generations to keep, which belong to a
    // single run started from a dialog).
    void LoadRules(const CFileSetting& setting);
    // The rules the per-file decision reads, as they stand now.
    CFileRules FileRules() const;

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

    // Remembers the device folder is on now, as the one it is on when its file system is
    // mounted (at monitoring start and after every good pass).
    void RememberDevice(const std::string& folder);
    // False when folder's file system is evidently not mounted: folder lies in a
    // configured mount point that is not mounted, or it is empty and on another device
    // than the one remembered. A folder that does not exist is not judged here.
    bool IsMounted(const std::string& folder) const;

    CSettingRules rules;
    CRunOptions run;
    CWalkPlace place;

    // Every copy, move, delete or recycle attempt; read as the number of files processed.
    long CopyCount() const { return m_copyCounter; }
    void CountAttempt() { ++m_copyCounter; }
    void ResetCopyCount() { m_copyCounter = 0; }

private:
    // Carries out what the per-file decision chose for one file: reports, copies,
    // updates, moves, each counted and left undone in test mode.
    void CarryOut(const CFileAction& action, const CFileFacts& facts, const std::string& fileName);
    // Reports a copy or update of the source to to; done tells whether it was carried out.
    void ReportCopy(const std::string& message, bool done, const CFileFacts& facts, const std::string& to,
                    bool dryRun);
    void CopyToNewFileFolder(const std::string& source, const std::string& fileName, const char* message);
    void MoveNewerBackup(const CFileFacts& facts, const std::string& fileName);

    // False, reported once, when the destination folder is no longer the one the walk
    // started with: an unmounted file system leaves its bare mount point folder behind,
    // which must not receive the backup.
    bool DestinationStillThere();
    // False, reported once, when a symbolic link has been planted on the way to the
    // current destination folder since the walk entered it: the walk stops writing.
    // Asked before the backup is read or written by its path, not for every file seen.
    bool BackupTreeIntact();
    // Says once per folder tree that archive mode cannot work there.
    void WarnArchiveStateNotKept(const std::string& root);
    // Clears the temporary copies a killed run left in a folder the walk writes to.
    void RemoveStaleCopiesOnce(const std::string& folder);
    // False, reported, when a symbolic link stands on the way from root to folder; a link
    // in place of folder itself is replaced by a real folder, which is what the source has.
    bool NoLinkOnTheWay(const std::string& root, const std::string& folder);

    long m_copyCounter = 0;
    // Folders already cleared: only a run that ended before this one can have left
    // temporary copies, so each folder is looked at once per run.
    std::unordered_set<std::string> m_clearedFolders;
    std::unordered_set<std::string> m_archiveStateUnkept;
    bool m_destinationKnown = false;
    bool m_destinationLost = false;
    // The current destination folder as the walk entered it: while its path still leads
    // there, no link planted on the way can have turned it elsewhere.
    bool m_enteredFolderKnown = false;
    // The current destination folder was made by this walk on entering, so it holds no
    // backup yet and its files need no look for one. A name taken meanwhile (by someone
    // else, or by a second spelling of a name on a disk that ignores case) makes the copy
    // fail instead of replacing it, and the file is then judged by what is there.
    bool m_backupFolderNew = false;
    std::uint64_t m_enteredFolderDevice = 0;
    std::uint64_t m_enteredFolderInode = 0;
    std::uint64_t m_destinationDevice = 0;
    std::uint64_t m_destinationInode = 0;
    // Devices of sources and destinations as they were when last known to be mounted.
    std::map<std::string, std::uint64_t> m_knownDevices;
};
