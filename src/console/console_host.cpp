#include "console_host.h"

#include <cstdio>

#include "report/log_file.h"

void CConsoleSink::AddReportRow(const CMessageRow& row)
{
    std::printf("%c\t%s\t%s\t%s\t%s\t%s\t%s\n", CLogFile::KindLetter(row.kind), row.time.c_str(),
                row.date.c_str(), row.message.c_str(), row.source.c_str(), row.destination.c_str(),
                row.info.c_str());
    std::fflush(stdout);
}

int CConsolePrompter::TimedMessageBox(const std::string& text, const std::string& title,
                                      unsigned, int)
{
    std::printf("[%s] %s\n", title.c_str(), text.c_str());
    return MessageBoxAnswer::kTimeout;
}

// Nobody is there to answer: a question gets "No", a notice is only shown.
int CConsolePrompter::MessageBox(const std::string& text, const std::string& title, unsigned type)
{
    std::fprintf(stderr, "[%s] %s\n", title.c_str(), text.c_str());
    const unsigned buttons = type & MessageBoxType::kButtonMask;
    return buttons == MessageBoxType::kYesNo ? MessageBoxAnswer::kNo : MessageBoxAnswer::kOk;
}

bool CConsolePrompter::AskCredentials(const std::string& prompt, std::string&, std::string&)
{
    std::fprintf(stderr, "%s\n", prompt.c_str());
    return false;
}
