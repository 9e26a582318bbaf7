#include "engine/compare_contents.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/engine_texts.h"
#include "engine/pacing.h"
#include "platform/last_error.h"
#include "platform/linux/file_attributes.h"
#include "platform/linux/network_share.h"
#include "platform/path.h"
#include "report/format_text.h"
#include "settings/application_core.h"

namespace {

using namespace EngineText;

struct CFile
{
    int fd = -1;
    struct stat status
    {
    };
    ~CFile()
    {
        if (fd >= 0)
            close(fd);
    }
};

// Opens without following a final link and without waiting on a FIFO; only regular
// files are read. 0 or the error.
int OpenForCompare(const std::string& path, CFile& file)
{
    std::string local;
    if (const int error = ToLocalPath(path, local))
        return error;
    file.fd = open(local.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file.fd < 0)
        return errno;
    if (fstat(file.fd, &file.status) != 0)
        return errno;
    return S_ISREG(file.status.st_mode) ? 0 : ENOTSUP;
}

// Reads up to size bytes, short only at the end of the file. Returns the count or -1.
ssize_t ReadBlock(int fd, char* buffer, std::size_t size)
{
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = read(fd, buffer + got, size - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

unsigned AttributeBits(const std::string& path, const struct stat& status)
{
    constexpr unsigned kReadOnly = 1;
    constexpr unsigned kHidden = 2;
    return (IsReadOnlyMode(status.st_mode) ? kReadOnly : 0) | (IsHiddenName(FileNameOf(path)) ? kHidden : 0);
}

std::string DifferenceList(const std::string& source, const struct stat& a, const std::string& backup,
                           const struct stat& b)
{
    std::string list;
    if (a.st_size != b.st_size)
        list += kDifferenceSize;
    if (a.st_mtim.tv_sec != b.st_mtim.tv_sec)
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
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink(local.c_str(), buffer.data(), buffer.size());
        if (length < 0)
            return false;
        if (static_cast<std::size_t>(length) < buffer.size()) {
            text.assign(buffer.data(), static_cast<std::size_t>(length));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool IsSymbolicLink(const std::string& path, struct stat& status)
{
    std::string local;
    return ToLocalPath(path, local) == 0 && lstat(local.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

// The outcome before it is reported.
struct COutcome
{
    int kind = MessageKind::kError;
    std::string text;
    int error = 0;
    bool equal = false;
};

COutcome CompareLinks(const std::string& source, const struct stat& sourceStatus, const std::string& backup)
{
    struct stat backupStatus
    {
    };
    std::string sourceText;
    std::string backupText;
    if (!ReadLinkText(source, sourceText))
        return {MessageKind::kError, kCantOpenSource, errno};
    std::string localBackup;
    if (const int error = ToLocalPath(backup, localBackup))
        return {MessageKind::kWarning, kCantOpenBackup, error};
    if (lstat(localBackup.c_str(), &backupStatus) != 0)
        return {MessageKind::kWarning, kCantOpenBackup, errno};
    if (!S_ISLNK(backupStatus.st_mode))
        return {MessageKind::kError, kDifferentContents};
    if (!ReadLinkText(backup, backupText))
        return {MessageKind::kWarning, kCantOpenBackup, errno};
    if (sourceStatus.st_mtim.tv_sec != backupStatus.st_mtim.tv_sec)
        return {MessageKind::kWarning,
                std::string(kSkipDifferentPrefix) + kDifferenceTime + kSkipDifferentSuffix};
    if (sourceText != backupText)
        return {MessageKind::kError, kDifferentContents};
    return {MessageKind::kDebug, kCompareOk, 0, true};
}

COutcome CompareFiles(CApplicationCore& core, const std::string& source, const std::string& backup)
{
    struct stat linkStatus
    {
    };
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
        const ssize_t gotA = ReadBlock(a.fd, blockA.data(), blockA.size());
        if (gotA < 0)
            return {MessageKind::kError, kCantReadSource, errno};
        const ssize_t gotB = ReadBlock(b.fd, blockB.data(), blockB.size());
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
