#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

#include "app/test_window.h"
#include "framework/win_app.h"
#include "version.h"

int main(int argc, char** argv)
{
    CwWinApp application(argc, argv);
    if (application.CommandLine().HasLongOption("help")) {
        std::fputs(CommandLineUsage("tovix").c_str(), stdout);
        return 0;
    }
    if (application.CommandLine().HasLongOption("version")) {
        std::printf("tovix %s\n", kTovixVersion);
        return 0;
    }

    // The standard buttons of the boxes speak the desktop's language.
    QTranslator translator;
    if (translator.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);

    CDesktopHost host(application.CommandLine());
    return host.Run();
}
