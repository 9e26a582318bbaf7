#include "report/log_file.h"

#include <cerrno>
#include <cstdio>

#include "platform/error_guard.h"
#include "platform/file_replace.h"
#include "platform/file_status.h"
#include "platform/network_share.h"
#include "report/message_kinds.h"
#include "report/report_texts.h"

namespace {

constexpr char kFieldSeparator = '\t';
constexpr const char* kLineEnd = "\r\n";
constexpr char kBlank = ' ';
constexpr unsigned kNewLogMode = 0600;
constexpr std::int64_t kLimitUnit = 1000;

// The letters, indexed by the kind number.
constexpr char kKindLetters[] = {'F', 'W', 'E', 'i', 'j', 'k', 'T'};

void AppendField(std::string& line, std::string_view field)
{
    for (const char c : field)
        line += (c == '\t' || c == '\r' || c == '\n') ? kBlank : c;
}

} // namespace

char CLogFile::KindLetter(int kind)
{
    if (kind < MessageKind::kFile || kind > MessageKind::kTest)
        return kKindLetters[MessageKind::kInfo];
    return kKindLetters[kind];
}

std::string CLogFile::FormatLine(const CLogLine& line)
{
    std::string text;
    text.reserve(line.time.size() + line.date.size() + line.message.size() + line.source.size()
                 + line.destination.size() + line.info.size() + 16);
    text += line.kindLetter;
    for (const std::string_view field :
         {line.time, line.date, line.message, line.source, line.destination, line.info}) {
        text += kFieldSeparator;
        AppendField(text, field);
    }
    text += kLineEnd;
    return text;
}

std::string CLogFile::OldPath(const std::string& path)
{
    return path + ReportText::kOldLogSuffix;
}

CLogFile::EWrite CLogFile::Append(const std::string& logPath, const CLogLine& line, int limitKB)
{
    CErrnoGuard keepErrno;
    // A log on a share that is not mounted is lost, never written to a local "/server/share".
    std::string path;
    if (logPath.empty() || ToLocalPath(logPath, path) != 0)
        return EWrite::Lost;
    const std::string text = FormatLine(line);

    std::int64_t length = 0;
    if (AppendToFile(path, text, kNewLogMode, length) != 0)
        return EWrite::Lost;
    if (limitKB > 0 && length / kLimitUnit > limitKB)
        return EWrite::OverLimit;
    return EWrite::Written;
}

CLogFile::ERotate CLogFile::Rotate(const std::string& logPath, int* error)
{
    CErrnoGuard keepErrno;
    std::string path;
    if (const int unreachable = ToLocalPath(logPath, path)) {
        if (error)
            *error = unreachable;
        return ERotate::Failed;
    }
    const std::string oldPath = OldPath(path);
    RemoveFile(oldPath); // there may be none yet; a real failure shows in the rename
    const int renameError = RenameReplacing(path, oldPath);
    if (renameError == 0) {
        if (error)
            *error = 0;
        return ERotate::Rotated;
    }
    if (error)
        *error = renameError;
    return ERotate::Failed;
}
