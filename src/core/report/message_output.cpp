#include "report/message_output.h"

#include <cerrno>
#include <chrono>
#include <ctime>

#include "platform/error_guard.h"
#include "report/format_text.h"
#include "report/log_file.h"
#include "report/report_texts.h"

namespace {

constexpr const char* kTimeFormat = "%H:%M:%S";
constexpr const char* kDateFormat = "%m/%d/%y";
constexpr std::size_t kStampBufferSize = 32;

std::string FormatTm(const std::tm& local, const char* format)
{
    char buffer[kStampBufferSize] = {};
    const std::size_t length = std::strftime(buffer, sizeof buffer, format, &local);
    return std::string(buffer, length);
}

} // namespace

CMessageOutput::CMessageOutput(const CReportSettings& settings, const CHostServices& services)
    : m_settings(settings), m_services(services)
{
}

CMessageOutput::CStamp CMessageOutput::LocalStamp() const
{
    const auto now = m_services.clock ? m_services.clock->Now() : std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        return {};
    return {FormatTm(local, kTimeFormat), FormatTm(local, kDateFormat)};
}

void CMessageOutput::OutputMessage(int kind, const std::string& message, const std::string& source,
                                   const std::string& destination, const std::string& info)
{
    CErrorStateGuard keepErrors;
    IMessageSink* const sink = m_services.sink;
    if (kind == MessageKind::kWarning || kind == MessageKind::kError || kind == MessageKind::kTest)
        ++m_troubleCount;

    // The status bar shows every message, also those the filter drops, without prefix.
    if (sink) {
        std::string status = message;
        for (const std::string* part : {&source, &destination, &info}) {
            status += ReportText::kStatusSeparator;
            status += *part;
        }
        sink->SetStatusText(status);
    }

    if ((kind == MessageKind::kDetail && m_settings.DispDetailInfo == 0)
        || (kind == MessageKind::kDebug && m_settings.DispDebugInfo == 0))
        return;

    const CStamp stamp = LocalStamp();

    std::string shown;
    if (kind == MessageKind::kError)
        shown = ReportText::kErrorPrefix + message;
    else if (kind == MessageKind::kWarning)
        shown = ReportText::kWarningPrefix + message;
    else
        shown = message;

    const CMessageRow row{kind, shown, source, destination, info, stamp.time, stamp.date};
    if (sink && !m_noMessageOutput)
        sink->AddReportRow(row);

    WriteLog(kind, shown, source, destination, info, stamp);

    if (kind == MessageKind::kError && m_settings.SoundE != 0)
        PlayNotifySound(m_settings.SoundEFile);
    else if (kind == MessageKind::kWarning && m_settings.SoundW != 0)
        PlayNotifySound(m_settings.SoundWFile);

    if (sink && (kind == MessageKind::kWarning || kind == MessageKind::kError))
        sink->AddErrorRow(row);
}

void CMessageOutput::WriteLog(int kind, const std::string& message, const std::string& source,
                              const std::string& destination, const std::string& info, const CStamp& stamp)
{
    const std::string& path = m_settings.LogFile.expanded;
    if (path.empty())
        return;

    const CLogLine line{
        CLogFile::KindLetter(kind), stamp.time, stamp.date, message, source, destination, info};
    const int limit = m_reportingRotation ? 0 : m_settings.LogSize;
    if (CLogFile::Append(path, line, limit) != CLogFile::EWrite::OverLimit)
        return;

    int renameError = 0;
    const CLogFile::ERotate rotation = CLogFile::Rotate(path, &renameError);
    std::string notes;
    if (rotation == CLogFile::ERotate::Failed) {
        // The log keeps its name and stays over the limit: say so once, not at every line.
        if (m_rotationFailureReported)
            return;
        m_rotationFailureReported = true;
        notes = SystemErrorSuffixOf(renameError);
    }

    // Copies: the settings are read live and the front end may change them meanwhile.
    const std::string logPath = path;
    const std::string oldPath = CLogFile::OldPath(logPath);
    m_reportingRotation = true;
    OutputMessage(MessageKind::kWarning, ReportText::kLogRotatedNotice, logPath, oldPath, notes);
    m_reportingRotation = false;
}

void CMessageOutput::Beep(EBeep beep)
{
    if (m_services.sink)
        m_services.sink->Beep(beep);
}

void CMessageOutput::PlayNotifySound(const std::string& soundFile)
{
    if (m_settings.Sound == 0)
        return;
    IMessageSink* const sink = m_services.sink;
    if (soundFile.empty() || !sink || !sink->PlaySoundFile(soundFile))
        Beep(EBeep::Exclamation);
}

void CMessageOutput::PlayNotifySound()
{
    if (m_settings.Sound == 0)
        return;
    Beep(EBeep::Information);
}

void CMessageOutput::BeepInfo(bool force)
{
    if (m_settings.Sound != 0 || force)
        Beep(EBeep::Information);
}
