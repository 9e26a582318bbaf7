#include <QCoreApplication>
#include <cstdio>

#include "console_host.h"
#include "settings/application_core.h"
#include "settings/settings_report.h"
#include "version.h"

namespace {
constexpr int kExitCannotStart = 3;
}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const CCommandLine commandLine = CCommandLine::FromArgv(argc, argv);
    if (commandLine.HasLongOption("help")) {
        std::fputs(CommandLineUsage("tovix-console").c_str(), stdout);
        return 0;
    }
    if (commandLine.HasLongOption("version")) {
        std::printf("tovix-console %s\n", kTovixVersion);
        return 0;
    }

    CConsoleSink sink;
    CConsolePrompter prompter;
    CSystemClock clock;
    CNoKeyState keys;
    const CHostServices services{&sink, &prompter, nullptr, nullptr, &clock, &keys};
    CApplicationCore core(services, commandLine);
    if (!core.LoadSettingsFile(core.InitialSettingsFileName()))
        return kExitCannotStart;

    std::printf("Settings file: %s\n\n%s", core.SettingsFilePath().c_str(),
                DescribeSettings(core.Settings()).c_str());
    return 0;
}
