#include "mainwnd/tray_icon.h"

#include <QIcon>
#include <QSystemTrayIcon>

#include "mainwnd/command_ids.h"
#include "mainwnd/frame_texts.h"
#include "version.h"

QIcon StateIcon(int iconId)
{
    switch (iconId) {
    case TrayIconId::kDisabled:
        return QIcon(QStringLiteral(":/icons/state-disabled.svg"));
    case TrayIconId::kHold:
        return QIcon(QStringLiteral(":/icons/state-hold.svg"));
    case TrayIconId::kProcessing:
        return QIcon(QStringLiteral(":/icons/state-processing.svg"));
    default:
        return QIcon(QStringLiteral(":/icons/state-ready.svg"));
    }
}

CTrayIcon::CTrayIcon(QObject* parent) : QObject(parent)
{
    m_tray = new QSystemTrayIcon(this);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Context)
            emit RightClicked();
        else if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            emit LeftClicked();
    });
}

CTrayIcon::~CTrayIcon()
{
    m_tray->hide();
}

bool CTrayIcon::TrayAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

QString CTrayIcon::MakeTip(const QString& path)
{
    return (QString::fromUtf8(kApplicationName) + QString::fromUtf8(FrameText::kTrayTipSeparator) + path)
        .left(FrameText::kTrayTipLimit);
}

void CTrayIcon::SetSettingsPath(const QString& path)
{
    m_tip = MakeTip(path);
    m_tray->setToolTip(m_tip);
}

bool CTrayIcon::Set(bool show, int iconId)
{
    if (!show) {
        m_current = TrayIconId::kNone;
        ++m_operations;
        m_tray->hide();
        return true;
    }
    if (iconId == m_current)
        return true;
    // The record holds the new id even when the tray refuses it, so the same id is not
    // offered again until the state changes.
    m_current = iconId;
    ++m_operations;
    m_tray->setIcon(StateIcon(iconId));
    m_tray->setToolTip(m_tip);
    if (!m_tray->isVisible())
        m_tray->show();
    return TrayAvailable();
}
