#pragma once

// Every text the platform layer reports: why real-time change detection fell back to
// polling.

namespace PlatformText {
inline constexpr char kQueueOverflow[] =
    "Real-time detection replaced by polling: the kernel's event queue overflowed "
    "(fs.inotify.max_queued_events)";
inline constexpr char kNoMoreWatches[] =
    "Real-time detection replaced by polling: no more folder watches available "
    "(fs.inotify.max_user_watches)";
inline constexpr char kNoMoreInstances[] =
    "Real-time detection replaced by polling: no more change notification instances "
    "available (fs.inotify.max_user_instances)";
inline constexpr char kFolderReplaced[] =
    "Real-time detection replaced by polling: a file system below the watched folder was "
    "unmounted";
inline constexpr char kNetworkFileSystem[] =
    "Real-time detection replaced by polling: the folder is on a network file system, "
    "which does not report changes made by other computers";
} // namespace PlatformText
