#pragma once

// Copies a file so that the previous target survives anything short of success: the data
// goes to a temporary file in the target's folder (unnamed when there is no target yet), gets the source's
// mode, times and extended attributes, and only then is renamed over the target. Symbolic links are copied as
// links; FIFOs, sockets and devices are refused without being opened.

#include <functional>
#include <string>
#include <string_view>

#include "platform/file_status.h"

struct CCopyOptions
{
    // Record the copied state as "backed up" on the target and on the source (clears
    // their archive bits, see file_attributes.h).
    bool clearArchiveBit = false;
    // False: fail with EEXIST when the target exists, never replacing it.
    bool replaceExisting = true;
    // The caller has just found no target: the copy may be written as an unnamed file and
    // linked in when complete (where the file system has them). A target to replace is
    // always written under a temporary name first.
    bool targetMissing = false;
    // The source's own status (not followed) as the caller has just read it. When it
    // shows a regular file, the copy opens the file without looking again; what it opens
    // is checked to be a regular file all the same.
    const CFileStatus* sourceStatus = nullptr;
};

// Called between the chunks of a long copy; returning false abandons the copy.
using CopyChunkHook = std::function<bool()>;

inline constexpr std::size_t kCopyChunkBytes = 1024 * 1024;

// Returns 0 or the errno value of the failing call; ECANCELED when the hook stopped it.
int CopyFileAtomic(const std::string& from, const std::string& to, const CCopyOptions& options,
                   const CopyChunkHook& betweenChunks = {});

// Temporary files are named ".tovix-tmp-" + six letters or digits. A folder scan skips
// them and removes those left behind by an interrupted run.
inline constexpr std::string_view kOwnTemporaryPrefix = ".tovix-tmp-";
bool IsOwnTemporaryFile(std::string_view name);
// Removes the temporary files of this program in folder (not below it); returns how
// many were removed.
int RemoveStaleTemporaryFiles(const std::string& folder);
