#pragma once

// Power and sleep events of the desktop, from the system bus: the login manager's
// PrepareForSleep (suspend, resume) and the power daemon's changes (on battery or on the
// AC line again, battery low). Each event is handed on by its event code. Without a
// system bus (a container, a CI machine) nothing is ever reported.

#include <QObject>
#include <QVariantMap>

class CPowerMonitor final : public QObject
{
    Q_OBJECT
public:
    explicit CPowerMonitor(QObject* parent = nullptr);

    // False when no system bus could be reached.
    bool Connected() const { return m_connected; }

signals:
    void PowerEvent(int code);

private slots:
    void OnPrepareForSleep(bool start);
    void OnPowerPropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                                  const QStringList& invalidated);
    void OnDisplayDeviceChanged(const QString& interfaceName, const QVariantMap& changed,
                                const QStringList& invalidated);

private:
    bool m_connected = false;
    bool m_batteryLowReported = false;
};
