#pragma once

// Real-time change notification with inotify: one instance (a non-blocking descriptor)
// per watched source folder, one watch per folder of the tree. Events are read only when
// the scheduler polls, on its thread; nothing runs in between. Folders created later are
// watched as their creation is read. Links to folders are never followed, and excluded
// folders (destinations inside the source) are neither watched nor reported.
//
// When the kernel cannot be trusted to report every change (queue overflow, watches
// exhausted, a file system unmounted below the tree, a network file system) the notifier
// hands over to a CSnapshotNotifier for the rest of its life and says why once. A source
// folder that is deleted or replaced is watched again as soon as a folder is back at its
// path.

#include <string>
#include <sys/types.h>
#include <unordered_map>

struct inotify_event;

#include "platform/change_notifier.h"
#include "platform/linux/snapshot_notifier.h"

class CInotifyNotifier final : public IChangeNotifier
{
public:
    // options must already be local (LocalWatchOptions).
    explicit CInotifyNotifier(CChangeWatchOptions options);
    ~CInotifyNotifier() override;
    CInotifyNotifier(const CInotifyNotifier&) = delete;
    CInotifyNotifier& operator=(const CInotifyNotifier&) = delete;

    // Watches the tree. False, with the last system error set, when the folder cannot be
    // watched at all or the pace callback stopped the setup. A source given as a network
    // path is polled: the kernel does not see what other computers change on the share.
    bool Start(bool networkSource = false);

    bool IsSignalled() override;
    void ReadAndRearm() override;
    std::string Degradation() const override { return m_degradation; }
    std::string TakeDegradationNotice() override;
    bool TakeChangedFolders(CChangedFolders& changes) override;

    // Folders watched now (0 after the hand-over to polling).
    std::size_t WatchCount() const { return m_watches.size(); }

private:
    // A watch knows only its parent and its own name: small, and a renamed folder
    // needs no rewrite of the paths below it.
    struct CWatch
    {
        int parent = -1;
        std::string name;
    };

    // A folder's watch found by its parent's watch and its name: events name the child,
    // and a search through every watch per event would make a recursive chmod quadratic.
    struct CChildKey
    {
        int parent = -1;
        std::string name;
        bool operator==(const CChildKey&) const = default;
    };
    struct CChildKeyHash
    {
        std::size_t operator()(const CChildKey& key) const noexcept
        {
            return std::hash<std::string>{}(key.name)
                   ^ (std::hash<int>{}(key.parent) * 0x9e3779b97f4a7c15ULL);
        }
    };

    enum class ESetup
    {
        Done,
        Failed,   // errno-style code in m_setupError
        Stopped,  // the pace callback asked to stop
        Degraded, // handed over to polling
    };

    ESetup WatchRoot();
    // Watches the folder name inside the watched folder parent, and every folder below it.
    ESetup WatchTree(int parent, const std::string& name);
    // Watches every folder below a watched one.
    ESetup WatchBelow(int wd);
    void UnwatchTree(int wd);
    void ReleaseWatches();
    std::string PathOf(int wd) const;
    // Below the watched folder: "" for it, else "/" + name for each level. False when
    // the watch has lost its place in the tree.
    bool RelativePathOf(int wd, std::string& path) const;
    // The watch of the folder name inside the watched folder parent, or -1.
    int ChildWatch(int parent, const std::string& name) const;
    // False when wd is watched already (the same folder reached twice).
    bool AddWatch(int wd, int parent, const std::string& name);
    void ForgetWatch(int wd);
    // Where an event was seen, for the next TakeChangedFolders; unwatchedFolder: the
    // event names a folder that is to be watched now, as if it had just arrived.
    void NoteChange(const inotify_event& event, const std::string& name, bool unwatchedFolder);
    bool IsExcluded(const std::string& path) const;
    // Reads every pending event; false when the notifier handed over to polling.
    bool ReadEvents();
    bool HandleEvent(const inotify_event& event);
    // The root was deleted, moved or replaced: watch whatever folder is at its path now.
    void RewatchRoot();
    bool RootStillWatched() const;
    void FallBackToPolling(const char* reason);

    CChangeWatchOptions m_options;
    int m_fd = -1;
    int m_rootWd = -1;
    dev_t m_rootDevice = 0;
    ino_t m_rootInode = 0;
    std::unordered_map<int, CWatch> m_watches;
    std::unordered_map<CChildKey, int, CChildKeyHash> m_childWatches;
    std::size_t m_foldersDone = 0;
    int m_setupError = 0;
    bool m_signalled = false;
    bool m_busy = false;
    bool m_rootLost = false;
    std::unique_ptr<CSnapshotNotifier> m_fallback;
    CChangedFolders m_changes;
    // Something may have changed where no event says: the next hand-over says so.
    bool m_changesUnknown = false;
    // Changes were handed over while events were being read (from inside the pacing of a
    // watch setup): the rest of that read cannot be told apart from what came before.
    bool m_takenWhileBusy = false;
    std::string m_degradation;
    bool m_noticeTaken = false;
};

class CInotifyNotifierFactory final : public IChangeNotifierFactory
{
public:
    std::unique_ptr<IChangeNotifier> Create(const CChangeWatchOptions& options) override;
};
