#include "platform/read_only_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/stat_conversion.h"

CReadOnlyFile::~CReadOnlyFile()
{
    if (m_fd >= 0)
        close(m_fd);
}

int CReadOnlyFile::Open(const std::string& localPath, bool followLinks)
{
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW | O_NOCTTY);
    m_fd = open(localPath.c_str(), flags);
    return m_fd < 0 ? errno : 0;
}

int CReadOnlyFile::ReadStatus(CFileStatus& status) const
{
    struct stat raw
    {
    };
    if (fstat(m_fd, &raw) != 0)
        return errno;
    status = FileStatusFrom(raw);
    return 0;
}

long long CReadOnlyFile::ReadBlock(char* buffer, std::size_t size)
{
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = read(m_fd, buffer + got, size - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(got);
}
