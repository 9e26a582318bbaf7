#pragma once

// The console program as a real process for end-to-end tests: started on a temporary
// tree with its configuration folder and %TEMP% inside it, killed when the test ends
// early so that none outlives a failure.

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <functional>
#include <string>

class CTempTree;

// Polls the condition until it holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs);

// A line of the given kind letter whose text holds the given bytes.
bool HasLine(const QByteArray& output, const QByteArray& kindLetter, const QByteArray& text);

// tovix-console beside the test (TOVIX_BIN_DIR) or, run by hand, beside the test program.
QString ConsoleProgram();

// The program's temporary copy files anywhere below root.
QStringList TemporaryFilesBelow(const std::string& root);

class CConsoleRun
{
public:
    // With a wrapper (e.g. setpriv and its options), the program is started through it.
    CConsoleRun(const CTempTree& tree, const QStringList& arguments, const QStringList& wrapper = {});
    ~CConsoleRun();
    CConsoleRun(const CConsoleRun&) = delete;
    CConsoleRun& operator=(const CConsoleRun&) = delete;

    QProcess& Process() { return m_process; }
    qint64 Pid() const { return m_process.processId(); }
    const QByteArray& Output();
    QByteArray Errors() { return m_process.readAllStandardError(); }
    bool Shows(const QByteArray& kindLetter, const QByteArray& text);
    // Waits for the end; false when it did not end in time.
    bool Finish(int timeoutMs);

private:
    QProcess m_process;
    QByteArray m_output;
};
