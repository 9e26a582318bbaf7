#include <QSignalSpy>
#include <QtTest>

#include "app/power_events.h"
#include "mainwnd/power_monitor.h"

// The system bus's power and sleep signals as event codes. The signals are delivered to
// the monitor's slots by name, as the bus delivers them; no bus is needed.
class TestPowerMonitor : public QObject
{
    Q_OBJECT

private slots:
    void sleepAndPower()
    {
        CPowerMonitor monitor;
        QSignalSpy events(&monitor, &CPowerMonitor::PowerEvent);
        QVERIFY(QMetaObject::invokeMethod(&monitor, "OnPrepareForSleep", Q_ARG(bool, true)));
        QVERIFY(QMetaObject::invokeMethod(&monitor, "OnPrepareForSleep", Q_ARG(bool, false)));
        const QVariantMap onBattery{{QStringLiteral("OnBattery"), true}};
        const QVariantMap other{{QStringLiteral("LidIsClosed"), true}};
        QVERIFY(QMetaObject::invokeMethod(&monitor, "OnPowerPropertiesChanged",
                                          Q_ARG(QString, QStringLiteral("org.freedesktop.UPower")),
                                          Q_ARG(QVariantMap, other), Q_ARG(QStringList, {})));
        QVERIFY(QMetaObject::invokeMethod(&monitor, "OnPowerPropertiesChanged",
                                          Q_ARG(QString, QStringLiteral("org.freedesktop.UPower")),
                                          Q_ARG(QVariantMap, onBattery), Q_ARG(QStringList, {})));
        QList<int> codes;
        for (const QList<QVariant>& event : events)
            codes << event.at(0).toInt();
        QCOMPARE(codes, (QList<int>{PowerEvent::kSuspend, PowerEvent::kResumeSuspend,
                                    PowerEvent::kPowerStatusChange}));
    }

    // Battery low once per descent: the levels below low add no row until the battery
    // has recovered.
    void batteryLowOncePerDescent()
    {
        CPowerMonitor monitor;
        QSignalSpy events(&monitor, &CPowerMonitor::PowerEvent);
        // none, low, critical, action, none, low
        for (const uint level : {1u, 3u, 4u, 5u, 1u, 3u}) {
            const QVariantMap changed{{QStringLiteral("WarningLevel"), level}};
            QVERIFY(QMetaObject::invokeMethod(&monitor, "OnDisplayDeviceChanged",
                                              Q_ARG(QString, QStringLiteral("org.freedesktop.UPower.Device")),
                                              Q_ARG(QVariantMap, changed), Q_ARG(QStringList, {})));
        }
        QCOMPARE(events.count(), 2);
        QCOMPARE(events.at(0).at(0).toInt(), PowerEvent::kBatteryLow);
    }
};

QTEST_GUILESS_MAIN(TestPowerMonitor)
#include "tst_power_monitor.moc"
