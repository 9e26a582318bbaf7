#include "mainwnd/power_monitor.h"

#include <QDBusConnection>

#include "app/power_events.h"

namespace {

const QString kLogin = QStringLiteral("org.freedesktop.login1");
const QString kLoginPath = QStringLiteral("/org/freedesktop/login1");
const QString kLoginManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kPower = QStringLiteral("org.freedesktop.UPower");
const QString kPowerPath = QStringLiteral("/org/freedesktop/UPower");
const QString kDisplayDevicePath = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kPropertiesChanged = QStringLiteral("PropertiesChanged");

// The power daemon's warning levels from "low" on.
constexpr unsigned kWarningLevelLow = 3;

} // namespace

CPowerMonitor::CPowerMonitor(QObject* parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    m_connected = true;
    bus.connect(kLogin, kLoginPath, kLoginManager, QStringLiteral("PrepareForSleep"), this,
                SLOT(OnPrepareForSleep(bool)));
    bus.connect(kPower, kPowerPath, kProperties, kPropertiesChanged, this,
                SLOT(OnPowerPropertiesChanged(QString, QVariantMap, QStringList)));
    bus.connect(kPower, kDisplayDevicePath, kProperties, kPropertiesChanged, this,
                SLOT(OnDisplayDeviceChanged(QString, QVariantMap, QStringList)));
}

void CPowerMonitor::OnPrepareForSleep(bool start)
{
    emit PowerEvent(start ? PowerEvent::kSuspend : PowerEvent::kResumeSuspend);
}

void CPowerMonitor::OnPowerPropertiesChanged(const QString&, const QVariantMap& changed, const QStringList&)
{
    if (changed.contains(QStringLiteral("OnBattery")))
        emit PowerEvent(PowerEvent::kPowerStatusChange);
}

void CPowerMonitor::OnDisplayDeviceChanged(const QString&, const QVariantMap& changed, const QStringList&)
{
    const auto level = changed.find(QStringLiteral("WarningLevel"));
    if (level == changed.end())
        return;
    // Once per descent: the level goes on to critical and action without a new row.
    const bool low = level->toUInt() >= kWarningLevelLow;
    if (low && !m_batteryLowReported)
        emit PowerEvent(PowerEvent::kBatteryLow);
    m_batteryLowReported = low;
}
