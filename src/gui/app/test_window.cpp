#include "app/test_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStatusBar>

#include "framework/list_font.h"
#include "framework/profile.h"
#include "version.h"

CListsWindow::CListsWindow()
{
    m_view = new CReportView(this);
    setCentralWidget(m_view);
    QStatusBar* status = statusBar();
    connect(m_view, &CReportView::StatusTextChanged, status,
            [status](const QString& text) { status->showMessage(text); });
    setWindowTitle(QString::fromUtf8(kApplicationName));
}

void CListsWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit CloseRequested();
}

bool CGuiKeyState::AbortKeysHeld() const
{
    const Qt::KeyboardModifiers all = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    return (QGuiApplication::queryKeyboardModifiers() & all) == all;
}

void CDesktopHost::CHooks::SetListRowLimit(int rows)
{
    if (m_host.m_window)
        m_host.m_window->View()->SetRowLimit(rows);
}

bool CDesktopHost::CHooks::IsMainWindowMinimized() const
{
    return m_host.m_window && m_host.m_window->isMinimized();
}

void CDesktopHost::CHooks::ShowNotice(const std::string& text)
{
    m_host.m_prompter.MessageBox(text, {}, MessageBoxType::kOk | MessageBoxType::kIconInformation);
}

void CDesktopHost::CHooks::SettingsFileChanged(const std::string& path)
{
    if (m_host.m_window)
        m_host.m_window->setWindowTitle(QFileInfo(QString::fromStdString(path)).fileName()
                                        + QStringLiteral(" - ") + QString::fromUtf8(kApplicationName));
}

CDesktopHost::CDesktopHost(CCommandLine commandLine)
    : m_app(std::move(commandLine),
            CHostServices{nullptr, &m_prompter, &m_pump, &m_timers, &m_clock, &m_keys})
{
    m_app.SetFrontEndHooks(&m_hooks);
    CwProfile::SetStore(&m_app.Core().Profile());
}

CDesktopHost::~CDesktopHost()
{
    m_app.SetMessageSink(nullptr);
    m_window.reset();
    CwProfile::SetStore(nullptr);
}

int CDesktopHost::Run()
{
    if (!m_app.LoadSettingsFile(m_app.InitialSettingsFileName()))
        return 3;

    m_window = std::make_unique<CListsWindow>();
    CReportView* view = m_window->View();
    m_prompter.SetOwner(m_window.get());
    m_progress.SetOwner(m_window.get());
    const CGeneralSettings& general = m_app.Core().Settings().general;
    view->SetListFont(ListFontFromSettings(general.FontName, general.FontData, view->font()));
    view->SetAutoScroll(m_app.AutoScroll());
    m_app.SetMessageSink(view);
    QObject::connect(m_window.get(), &CListsWindow::CloseRequested, [this] { Quit(0); });
    m_hooks.SettingsFileChanged(m_app.Core().SettingsFilePath());

    m_window->show();
    m_app.StartEngine(m_notifiers);
    const int status = QApplication::exec();
    m_app.StopEngine();
    m_app.SetMessageSink(nullptr);
    m_window.reset();
    return status;
}

void CDesktopHost::Quit(int exitCode)
{
    m_pump.MarkQuitting();
    QMetaObject::invokeMethod(
        qApp, [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
}
