#pragma once

// Change detection by comparing snapshots of the folder tree at every poll: names and
// types of all entries, sizes and last-write times of files and links, never contents.
// It is what real-time detection falls back to when it cannot be trusted, and it works
// on any file system. A snapshot is kept as one digest, so memory does not grow with
// the size of the tree; each poll walks the tree once, paced like the watch setup.

#include <cstdint>
#include <optional>

#include "platform/change_notifier.h"

// Resolves a network source and the excluded folders to local paths and drops trailing
// separators. Returns 0 or the errno value (EHOSTDOWN when a share is not mounted).
int LocalWatchOptions(const CChangeWatchOptions& options, CChangeWatchOptions& local);

class CSnapshotNotifier final : public IChangeNotifier
{
public:
    // options must already be local (LocalWatchOptions).
    explicit CSnapshotNotifier(CChangeWatchOptions options);

    // Takes the first snapshot; false when the pace callback stopped it. Without a first
    // snapshot the next poll signals, because nothing is known about the tree.
    bool Start();

    bool IsSignalled() override;
    void ReadAndRearm() override;
    // Polling by choice is no degradation.
    std::string Degradation() const override { return {}; }
    std::string TakeDegradationNotice() override { return {}; }

private:
    // Digest of the tree as it is now; nothing when the pace callback stopped the walk.
    std::optional<std::uint64_t> TakeDigest();

    CChangeWatchOptions m_options;
    std::optional<std::uint64_t> m_baseline;
    // The digest seen by the poll that found the change: the next baseline.
    std::optional<std::uint64_t> m_seen;
    bool m_signalled = false;
    bool m_busy = false;
};
