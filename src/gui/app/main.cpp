#include <QLibraryInfo>
#include <QLocale>
#include <QSessionManager>
#include <QTranslator>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/tovix_app.h"
#include "framework/profile.h"
#include "framework/win_app.h"
#include "platform/linux/inotify_notifier.h"
#include "platform/qt_event_pump.h"
#include "platform/qt_timer_service.h"
#include "termination_signals.h"
#include "version.h"

namespace {

// Shift, Ctrl and Alt held together ask for a dry run.
class CGuiKeyState final : public IKeyState
{
public:
    bool AbortKeysHeld() const override
    {
        const Qt::KeyboardModifiers all = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
        return (QGuiApplication::queryKeyboardModifiers() & all) == all;
    }
};

} // namespace

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
    QGuiApplication::setDesktopFileName(QStringLiteral("tovix"));
    // The program lives in the tray: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // The standard buttons of the boxes speak the desktop's language.
    QTranslator translator;
    if (translator.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);

    CQtEventPump pump;
    CQtTimerService timers;
    CSystemClock clock;
    CGuiKeyState keys;
    CInotifyNotifierFactory notifiers;
    CTovixApp app(application.CommandLine(), CDesktopServices{&pump, &timers, &clock, &keys, &notifiers, {}});
    CwProfile::SetStore(&app.App().Core().Profile());

    // A session or service manager ends the program with these: like Exit, without the
    // question.
    CTerminationSignals terminationSignals;
    if (!terminationSignals.Install([&app](int) { app.OnTerminationSignal(); }))
        std::fprintf(stderr, "SIGINT and SIGTERM cannot be caught: %s\n", std::strerror(errno));
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &application,
                     [&app](QSessionManager& manager) { app.OnCommitDataRequest(manager); });

    int status = 3;
    if (app.InitInstance())
        status = QApplication::exec();
    const int exitStatus = app.ExitInstance();
    CwProfile::SetStore(nullptr);
    return status == 0 ? exitStatus : status;
}
