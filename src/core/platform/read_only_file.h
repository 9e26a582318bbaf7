#pragma once

// A file opened for reading only, the way a comparison reads it: a final symbolic link is
// not followed and a FIFO never makes the open wait.

#include <cstddef>
#include <string>

#include "platform/file_status.h"

class CReadOnlyFile
{
public:
    CReadOnlyFile() = default;
    CReadOnlyFile(const CReadOnlyFile&) = delete;
    CReadOnlyFile& operator=(const CReadOnlyFile&) = delete;
    ~CReadOnlyFile();

    // localPath: a local path. A final symbolic link is followed only when followLinks
    // is true. 0 or the errno value.
    int Open(const std::string& localPath, bool followLinks = false);
    // The status of what was opened. 0 or the errno value.
    int ReadStatus(CFileStatus& status) const;
    // Reads up to size bytes, short only at the end of the file. The count, or -1 with
    // errno set.
    long long ReadBlock(char* buffer, std::size_t size);

private:
    int m_fd = -1;
};
