#include "platform/linux/inotify_notifier.h"

#include <cerrno>
#include <cstdint>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/folder_listing.h"
#include "platform/last_error.h"
#include "platform/path.h"
#include "platform/platform_texts.h"

namespace {

// Created, deleted, renamed and written entries, changed times and attributes, and the
// watched folder itself going away. IN_EXCL_UNLINK keeps a deleted file that is still
// open from reporting into a folder it no longer belongs to.
constexpr std::uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE
                                        | IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR
                                        | IN_EXCL_UNLINK;
// Below the root a link to a folder must not be watched in place of a folder that was
// replaced by it since it was listed.
constexpr std::uint32_t kSubfolderEvents = kFolderEvents | IN_DONT_FOLLOW;

// File systems whose servers change files without the local kernel seeing it.
bool IsNetworkFileSystem(const std::string& folder)
{
    struct statfs info
    {
    };
    if (statfs(folder.c_str(), &info) != 0)
        return false;
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0x6969UL:     // NFS
    case 0x517BUL:     // SMB
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x00C36400UL: // Ceph
    case 0x6B414653UL: // AFS
    case 0x01021997UL: // 9P (shared folders of virtual machines)
        return true;
    default:
        return false;
    }
}

} // namespace

CInotifyNotifier::CInotifyNotifier(CChangeWatchOptions options) : m_options(std::move(options)) {}

CInotifyNotifier::~CInotifyNotifier()
{
    ReleaseWatches();
}

bool CInotifyNotifier::Start(bool networkSource)
{
    struct stat status
    {
    };
    if (stat(m_options.folder.c_str(), &status) != 0) {
        SetLastSystemError(errno);
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        SetLastSystemError(ENOTDIR);
        return false;
    }
    if (networkSource || IsNetworkFileSystem(m_options.folder)) {
        FallBackToPolling(PlatformText::kNetworkFileSystem);
        return true;
    }
    switch (WatchRoot()) {
    case ESetup::Done:
    case ESetup::Degraded:
        return true;
    case ESetup::Stopped:
        ReleaseWatches();
        SetLastSystemError(ECANCELED);
        return false;
    case ESetup::Failed:
        break;
    }
    ReleaseWatches();
    SetLastSystemError(m_setupError);
    return false;
}

CInotifyNotifier::ESetup CInotifyNotifier::WatchRoot()
{
    ReleaseWatches();
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        if (errno == EMFILE || errno == ENFILE) {
            FallBackToPolling(PlatformText::kNoMoreInstances);
            return ESetup::Degraded;
        }
        m_setupError = errno;
        return ESetup::Failed;
    }
    struct stat status
    {
    };
    if (stat(m_options.folder.c_str(), &status) != 0) {
        m_setupError = errno;
        return ESetup::Failed;
    }
    if (!S_ISDIR(status.st_mode)) {
        m_setupError = ENOTDIR;
        return ESetup::Failed;
    }
    // The source folder itself may be given through a link; only links below it are
    // never followed.
    const int wd = inotify_add_watch(m_fd, m_options.folder.c_str(), kFolderEvents);
    if (wd < 0) {
        if (errno == ENOSPC) {
            FallBackToPolling(PlatformText::kNoMoreWatches);
            return ESetup::Degraded;
        }
        m_setupError = errno;
        return ESetup::Failed;
    }
    m_rootWd = wd;
    m_rootDevice = status.st_dev;
    m_rootInode = status.st_ino;
    AddWatch(wd, -1, {});
    m_rootLost = false;
    m_foldersDone = 1;
    return m_options.subtree ? WatchBelow(wd) : ESetup::Done;
}

