#pragma once

// The application base of the desktop program: the Qt application plus the framework's
// start-up operations. Option scanning and the program folder are the core's, so the
// desktop program and the console read the command line alike.

#include <QApplication>
#include <string>

#include "settings/command_line.h"

class CwWinApp : public QApplication
{
    Q_OBJECT
public:
    CwWinApp(int& argc, char** argv);

    const CCommandLine& CommandLine() const { return m_commandLine; }
    bool GetCommandLineOption(std::string_view name, std::string* value = nullptr) const;
    // The program's folder with a trailing separator.
    static std::string GetProgramDirectory();

    // The settings file's version stamp is not acted on, and only one instance check
    // exists (and it is off): these only keep the start-up sequence's shape.
    virtual int CheckIniVersion(bool write) { return GetIniVersion(); }
    virtual int GetIniVersion() { return 0; }
    virtual bool InitInstanceCheck(bool showMessage) { return true; }

private:
    CCommandLine m_commandLine;
};
