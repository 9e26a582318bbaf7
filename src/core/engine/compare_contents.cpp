#include "engine/compare_contents.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "engine/engine_texts.h"
#include "engine/pacing.h"
#include "platform/last_error.h"
#include "platform/file_attributes.h"
#include "platform/file_status.h"
#include "platform/network_share.h"
#include "platform/path.h"
#include "platform/read_only_file.h"
#include "report/format_text.h"
#include "settings/application_core.h"

namespace {

using namespace EngineText;

struct CFile
{
    CReadOnlyFile file;
    CFileStatus status;
};

// Opens without following a final link and without waiting on a FIFO; only regular
// files are read. 0 or the error.
int OpenForCompare(const std::string& path, CFile& file)
{
    std::string local;
    if (const int error = ToLocalPath(path, local))
        return error;
    if (const int error = file.file.Open(local))
        return error;
    if (const int error = file.file.ReadStatus(file.status))
        return error;
    return file.status.IsFile() ? 0 : ENOTSUP;
}

unsigned AttributeBits(const std::string& path, const CFileStatus& status)
{
    constexpr unsigned kReadOnly = 1;
    constexpr unsigned kHidden = 2;
    return (IsReadOnlyMode(status.permissions) ? kReadOnly : 0) | (IsHiddenName(FileNameOf(path)) ? kHidden : 0);
}

std::string DifferenceList(const std::string& source, const CFileStatus& a, const std::string& backup,
                           const CFileStatus& b)
{
    std::string list;
    if (a.size != b.size)
        list += kDifferenceSize;
    if (a.modified.seconds != b.modified.seconds)
        list += kDifferenceTime;
    if (AttributeBits(source, a) != AttributeBits(backup, b))
        list += kDifferenceAttributes;
    return list;
}

bool ReadLinkText(const std::string& path, std::string& text)
{
    std::string local;
    if (const int error = ToLocalPath(path, local)) {
        errno = error;
        return false;
    }
    return ReadLinkTarget(local, text) == 0;
}

bool IsSymbolicLink(const std::string& path, CFileStatus& status)
{
    std::string local;
    return ToLocalPath(path, local) == 0 && ReadFileStatus(local, status) == 0 && status.IsSymbolicLink();
}

// The outcome before it is reported.
struct COutcome
{
    int kind = MessageKind::kError;
    std::string text;
    int error = 0;
    bool equal = false;
};

COutcome CompareLinks(const std::string& source, const CFileStatus& sourceStatus, const std::string& backup)
{
    CFileStatus backupStatus;
    std::string sourceText;
    std::string backupText;
    if (!ReadLinkText(source, sourceText))
        return {MessageKind::kError, kCantOpenSource, errno};
    std::string localBackup;
    if (const int error = ToLocalPath(backup, localBackup))
        return {MessageKind::kWarning, kCantOpenBackup, error};
    if (const int error = ReadFileStatus(localBackup, backupStatus))
        return {MessageKind::kWarning, kCantOpenBackup, error};
    if (!backupStatus.IsSymbolicLink())
        return {MessageKind::kError, kDifferentContents};
    if (!ReadLinkText(backup, backupText))
        return {MessageKind::kWarning, kCantOpenBackup, errno};
    if (sourceStatus.modified.seconds != backupStatus.modified.seconds)
        return {MessageKind::kWarning,
                std::string(kSkipDifferentPrefix) + kDifferenceTime + kSkipDifferentSuffix};
    if (sourceText != backupText)
        return {MessageKind::kError, kDifferentContents};
    return {MessageKind::kDebug, kCompareOk, 0, true};
}

COutcome CompareFiles(CApplicationCore& core, const std::string& source, const std::string& backup)
{
    CFileStatus linkStatus;
    if (IsSymbolicLink(source, linkStatus))
        return CompareLinks(source, linkStatus, backup);

    CFile a;
    if (const int error = OpenForCompare(source, a))
        return {MessageKind::kError, kCantOpenSource, error};
    CFile b;
    if (const int error = OpenForCompare(backup, b))
        return {MessageKind::kWarning, kCantOpenBackup, error};

    const std::string differences = DifferenceList(source, a.status, backup, b.status);
    if (!differences.empty())
        return {MessageKind::kWarning, kSkipDifferentPrefix + differences + kSkipDifferentSuffix};

    std::vector<char> blockA(kCompareBlockBytes);
    std::vector<char> blockB(kCompareBlockBytes);
    for (;;) {
        PaceStep(core);
        const long long gotA = a.file.ReadBlock(blockA.data(), blockA.size());
        if (gotA < 0)
            return {MessageKind::kError, kCantReadSource, errno};
        const long long gotB = b.file.ReadBlock(blockB.data(), blockB.size());
        if (gotB < 0)
            return {MessageKind::kError, kCantReadBackup, errno};
        if (gotA != gotB || std::memcmp(blockA.data(), blockB.data(), static_cast<std::size_t>(gotA)) != 0)
            return {MessageKind::kError, kDifferentContents};
        if (static_cast<std::size_t>(gotA) < kCompareBlockBytes)
            return {MessageKind::kDebug, kCompareOk, 0, true};
    }
}

} // namespace

bool CompareFileContents(CApplicationCore& core, const std::string& source, const std::string& backup)
{
    const COutcome outcome = CompareFiles(core, source, backup);
    SetLastSystemError(outcome.error);
    core.OutputMessage(outcome.kind, kComparePrefix + outcome.text, source, backup, SystemErrorSuffix());
    SetLastSystemError(outcome.error);
    return outcome.equal;
}
