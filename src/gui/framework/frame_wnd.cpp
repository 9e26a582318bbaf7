#include "framework/frame_wnd.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWindowStateChangeEvent>

#include "framework/profile.h"

namespace {

constexpr int kFrameSettleMs = 300;

// A rectangle of another screen layout (a screen that is gone, a lower resolution) is
// brought onto the primary screen's available area, as the window system would.
QRect OnScreen(QRect rect)
{
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersects(rect))
            return rect;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return rect;
    const QRect available = primary->availableGeometry();
    rect.setSize(rect.size().boundedTo(available.size()));
    rect.moveTopLeft(available.topLeft());
    return rect;
}

} // namespace

CwFrameWnd::CwFrameWnd(QWidget* parent) : QMainWindow(parent) {}

CwFrameWnd::~CwFrameWnd()
{
    SavePlacement();
}

QToolBar* CwFrameWnd::FrameToolBar() const
{
    return findChild<QToolBar*>(QString(), Qt::FindDirectChildrenOnly);
}

QStatusBar* CwFrameWnd::FrameStatusBar() const
{
    return findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly);
}

void CwFrameWnd::showEvent(QShowEvent* event)
{
    if (m_firstShowPending && m_restorePlacement && !event->spontaneous())
        RestorePlacement();
    m_firstShowPending = false;
    QMainWindow::showEvent(event);
}

// A window manager that frames the window only after it is mapped places the client area
// at the corner meant for the frame; once the frame is known the corner is put right.
void CwFrameWnd::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    CorrectCorner();
}

void CwFrameWnd::CorrectCorner()
{
    if (!m_intendedCorner || windowState() != Qt::WindowNoState || !isVisible())
        return;
    if (frameGeometry().topLeft() == geometry().topLeft())
        return; // not framed yet
    const QPoint corner = *m_intendedCorner;
    m_intendedCorner.reset();
    // Only that misplacement is undone; a move of anyone else stands.
    if (geometry().topLeft() == corner)
        move(corner);
}

void CwFrameWnd::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange) {
        const Qt::WindowStates now = windowState();
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        if (now & Qt::WindowMinimized)
            m_maximizedBeforeMinimize =
                (now & Qt::WindowMaximized) || (change->oldState() & Qt::WindowMaximized);
        else
            m_maximizedBeforeMinimize = false;
    }
    QMainWindow::changeEvent(event);
}

void CwFrameWnd::RestorePlacement()
{
    const QRect rect = OnScreen(CwProfile::GetProfileRect(m_section, FrameKey::kWindowRect, DefaultRect()));
    const bool iconize = CwProfile::GetProfileInt(m_section, FrameKey::kIconize, 0) != 0;
    const bool maximize = CwProfile::GetProfileInt(m_section, FrameKey::kMaximize, 0) != 0;

    // The normal rectangle first, so that leaving the maximised or minimised state later
    // comes back to it. Its corner is the frame's (title bar included), its size the
    // client area's: what is stored is what the user saw.
    move(rect.topLeft());
    resize(rect.size());
    m_intendedCorner = rect.topLeft();
    // The frame's extents may come without a move of the client area.
    QTimer::singleShot(kFrameSettleMs, this, [this] {
        CorrectCorner();
        m_intendedCorner.reset();
    });
    Qt::WindowStates state = Qt::WindowNoState;
    if (maximize)
        state |= Qt::WindowMaximized;
    if (iconize) {
        state |= Qt::WindowMinimized;
        m_maximizedBeforeMinimize = maximize;
        // Shown minimised, the frame must not take the focus from the user's work.
        setAttribute(Qt::WA_ShowWithoutActivating);
    }
    setWindowState(state);

    if (QToolBar* toolBar = FrameToolBar())
        toolBar->setVisible(CwProfile::GetProfileInt(m_section, FrameKey::kToolBar, 1) != 0);
    if (QStatusBar* statusBar = FrameStatusBar())
        statusBar->setVisible(CwProfile::GetProfileInt(m_section, FrameKey::kStatusBar, 1) != 0);
}

void CwFrameWnd::SavePlacement()
{
    if (!m_savePlacement || m_saved)
        return;
    m_saved = true;
    const Qt::WindowStates state = windowState();
    int iconize = 0;
    int maximize = 0;
    if (state & Qt::WindowMinimized) {
        iconize = 1;
        maximize = (m_maximizedBeforeMinimize || (state & Qt::WindowMaximized)) ? 1 : 0;
    } else if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        maximize = 1;
    }
    QRect normal = (state == Qt::WindowNoState || normalGeometry().isEmpty()) ? geometry() : normalGeometry();
    // The window system's frame lies around the client area by the same amount in every
    // state.
    normal.moveTopLeft(normal.topLeft() - (geometry().topLeft() - pos()));

    CwProfile::CBatch batch;
    CwProfile::WriteProfileRect(m_section, FrameKey::kWindowRect, normal);
    CwProfile::WriteProfileInt(m_section, FrameKey::kIconize, iconize);
    CwProfile::WriteProfileInt(m_section, FrameKey::kMaximize, maximize);
    if (const QToolBar* toolBar = FrameToolBar())
        CwProfile::WriteProfileInt(m_section, FrameKey::kToolBar, toolBar->isHidden() ? 0 : 1);
    if (const QStatusBar* statusBar = FrameStatusBar())
        CwProfile::WriteProfileInt(m_section, FrameKey::kStatusBar, statusBar->isHidden() ? 0 : 1);
}
