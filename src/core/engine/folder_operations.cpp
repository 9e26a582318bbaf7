#include "engine/folder_operations.h"

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/file_operation.h"
#include "engine/engine_texts.h"
#include "platform/last_error.h"
#include "platform/linux/file_attributes.h"
#include "platform/linux/network_share.h"
#include "platform/path.h"
#include "report/format_text.h"
#include "settings/application_core.h"

namespace {

// 0 when path is an existing folder, else the error that says why not.
int FolderState(std::string_view path)
{
    std::string local;
    if (const int error = ToLocalPath(path, local))
        return error;
    struct stat status
    {
    };
    if (stat(local.c_str(), &status) != 0)
        return errno;
    return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
}

bool PathExists(std::string_view path)
{
    std::string local;
    struct stat status
    {
    };
    return ToLocalPath(path, local) == 0 && stat(local.c_str(), &status) == 0;
}

int MakeFolder(std::string_view path, mode_t mode)
{
    std::string local;
    if (const int error = ToLocalPath(path, local))
        return error;
    if (mkdir(local.c_str(), mode) == 0)
        return 0;
    const int error = errno;
    // Created meanwhile by someone else: fine as long as it is a folder.
    return error == EEXIST && FolderState(path) == 0 ? 0 : error;
}

bool ListFolder(const std::string& folder, std::vector<std::string>& names)
{
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return false;
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
        errno = 0;
    }
    const int error = errno;
    closedir(dir);
    errno = error;
    return error == 0;
}

} // namespace

bool EnsureFolder(CApplicationCore& core, std::string_view folder)
{
    std::string failing;
    if (CreateFolderPath(folder, &failing)) {
        core.OutputMessage(MessageKind::kDetail, EngineText::kFolderCreated, {}, std::string(folder));
        SetLastSystemError(0);
        return true;
    }
    if (!failing.empty()) {
        const int error = GetLastSystemError();
        core.OutputMessage(MessageKind::kError, EngineText::kFolderCreated, {}, failing,
                           SystemErrorSuffix());
        SetLastSystemError(error);
        return false;
    }
    return true;
}

bool CreateFolderPath(std::string_view folder, std::string* failing)
{
    if (failing)
        failing->clear();
    struct stat status
    {
    };
    std::string local;
    if (ToLocalPath(folder, local) == 0 && stat(local.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            SetLastSystemError(0);
            return false;
        }
        if (failing)
            *failing = folder;
        SetLastSystemError(ENOTDIR);
        return false;
    }

    // Mostly only the last level is missing: one call makes it; the way down from the
    // root is looked at only when a level above is missing too.
    if (MakeFolder(folder, 0777) == 0) {
        SetLastSystemError(0);
        return true;
    }

    std::string root;
    std::string rest;
    SplitPathRoot(folder, root, rest);
    std::string current = root;
    std::size_t at = 0;
    while (at < rest.size()) {
        const std::size_t start = rest.find_first_not_of(kPathSeparator, at);
        if (start == std::string::npos)
            break;
        std::size_t end = rest.find(kPathSeparator, start);
        if (end == std::string::npos)
            end = rest.size();
        if (!current.empty() || rest.front() == kPathSeparator)
            current += kPathSeparator;
        current.append(rest, start, end - start);
        at = end;
        // Whatever exists is passed over; a file in the way makes the next level fail.
        if (PathExists(current))
            continue;
        if (const int error = MakeFolder(current, 0777)) {
            if (failing)
                *failing = current;
            SetLastSystemError(error);
            return false;
        }
    }
    SetLastSystemError(0);
    return true;
}

void CreateFolderLike(std::string_view templateFolder, std::string_view newFolder)
{
    mode_t mode = 0777;
    if (!templateFolder.empty()) {
        std::string local;
        struct stat status
        {
        };
        if (ToLocalPath(templateFolder, local) == 0 && stat(local.c_str(), &status) == 0)
            mode = (status.st_mode & 07777) | S_IRWXU;
    }
    std::string local;
    int error = ToLocalPath(newFolder, local);
    if (error == 0 && mkdir(local.c_str(), mode) != 0)
        error = errno;
    // mkdir applies the umask; the template's permissions are meant literally.
    if (error == 0 && !templateFolder.empty() && chmod(local.c_str(), mode) != 0)
        error = errno;
    SetLastSystemError(error);
}

bool MoveOrDeleteTree(CApplicationCore& core, std::string_view source, std::string_view destination)
{
    std::string localSource;
    if (const int error = ToLocalPath(source, localSource)) {
        SetLastSystemError(error);
        return false;
    }
    const bool moving = !destination.empty();
    if (moving)
        CreateFolderLike(source, destination);

    // Entries of a folder without write permission cannot be removed.
    SetAttributesNormal(localSource);
    std::vector<std::string> names;
    if (!ListFolder(localSource, names)) {
        SetLastSystemError(errno);
        return false;
    }

    CFileOperation operation(core, std::string());
    for (const std::string& name : names) {
        const std::string full = JoinPath(source, name);
        const std::string localFull = JoinPath(localSource, name);
        const std::string target = moving ? JoinPath(destination, name) : std::string();
        struct stat status
        {
        };
        if (lstat(localFull.c_str(), &status) != 0) {
            SetLastSystemError(errno);
            return false;
        }
        bool done = false;
        if (S_ISDIR(status.st_mode)) {
            done = MoveOrDeleteTree(core, full, target);
        } else {
            SetAttributesNormal(localFull);
            if (moving) {
                operation.Delete(target);
                done = operation.Move(full, target) == 0;
            } else {
                done = operation.Delete(full) == 0;
            }
        }
        if (!done)
            return false;
    }

    SetAttributesNormal(localSource);
    const int error = rmdir(localSource.c_str()) == 0 ? 0 : errno;
    SetLastSystemError(error);
    return error == 0;
}

bool IsExistingFolder(std::string_view path)
{
    const int error = FolderState(path);
    SetLastSystemError(error);
    return error == 0;
}
