#include "framework/win_app.h"

#include "platform/program_paths.h"

CwWinApp::CwWinApp(int& argc, char** argv)
    : QApplication(argc, argv), m_commandLine(CCommandLine::FromArgv(argc, argv))
{
}

bool CwWinApp::GetCommandLineOption(std::string_view name, std::string* value) const
{
    return m_commandLine.GetCommandLineOption(name, value);
}

std::string CwWinApp::GetProgramDirectory()
{
    std::string directory = ::GetProgramDirectory();
    if (directory.empty() || directory.back() != '/')
        directory += '/';
    return directory;
}
