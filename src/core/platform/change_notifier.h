#pragma once

// Change notification for one watched source folder, one notifier per file setting.
//
// The scheduler polls a notifier every few seconds on the GUI thread:
//   if (notifier->IsSignalled()) { mark the setting; notifier->ReadAndRearm(); }
// A change that happens at any time after the last ReadAndRearm (or after creation)
// makes IsSignalled true at the next poll, and it stays true until ReadAndRearm, however
// often IsSignalled is asked. Destroying the notifier releases everything it holds.
//
// Real-time detection can become untrustworthy (events lost, no more kernel watches, a
// watched folder replaced, a network file system that does not report other machines'
// changes). The notifier then compares snapshots of the folder tree at every poll
// instead, which gives the same marks at the same poll moments, and says why once.

#include <cstddef>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

// Reasons given by Degradation(): detail texts of the warning the scheduler reports.
struct CChangeWatchOptions
{
    // The source folder; a network path ("//server/share/...") is watched through the
    // local mount of its share.
    std::string folder;
    // Watch every folder below it, including folders created later.
    bool subtree = true;
    // Folders (absolute paths) that are never watched or looked into, with everything
    // below them: backup destinations that lie inside the source.
    std::vector<std::string> excludedFolders;
    // Entries below the folder whose changes never signal, asked with the entry's local
    // path and whether it is a folder. A folder it names is never watched or looked into.
    using IgnoreFilter = std::function<bool(const std::string& path, bool isFolder)>;
    IgnoreFilter ignore;
    // Called after every paceEvery folders of watch setup or of a snapshot, with the
    // number of folders done so far, so that the caller can pump events and show
    // progress. Returning false stops the work (the application is quitting).
    std::function<bool(std::size_t foldersDone)> pace;
    std::size_t paceEvery = 64;
};

// Where changes were seen below the watched folder. A path is "" for the watched folder
// itself, else "/" + name for each level below it.
struct CChangedFolders
{
    // Folders whose own entries changed (created, deleted, written, renamed, attributes),
    // or whose own times or permissions did.
    std::set<std::string> folders;
    // Folders that arrived (created or moved in): everything below them is new.
    std::set<std::string> trees;
};

class IChangeNotifier
{
public:
    virtual ~IChangeNotifier() = default;
    // The 1 ms look at the notification: true when something changed since the last
    // re-arm. Never blocks for longer than the work of reading what is pending.
    virtual bool IsSignalled() = 0;
    // Consumes the signal; later changes signal again.
    virtual void ReadAndRearm() = 0;
    // Empty while real-time detection works, else why it was replaced by polling.
    virtual std::string Degradation() const = 0;
    // The reason once, the first time it is asked after the degradation; empty otherwise.
    virtual std::string TakeDegradationNotice() = 0;
    // Hands over where the changes read so far were seen, and forgets them. False when
    // that is not known exactly (events were lost, polling took over, the watched folder
    // was replaced, a folder could not be watched): anything may have changed.
    virtual bool TakeChangedFolders(CChangedFolders& changes)
    {
        changes = {};
        return false;
    }
};

class IChangeNotifierFactory
{
public:
    virtual ~IChangeNotifierFactory() = default;
    // nullptr when the folder cannot be watched at all (missing, not a folder, no
    // access) or the pace callback stopped the setup; the last system error says why.
    virtual std::unique_ptr<IChangeNotifier> Create(const CChangeWatchOptions& options) = 0;
};
