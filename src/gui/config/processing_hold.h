#pragma once

// No automatic backup starts while the user edits settings or chooses what to run by
// hand: the processing-enabled flag is 0 while a hold exists and gets back its value
// when the hold ends.

class CApplication;

class CProcessingHold
{
public:
    explicit CProcessingHold(CApplication& app);
    ~CProcessingHold();
    CProcessingHold(const CProcessingHold&) = delete;
    CProcessingHold& operator=(const CProcessingHold&) = delete;

    // Restarts monitoring under the flag the user had (a restart may change it), which
    // is then the value the hold gives back.
    void RestartMonitoring();

private:
    CApplication& m_app;
    int m_remembered;
};
