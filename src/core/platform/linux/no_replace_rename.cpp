#include "platform/no_replace_rename.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int RenameNoReplace(const std::string& from, const std::string& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS && error != ENOTSUP)
        return error;

    if (link(from.c_str(), to.c_str()) == 0) {
        if (unlink(from.c_str()) == 0)
            return 0;
        const int unlinkError = errno;
        unlink(to.c_str());
        return unlinkError;
    }
    const int linkError = errno;
    if (linkError == EEXIST || linkError == ENOENT || linkError == EXDEV)
        return linkError;

    // No hard links here (folders, or file systems without them).
    struct stat status
    {
    };
    if (lstat(to.c_str(), &status) == 0)
        return EEXIST;
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}
