#pragma once

// The services of the headless front end: reports go to standard output, questions are
// printed and answer themselves as an unattended box would.

#include "platform/host_services.h"

class CConsoleSink final : public IMessageSink
{
public:
    void SetStatusText(const std::string&) override {}
    void AddReportRow(const CMessageRow& row) override;
    void AddErrorRow(const CMessageRow&) override {}
    bool PlaySoundFile(const std::string&) override { return false; }
    void Beep(EBeep) override {}
};

class CConsolePrompter final : public IPrompter
{
public:
    int TimedMessageBox(const std::string& text, const std::string& title, unsigned type,
                        int limitMs) override;
    int MessageBox(const std::string& text, const std::string& title, unsigned type) override;
    bool AskCredentials(const std::string& prompt, std::string& user,
                        std::string& password) override;
};
