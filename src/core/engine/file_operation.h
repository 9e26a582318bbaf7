#pragma once

// Copy, delete, move and recycle of one file, for one engine operation (a folder scan,
// a generation rotation). Every call sets the last system error (0 on success) and
// returns 0 on success, -1 on failure; the caller reports the failure with
// SystemErrorSuffix. Network paths ("//server/share/...") work through the share's
// local mount.

#include <string>
#include <string_view>

#include "platform/atomic_copy.h"

class CApplicationCore;

class CFileOperation
{
public:
    // The recycle folder is the expanded Recycle2 of the settings.
    explicit CFileOperation(CApplicationCore& core);
    // An explicit recycle folder (already expanded); empty means the desktop's trash.
    CFileOperation(CApplicationCore& core, std::string recycleFolder);

    // Overwrites to, keeping the contents, times, mode and extended attributes of from.
    // The previous to survives any failure and an abort requested during the copy.
    int Copy(std::string_view from, std::string_view to, const CCopyOptions& options = {});
    int Delete(std::string_view path);
    // Never replaces an existing to; across file systems it copies and deletes.
    int Move(std::string_view from, std::string_view to);
    // Into the recycle folder (keeping the name; a file of that name there makes it
    // fail) or, without one, into the desktop's trash.
    int Recycle(std::string_view path);

    const std::string& RecycleFolder() const { return m_recycleFolder; }

private:
    int CopyLocal(const std::string& from, const std::string& to, const CCopyOptions& options);

    CApplicationCore& m_core;
    std::string m_recycleFolder;
};

// Whether the system offers shell file operations; always so on this platform.
bool HasShellOperations();