CInotifyNotifier::ESetup CInotifyNotifier::WatchTree(int parent, const std::string& name)
{
    const std::string path = JoinPath(PathOf(parent), name);
    const int wd = inotify_add_watch(m_fd, path.c_str(), kSubfolderEvents);
    if (wd < 0) {
        if (errno == ENOSPC) {
            FallBackToPolling(PlatformText::kNoMoreWatches);
            return ESetup::Degraded;
        }
        // Gone again, or replaced by a file or a link: nothing to watch, and the events of
        // its parent tell what happened. Any other failure leaves a folder whose changes
        // will go unseen.
        if (errno != ENOENT && errno != ENOTDIR)
            m_changesUnknown = true;
        return ESetup::Done;
    }
    // The same folder reached a second time (a bind mount inside the tree): watching it
    // once is enough, and descending again would never end.
    if (!AddWatch(wd, parent, name))
        return ESetup::Done;
    ++m_foldersDone;
    if (m_options.pace && m_foldersDone % m_options.paceEvery == 0 && !m_options.pace(m_foldersDone))
        return ESetup::Stopped;
    return WatchBelow(wd);
}

CInotifyNotifier::ESetup CInotifyNotifier::WatchBelow(int top)
{
    std::vector<int> pending{top};
    std::vector<CFolderEntry> entries;
    while (!pending.empty()) {
        const int wd = pending.back();
        pending.pop_back();
        const std::string folder = PathOf(wd);
        ListFolder(folder, entries);
        for (const CFolderEntry& entry : entries) {
            if (entry.kind != EEntryKind::Folder)
                continue;
            const std::string path = JoinPath(folder, entry.name);
            if (IsExcluded(path) || (m_options.ignore && m_options.ignore(path, true)))
                continue;
            const int child = inotify_add_watch(m_fd, path.c_str(), kSubfolderEvents);
            if (child < 0) {
                if (errno == ENOSPC) {
                    FallBackToPolling(PlatformText::kNoMoreWatches);
                    return ESetup::Degraded;
                }
                if (errno != ENOENT && errno != ENOTDIR)
                    m_changesUnknown = true;
                continue;
            }
            if (!AddWatch(child, wd, entry.name))
                continue;
            pending.push_back(child);
            ++m_foldersDone;
            if (m_options.pace && m_foldersDone % m_options.paceEvery == 0 && !m_options.pace(m_foldersDone))
                return ESetup::Stopped;
        }
    }
    return ESetup::Done;
}

void CInotifyNotifier::UnwatchTree(int top)
{
    std::vector<int> doomed;
    for (const auto& [wd, watch] : m_watches) {
        for (int at = wd; at != -1;) {
            if (at == top) {
                doomed.push_back(wd);
                break;
            }
            const auto it = m_watches.find(at);
            at = it == m_watches.end() ? -1 : it->second.parent;
        }
    }
    for (const int wd : doomed) {
        inotify_rm_watch(m_fd, wd);
        ForgetWatch(wd);
    }
}

void CInotifyNotifier::ReleaseWatches()
{
    // Closing the instance drops every watch at once, without queueing a removal event
    // per watch.
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    m_rootWd = -1;
    m_watches.clear();
    m_childWatches.clear();
}

bool CInotifyNotifier::RelativePathOf(int wd, std::string& path) const
{
    std::vector<const std::string*> names;
    auto it = m_watches.find(wd);
    for (; it != m_watches.end() && it->second.parent != -1; it = m_watches.find(it->second.parent))
        names.push_back(&it->second.name);
    path.clear();
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        path += kPathSeparator;
        path += **name;
    }
    // A watch whose folder above was given up no longer knows where it is.
    return it != m_watches.end();
}

int CInotifyNotifier::ChildWatch(int parent, const std::string& name) const
{
    const auto found = m_childWatches.find(CChildKey{parent, name});
    return found == m_childWatches.end() ? -1 : found->second;
}

bool CInotifyNotifier::AddWatch(int wd, int parent, const std::string& name)
{
    if (!m_watches.emplace(wd, CWatch{parent, name}).second)
        return false;
    // A folder replaced under the same name before its old watch was dropped: the newer
    // watch is the folder now at that name.
    m_childWatches.insert_or_assign(CChildKey{parent, name}, wd);
    return true;
}

