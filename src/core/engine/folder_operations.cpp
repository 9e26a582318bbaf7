#include "engine/folder_operations.h"

#include <cerrno>
#include <vector>

#include "engine/file_operation.h"
#include "engine/engine_texts.h"
#include "platform/last_error.h"
#include "platform/file_attributes.h"
#include "platform/file_status.h"
#include "platform/folder_listing.h"
#include "platform/network_share.h"
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
    CFileStatus status;
    if (const int error = ReadFollowedStatus(local, status))
        return error;
    return status.IsFolder() ? 0 : ENOTDIR;
}

bool PathExists(std::string_view path)
{
    std::string local;
    CFileStatus status;
    return ToLocalPath(path, local) == 0 && ReadFollowedStatus(local, status) == 0;
}

int MakeFolder(std::string_view path, unsigned permissions)
{
    std::string local;
    if (const int error = ToLocalPath(path, local))
        return error;
    const int error = CreateFolder(local, permissions);
    if (error == 0)
        return 0;
    // Created meanwhile by someone else: fine as long as it is a folder.
    return error == EEXIST && FolderState(path) == 0 ? 0 : error;
}

// False, with the reason in errno, when the folder could not be read completely.
bool ListNames(const std::string& folder, std::vector<std::string>& names)
{
    const int error = ListFolderNames(folder, names);
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
    CFileStatus status;
    std::string local;
    if (ToLocalPath(folder, local) == 0 && ReadFollowedStatus(local, status) == 0) {
        if (status.IsFolder()) {
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
    unsigned mode = 0777;
    if (!templateFolder.empty()) {
        std::string local;
        CFileStatus status;
        if (ToLocalPath(templateFolder, local) == 0 && ReadFollowedStatus(local, status) == 0)
            mode = status.permissions | kOwnerAllPermissions;
    }
    std::string local;
    int error = ToLocalPath(newFolder, local);
    if (error == 0)
        error = CreateFolder(local, mode);
    // Creating a folder applies the umask; the template's permissions are meant literally.
    if (error == 0 && !templateFolder.empty())
        error = SetPermissions(local, mode);
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
    if (!ListNames(localSource, names)) {
        SetLastSystemError(errno);
        return false;
    }

    CFileOperation operation(core, std::string());
    for (const std::string& name : names) {
        const std::string full = JoinPath(source, name);
        const std::string localFull = JoinPath(localSource, name);
        const std::string target = moving ? JoinPath(destination, name) : std::string();
        CFileStatus status;
        if (const int error = ReadFileStatus(localFull, status)) {
            SetLastSystemError(error);
            return false;
        }
        bool done = false;
        if (status.IsFolder()) {
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
    const int error = RemoveEmptyFolder(localSource);
    SetLastSystemError(error);
    return error == 0;
}

bool IsExistingFolder(std::string_view path)
{
    const int error = FolderState(path);
    SetLastSystemError(error);
    return error == 0;
}
