#include "engine/file_operation.h"

#include <cerrno>
#include <chrono>

#include "engine/folder_operations.h"
#include "engine/pacing.h"
#include "platform/last_error.h"
#include "platform/file_status.h"
#include "platform/network_share.h"
#include "platform/no_replace_rename.h"
#include "platform/trash.h"
#include "platform/path.h"
#include "settings/application_core.h"

namespace {

int Finish(int error)
{
    SetLastSystemError(error);
    return error == 0 ? 0 : -1;
}

} // namespace

CFileOperation::CFileOperation(CApplicationCore& core)
    : CFileOperation(core, core.Settings().general.Recycle2.expanded)
{
}

CFileOperation::CFileOperation(CApplicationCore& core, std::string recycleFolder)
    : m_core(core), m_recycleFolder(std::move(recycleFolder))
{
}

int CFileOperation::CopyLocal(const std::string& from, const std::string& to, const CCopyOptions& options)
{
    // An abort that was already requested before this copy began is the caller's
    // business; only one given while the copy runs stops it.
    const bool abortedBefore = m_core.State().abortRequested != 0;
    const auto betweenChunks = [this, abortedBefore] {
        const bool goOn = PaceStep(m_core);
        return goOn && (abortedBefore || m_core.State().abortRequested == 0);
    };
    return CopyFileAtomic(from, to, options, betweenChunks);
}

int CFileOperation::Copy(std::string_view from, std::string_view to, const CCopyOptions& options)
{
    std::string localFrom;
    std::string localTo;
    if (const int error = ToLocalPath(from, localFrom))
        return Finish(error);
    if (const int error = ToLocalPath(to, localTo))
        return Finish(error);
    return Finish(CopyLocal(localFrom, localTo, options));
}

int CFileOperation::Delete(std::string_view path)
{
    std::string local;
    if (const int error = ToLocalPath(path, local))
        return Finish(error);
    return Finish(RemoveFile(local));
}

int CFileOperation::Move(std::string_view from, std::string_view to)
{
    std::string localFrom;
    std::string localTo;
    if (const int error = ToLocalPath(from, localFrom))
        return Finish(error);
    if (const int error = ToLocalPath(to, localTo))
        return Finish(error);

    const int error = RenameNoReplace(localFrom, localTo);
    if (error != EXDEV)
        return Finish(error);

    // Another file system: copy without replacing, then remove the original. Should the
    // original resist removal, the copy goes again so that the file is not doubled.
    CFileStatus status;
    if (const int statusError = ReadFileStatus(localFrom, status))
        return Finish(statusError);
    if (status.IsFolder())
        return Finish(EXDEV);
    CCopyOptions options;
    options.replaceExisting = false;
    if (const int copyError = CopyLocal(localFrom, localTo, options))
        return Finish(copyError);
    if (const int unlinkError = RemoveFile(localFrom)) {
        RemoveFile(localTo);
        return Finish(unlinkError);
    }
    return Finish(0);
}

int CFileOperation::Recycle(std::string_view path)
{
    if (!m_recycleFolder.empty()) {
        if (!IsExistingFolder(m_recycleFolder)) {
            std::string failing;
            if (!CreateFolderPath(m_recycleFolder, &failing)) {
                if (GetLastSystemError() == 0)
                    SetLastSystemError(ENOTDIR);
                return -1;
            }
        }
        return Move(path, JoinPath(m_recycleFolder, FileNameOf(path)));
    }

    std::string local;
    if (const int error = ToLocalPath(path, local))
        return Finish(error);
    const IClock* clock = m_core.Services().clock;
    const auto now = clock != nullptr ? clock->Now() : std::chrono::system_clock::now();
    return Finish(MoveToTrash(local, std::chrono::system_clock::to_time_t(now)));
}

bool HasShellOperations()
{
    return true;
}