void CInotifyNotifier::ForgetWatch(int wd)
{
    const auto watch = m_watches.find(wd);
    if (watch == m_watches.end())
        return;
    const auto child = m_childWatches.find(CChildKey{watch->second.parent, watch->second.name});
    if (child != m_childWatches.end() && child->second == wd)
        m_childWatches.erase(child);
    m_watches.erase(watch);
}

std::string CInotifyNotifier::PathOf(int wd) const
{
    std::vector<const std::string*> names;
    for (auto it = m_watches.find(wd); it != m_watches.end() && it->second.parent != -1;
         it = m_watches.find(it->second.parent))
        names.push_back(&it->second.name);
    std::string path = m_options.folder;
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        path = JoinPath(path, **name);
    return path;
}

bool CInotifyNotifier::IsExcluded(const std::string& path) const
{
    for (const std::string& folder : m_options.excludedFolders)
        if (IsSameOrInside(path, folder))
            return true;
    return false;
}

bool CInotifyNotifier::ReadEvents()
{
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t length = read(m_fd, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            return true; // EAGAIN: nothing more is pending
        for (const char* at = buffer; at < buffer + length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            at += sizeof(inotify_event) + event->len;
            if (!HandleEvent(*event))
                return false;
            if (m_rootLost)
                return true;
        }
    }
}

