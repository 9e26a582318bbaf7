#include "report/ask_user.h"

#include <climits>

#include "report/format_text.h"
#include "report/message_output.h"
#include "report/report_texts.h"
#include "version.h"

namespace {

constexpr int kUseDlgTimer = -1;
constexpr int kMillisecondsPerSecond = 1000;

// Limits beyond what a timer can hold are as good as "no limit".
int LimitMilliseconds(int seconds)
{
    if (seconds > INT_MAX / kMillisecondsPerSecond)
        return INT_MAX;
    return seconds * kMillisecondsPerSecond;
}

} // namespace

std::string AnswerWord(int answer)
{
    const char* word = nullptr;
    switch (answer) {
    case MessageBoxAnswer::kTimeout:
        word = ReportText::kAnswerTimeout;
        break;
    case MessageBoxAnswer::kOk:
        word = ReportText::kAnswerOk;
        break;
    case MessageBoxAnswer::kCancel:
        word = ReportText::kAnswerCancel;
        break;
    case MessageBoxAnswer::kAbort:
        word = ReportText::kAnswerAbort;
        break;
    case MessageBoxAnswer::kRetry:
        word = ReportText::kAnswerRetry;
        break;
    case MessageBoxAnswer::kIgnore:
        word = ReportText::kAnswerIgnore;
        break;
    case MessageBoxAnswer::kYes:
        word = ReportText::kAnswerYes;
        break;
    case MessageBoxAnswer::kNo:
        word = ReportText::kAnswerNo;
        break;
    default:
        break;
    }
    if (word)
        return std::string(ReportText::kAnswerPrefix) + word;
    return std::string(ReportText::kAnswerPrefix) + std::to_string(answer);
}

int AskUser(CMessageOutput& output, const CHostServices& services, int dlgTimer, const std::string& text,
            const std::string& title, unsigned type, bool log, int seconds)
{
    // Taken before the question: showing a box may change the last error.
    const std::string errorSuffix = SystemErrorSuffix();

    if (seconds == kUseDlgTimer)
        seconds = dlgTimer;

    int answer = MessageBoxAnswer::kTimeout;
    if (seconds > 0 && services.prompter != nullptr) {
        answer = services.prompter->TimedMessageBox(
            text, title.empty() ? std::string(kApplicationName) : title, type, LimitMilliseconds(seconds));
    }

    if (log) {
        output.OutputMessage(MessageKind::kWarning, FlattenLineBreaks(text), {}, {},
                             AnswerWord(answer) + ReportText::kAnswerSeparator + errorSuffix);
    }
    return answer;
}
