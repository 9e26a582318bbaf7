#include <QCoreApplication>
#include <csignal>
#include <cstdio>

#include "console_host.h"
#include "settings/command_line.h"
#include "version.h"

int main(int argc, char** argv)
{
    // A reader of standard output that goes away (| head) must not end the backup: a
    // failed write is noticed where it happens. Programs started from here get the
    // default disposition back.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication application(argc, argv);
    CCommandLine commandLine = CCommandLine::FromArgv(argc, argv);
    if (commandLine.HasLongOption("help")) {
        std::fputs(CommandLineUsage("tovix-console").c_str(), stdout);
        std::fputs(ConsoleUsageNotes().c_str(), stdout);
        return ConsoleExit::kSuccess;
    }
    if (commandLine.HasLongOption("version")) {
        std::printf("tovix-console %s\n", kTovixVersion);
        return ConsoleExit::kSuccess;
    }

    const bool printSettings = commandLine.HasLongOption("print-settings");
    CConsoleHost host(std::move(commandLine));
    return printSettings ? host.PrintSettings() : host.Run();
}