bool CInotifyNotifier::HandleEvent(const inotify_event& event)
{
    if ((event.mask & IN_Q_OVERFLOW) != 0) {
        m_signalled = true;
        FallBackToPolling(PlatformText::kQueueOverflow);
        return false;
    }
    const auto watch = m_watches.find(event.wd);
    if (watch == m_watches.end())
        return true; // a watch given up earlier (its folder moved out of the tree)
    if ((event.mask & IN_UNMOUNT) != 0) {
        // The folder now shows what lies under the mount point, which nothing watches.
        m_signalled = true;
        FallBackToPolling(PlatformText::kFolderReplaced);
        return false;
    }
    if ((event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
        // A subfolder's own removal is reported by its parent; the root has no parent
        // in the tree.
        if (event.wd == m_rootWd) {
            m_rootLost = true;
            m_signalled = true;
            m_changesUnknown = true;
        } else if ((event.mask & IN_IGNORED) != 0) {
            ForgetWatch(event.wd);
        }
        return true;
    }
    if (event.len == 0) {
        m_signalled = true; // the attributes or times of a watched folder itself
        std::string folder;
        if (RelativePathOf(event.wd, folder))
            m_changes.folders.insert(folder);
        else
            m_changesUnknown = true;
        return true;
    }
    const std::string name(event.name);
    if (!m_options.excludedFolders.empty() || m_options.ignore) {
        const std::string path = JoinPath(PathOf(event.wd), name);
        if (IsExcluded(path) || (m_options.ignore && m_options.ignore(path, (event.mask & IN_ISDIR) != 0)))
            return true;
    }
    m_signalled = true;
    // A folder that could not be watched before (no permission then) is tried again
    // when its permissions change; from then on everything in it is as good as new.
    const bool retry = (event.mask & IN_ISDIR) != 0 && (event.mask & IN_ATTRIB) != 0 && m_options.subtree
                       && ChildWatch(event.wd, name) == -1;
    NoteChange(event, name, retry);
    if ((event.mask & IN_ISDIR) == 0)
        return true;
    if ((event.mask & IN_MOVED_FROM) != 0) {
        // Its watches would follow it wherever it went; where it arrives inside the tree
        // it is watched again under its new name.
        if (const int moved = ChildWatch(event.wd, name); moved != -1)
            UnwatchTree(moved);
    }
    if (m_options.subtree && ((event.mask & (IN_CREATE | IN_MOVED_TO)) != 0 || retry)) {
        const ESetup result = WatchTree(event.wd, name);
        if (result == ESetup::Degraded)
            return false;
    }
    return true;
}

void CInotifyNotifier::NoteChange(const inotify_event& event, const std::string& name, bool unwatchedFolder)
{
    std::string folder;
    if (!RelativePathOf(event.wd, folder)) {
        m_changesUnknown = true;
        return;
    }
    // The folder's own entry changed: its backup folder is found by walking the folder.
    m_changes.folders.insert(folder);
    if ((event.mask & IN_ISDIR) == 0)
        return;
    const std::string child = folder + kPathSeparator + name;
    if ((event.mask & (IN_CREATE | IN_MOVED_TO)) != 0 || unwatchedFolder)
        m_changes.trees.insert(child);
    else if ((event.mask & IN_ATTRIB) != 0)
        m_changes.folders.insert(child);
}

bool CInotifyNotifier::RootStillWatched() const
{
    struct stat status
    {
    };
    return stat(m_options.folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode)
           && status.st_dev == m_rootDevice && status.st_ino == m_rootInode;
}

void CInotifyNotifier::RewatchRoot()
{
    ReleaseWatches();
    m_changesUnknown = true;
    struct stat status
    {
    };
    if (stat(m_options.folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
        return; // still missing: looked for again at the next poll
    // Everything in the folder that came back is new to the backup.
    m_signalled = true;
    const ESetup result = WatchRoot();
    if (result == ESetup::Failed || result == ESetup::Stopped) {
        ReleaseWatches();
        m_rootLost = true;
    }
}

bool CInotifyNotifier::IsSignalled()
{
    // Asked again from inside this notifier's own pacing: answer with what is known.
    if (m_busy)
        return m_signalled;
    if (m_fallback)
        return m_signalled || m_fallback->IsSignalled();
    m_busy = true;
    if (!m_rootLost && ReadEvents() && !m_rootLost && !RootStillWatched()) {
        // Deleted while something kept it open, or another folder put in its place.
        m_rootLost = true;
        m_changesUnknown = true;
        m_signalled = true;
    }
    if (!m_fallback && m_rootLost)
        RewatchRoot();
    m_busy = false;
    if (m_takenWhileBusy) {
        m_takenWhileBusy = false;
        m_changesUnknown = true;
        m_signalled = true;
    }
    return m_signalled;
}

bool CInotifyNotifier::TakeChangedFolders(CChangedFolders& changes)
{
    changes = {};
    if (m_busy) {
        m_takenWhileBusy = true;
        return false;
    }
    const bool known = !m_fallback && !m_changesUnknown && !m_rootLost;
    m_changesUnknown = false;
    if (known)
        changes = std::move(m_changes);
    m_changes = {};
    return known;
}

void CInotifyNotifier::ReadAndRearm()
{
    // Events queued after the poll stay in the kernel's queue and signal at the next one.
    m_signalled = false;
    if (m_fallback)
        m_fallback->ReadAndRearm();
}

std::string CInotifyNotifier::TakeDegradationNotice()
{
    if (m_degradation.empty() || m_noticeTaken)
        return {};
    m_noticeTaken = true;
    return m_degradation;
}

void CInotifyNotifier::FallBackToPolling(const char* reason)
{
    ReleaseWatches();
    m_rootLost = false;
    m_degradation = reason;
    m_fallback = std::make_unique<CSnapshotNotifier>(m_options);
    // Stopped by the pace callback, it has no first snapshot and signals at the next
    // poll: a change is never lost.
    m_fallback->Start();
}

std::unique_ptr<IChangeNotifier> CInotifyNotifierFactory::Create(const CChangeWatchOptions& options)
{
    CChangeWatchOptions local;
    if (const int error = LocalWatchOptions(options, local)) {
        SetLastSystemError(error);
        return nullptr;
    }
    auto notifier = std::make_unique<CInotifyNotifier>(std::move(local));
    if (!notifier->Start(IsUncPath(options.folder)))
        return nullptr;
    ClearLastSystemError();
    return notifier;
}
