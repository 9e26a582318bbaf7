#include "platform/linux/snapshot_notifier.h"

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <sys/stat.h>
#include <utility>

#include "platform/folder_listing.h"
#include "platform/network_share.h"
#include "platform/path.h"

namespace {

// A missing source folder is a state of its own: its disappearance and its return are
// both changes.
constexpr std::uint64_t kMissingFolderDigest = 0x9e3779b97f4a7c15ULL;

class CDigest
{
public:
    void Add(std::uint64_t value)
    {
        // splitmix64 finaliser: every input bit reaches every output bit.
        std::uint64_t z = (m_state ^ value) + 0x9e3779b97f4a7c15ULL;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        m_state = z ^ (z >> 31);
    }
    void Add(std::string_view bytes)
    {
        // Length first, so that "ab"+"c" and "a"+"bc" differ.
        Add(static_cast<std::uint64_t>(bytes.size()));
        std::uint64_t word = 0;
        std::size_t filled = 0;
        for (const char c : bytes) {
            word = (word << 8) | static_cast<unsigned char>(c);
            if (++filled == 8) {
                Add(word);
                word = 0;
                filled = 0;
            }
        }
        if (filled != 0)
            Add(word);
    }
    std::uint64_t Value() const { return m_state; }

private:
    std::uint64_t m_state = 0x6a09e667f3bcc908ULL;
};

bool IsExcluded(const std::string& path, const std::vector<std::string>& excluded)
{
    for (const std::string& folder : excluded)
        if (IsSameOrInside(path, folder))
            return true;
    return false;
}

} // namespace

int LocalWatchOptions(const CChangeWatchOptions& options, CChangeWatchOptions& local)
{
    local = options;
    std::string folder;
    if (const int error = ToLocalPath(options.folder, folder))
        return error;
    local.folder = WithoutTrailingSeparator(folder);
    local.excludedFolders.clear();
    for (const std::string& excluded : options.excludedFolders) {
        std::string path;
        // A destination on an unmounted share cannot lie inside a mounted source.
        if (ToLocalPath(excluded, path) != 0 || path.empty())
            continue;
        // Only a folder strictly inside the source is left out: a destination that holds
        // the source (or is the source) must not silence the whole tree.
        path = WithoutTrailingSeparator(path);
        if (path != local.folder && IsSameOrInside(path, local.folder))
            local.excludedFolders.push_back(path);
    }
    if (local.paceEvery == 0)
        local.paceEvery = 1;
    return 0;
}

CSnapshotNotifier::CSnapshotNotifier(CChangeWatchOptions options) : m_options(std::move(options)) {}

bool CSnapshotNotifier::Start()
{
    m_signalled = false;
    m_seen.reset();
    m_baseline = TakeDigest();
    return m_baseline.has_value();
}

bool CSnapshotNotifier::IsSignalled()
{
    // Asked again from inside the walk's own pacing: answer with what is known.
    if (m_signalled || m_busy)
        return m_signalled;
    const std::optional<std::uint64_t> now = TakeDigest();
    if (!now)
        return false;
    if (!m_baseline || *now != *m_baseline) {
        m_signalled = true;
        m_seen = now;
    }
    return m_signalled;
}

void CSnapshotNotifier::ReadAndRearm()
{
    if (m_busy)
        return;
    // The state the signalling poll saw becomes the baseline: whatever changed after
    // that poll differs from it and signals at the next one.
    if (m_seen)
        m_baseline = m_seen;
    else if (!m_signalled)
        m_baseline = TakeDigest();
    m_seen.reset();
    m_signalled = false;
}

std::optional<std::uint64_t> CSnapshotNotifier::TakeDigest()
{
    struct stat rootStatus
    {
    };
    if (stat(m_options.folder.c_str(), &rootStatus) != 0 || !S_ISDIR(rootStatus.st_mode))
        return kMissingFolderDigest;

    m_busy = true;
    CDigest digest;
    std::vector<std::string> pending{m_options.folder};
    std::vector<CFolderEntry> entries;
    std::size_t foldersDone = 0;
    bool stopped = false;
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        digest.Add(std::string_view(folder).substr(m_options.folder.size()));
        // A folder that cannot be read completely still counts by what was read and why
        // the rest was not.
        digest.Add(static_cast<std::uint64_t>(ListFolder(folder, entries)));
        const std::size_t firstChild = pending.size();
        for (const CFolderEntry& entry : entries) {
            const std::string path = JoinPath(folder, entry.name);
            if (!m_options.excludedFolders.empty() && IsExcluded(path, m_options.excludedFolders))
                continue;
            if (m_options.ignore && m_options.ignore(path, entry.kind == EEntryKind::Folder))
                continue;
            digest.Add(entry.name);
            digest.Add(static_cast<std::uint64_t>(entry.kind));
            if (entry.kind == EEntryKind::Folder) {
                if (m_options.subtree)
                    pending.push_back(path);
                continue;
            }
            struct stat status
            {
            };
            if (lstat(path.c_str(), &status) != 0) {
                digest.Add(static_cast<std::uint64_t>(errno));
                continue;
            }
            digest.Add(static_cast<std::uint64_t>(status.st_size));
            digest.Add(static_cast<std::uint64_t>(status.st_mtim.tv_sec));
            digest.Add(static_cast<std::uint64_t>(status.st_mtim.tv_nsec));
        }
        // Entries come sorted; reversing the pushed folders walks them in that order,
        // so the same tree always gives the same digest.
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(firstChild), pending.end());
        if (++foldersDone % m_options.paceEvery == 0 && m_options.pace && !m_options.pace(foldersDone)) {
            stopped = true;
            break;
        }
    }
    m_busy = false;
    if (stopped)
        return std::nullopt;
    return digest.Value();
}
