#include "framework/progress_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "framework/control_id.h"
#include "framework/profile.h"

namespace {

constexpr int kMargin = 10;
constexpr int kEdge = 2; // the width of a sunken edge
constexpr int kDefaultPosition = -1;

QWidget* OwnerOrMainWindow(QWidget* owner)
{
    if (owner)
        return owner->window();
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->inherits("QMainWindow"))
            return widget;
    return nullptr;
}

} // namespace

CwPgsWnd::CwPgsWnd(QWidget* owner, const QString& title, bool smooth, const QString& buttonText,
                   bool rememberPosition)
    : QWidget(OwnerOrMainWindow(owner),
              Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_rememberPosition(rememberPosition)
{
    setWindowTitle(title);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setCursor(Qt::BusyCursor);
    setFont(QApplication::font("QMessageBox"));

    m_text = new QLabel(this);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(false);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_text->setTextInteractionFlags(Qt::NoTextInteraction);
    SetControlId(m_text, ProgressWindow::kTextId);

    m_bar = new QProgressBar(this);
    m_bar->setTextVisible(false);
    m_bar->setRange(m_lower, m_upper);
    m_bar->setValue(m_position);
    if (!smooth)
        m_bar->setStyleSheet(QStringLiteral("QProgressBar::chunk { width: 8px; margin: 1px; }"));
    SetControlId(m_bar, ProgressWindow::kBarId);

    m_button = new QPushButton(buttonText, this);
    m_button->setAutoDefault(false);
    m_button->setFocusPolicy(Qt::TabFocus);
    m_button->setCursor(Qt::ArrowCursor);
    m_button->setAccessibleName(buttonText.trimmed().isEmpty() ? title : buttonText.trimmed());
    SetControlId(m_button, ProgressWindow::kButtonId);
    connect(m_button, &QPushButton::clicked, this, &CwPgsWnd::PressButton);

    LayOut(ProgressWindow::kTextLines, ProgressWindow::kTextWidth);
    Place();
    ShowWithoutActivating();
    if (m_centred)
        Centre();
}

CwPgsWnd::~CwPgsWnd()
{
    if (m_filtering)
        qApp->removeEventFilter(this);
    if (m_rememberPosition) {
        CwProfile::CBatch batch;
        CwProfile::WriteProfileInt(ProgressWindow::kSection, ProgressWindow::kX, pos().x());
        CwProfile::WriteProfileInt(ProgressWindow::kSection, ProgressWindow::kY, pos().y());
    }
}

void CwPgsWnd::LayOut(int lines, int width)
{
    const QFontMetrics metrics(font());
    QStringList sample;
    for (int line = 0; line < lines; ++line)
        sample << QStringLiteral("M");
    const int textHeight =
        metrics.boundingRect(QRect(0, 0, width, 10000), Qt::AlignLeft, sample.join('\n')).height();
    m_text->setGeometry(kMargin, kMargin, width, textHeight);

    const int buttonWidth = metrics.horizontalAdvance(m_button->text() + QStringLiteral("  ")) + 4 * kEdge;
    const int buttonHeight = metrics.height() + 3 * kEdge;
    const int buttonTop = kMargin + textHeight + kMargin;
    const int buttonLeft = kMargin + width - buttonWidth;
    m_button->setGeometry(buttonLeft, buttonTop, buttonWidth, buttonHeight);

    const int barRight = buttonLeft - kMargin;
    m_bar->setGeometry(kMargin, buttonTop + kEdge, std::max(0, barRight - kMargin),
                       std::max(0, buttonHeight - 2 * kEdge));

    setFixedSize(width + 2 * kMargin, textHeight + buttonHeight + 3 * kMargin);
}

void CwPgsWnd::Place()
{
    const int x = m_rememberPosition ? CwProfile::GetProfileInt(ProgressWindow::kSection, ProgressWindow::kX,
                                                                kDefaultPosition)
                                     : kDefaultPosition;
    const int y = m_rememberPosition ? CwProfile::GetProfileInt(ProgressWindow::kSection, ProgressWindow::kY,
                                                                kDefaultPosition)
                                     : kDefaultPosition;
    const QPoint stored(x, y);
    // The stored corner must lie on a screen (screens may have gone since).
    if (x >= 0 && y >= 0 && QGuiApplication::screenAt(stored)) {
        move(stored);
        return;
    }
    m_centred = true;
    Centre();
}

void CwPgsWnd::Centre()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // The frame is known only once the window is shown; until then the client area
        // stands for it.
        QRect frame(QPoint(), isVisible() ? frameGeometry().size() : size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void CwPgsWnd::ShowWithoutActivating()
{
    show();
    raise();
}

void CwPgsWnd::SetRange(int lower, int upper, int step)
{
    m_lower = lower;
    m_upper = upper;
    m_step = step;
    // A bar cannot show an empty or reversed range; positions are still taken.
    m_bar->setRange(lower, std::max(lower, upper));
}

int CwPgsWnd::SetPos(int position)
{
    if (isHidden())
        ShowWithoutActivating();
    const int previous = m_position;
    m_position = position;
    m_bar->setValue(std::clamp(position, m_bar->minimum(), m_bar->maximum()));
    return previous;
}

void CwPgsWnd::SetText(const QString& text)
{
    m_text->setText(text);
}

void CwPgsWnd::PressButton()
{
    m_cancelled = true;
    if (isVisible())
        hide();
    if (QWidget* owner = parentWidget()) {
        owner->raise();
        owner->activateWindow();
    }
    emit ButtonPressed();
}

void CwPgsWnd::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        PressButton();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CwPgsWnd::closeEvent(QCloseEvent* event)
{
    // The window is the caller's to destroy; closing it is the same as the button.
    event->ignore();
    PressButton();
}

bool CwPgsWnd::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape
        && watched->isWidgetType()) {
        PressButton();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool CwPgsWnd::PumpWaiting(bool escapeCancels)
{
    if (m_cancelled)
        return true;
    if (escapeCancels && !m_filtering) {
        qApp->installEventFilter(this);
        m_filtering = true;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (m_filtering) {
        qApp->removeEventFilter(this);
        m_filtering = false;
    }
    return m_cancelled;
}

void CwPgsWnd::WaitForCancel(bool escapeCancels)
{
    if (m_cancelled)
        return;
    if (escapeCancels && !m_filtering) {
        qApp->installEventFilter(this);
        m_filtering = true;
    }
    QEventLoop loop;
    connect(this, &CwPgsWnd::ButtonPressed, &loop, &QEventLoop::quit);
    connect(qApp, &QCoreApplication::aboutToQuit, &loop, &QEventLoop::quit);
    loop.exec();
    if (m_filtering) {
        qApp->removeEventFilter(this);
        m_filtering = false;
    }
}
