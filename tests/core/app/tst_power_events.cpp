#include <QtTest>

#include <string>
#include <vector>

#include "app/power_events.h"
#include "helpers/temp_tree.h"
#include "platform/linux/power_supply.h"

Q_DECLARE_METATYPE(std::string)

using Attributes = std::vector<std::pair<std::string, std::string>>;
Q_DECLARE_METATYPE(Attributes)

// The row of a power event, with the power status read from a power-supply folder laid
// out as the kernel does (one folder per supply, one file per attribute).
class TestPowerEvents : public QObject
{
    Q_OBJECT

private slots:
    void eventText_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<std::string>("message");
        QTest::addColumn<std::string>("info");
        QTest::newRow("suspend") << 4 << std::string("APM Event - System is suspending operation")
                                 << std::string();
        QTest::newRow("resume") << 7 << std::string("APM Event - Operation resuming after suspension")
                                << std::string();
        QTest::newRow("battery low") << 9 << std::string("APM Event - Battery power is low") << std::string();
        QTest::newRow("oem") << 11 << std::string("APM Event - OEM-defined event")
                             << std::string("lParam=2A");
        QTest::newRow("status unreadable")
            << 10 << std::string("APM Event - Power status has changed") << std::string();
        QTest::newRow("unknown code") << 99 << std::string("APM Event - ???") << std::string();
    }

    void eventText()
    {
        QFETCH(int, code);
        QFETCH(std::string, message);
        QFETCH(std::string, info);
        const CPowerEventRow row = DescribePowerEvent(code, nullptr, 42);
        QCOMPARE(row.message, message);
        QCOMPARE(row.info, info);
    }

    // Each attribute is "supply/attribute" = value.
    void statusChange_data()
    {
        QTest::addColumn<Attributes>("attributes");
        QTest::addColumn<std::string>("info");
        QTest::newRow("desktop without battery")
            << Attributes{{"AC/type", "Mains"}, {"AC/online", "1"}}
            << std::string("AC=On, BatteryLife=255%, Flag=128, LifeTime=-1, FullLifeTime=-1");
        QTest::newRow("no supply information")
            << Attributes{} << std::string("AC=?, BatteryLife=255%, Flag=128, LifeTime=-1, FullLifeTime=-1");
        QTest::newRow("discharging, energy")
            << Attributes{{"AC/type", "Mains"},
                          {"AC/online", "0"},
                          {"BAT0/type", "Battery"},
                          {"BAT0/status", "Discharging"},
                          {"BAT0/energy_now", "20000000"},
                          {"BAT0/energy_full", "50000000"},
                          {"BAT0/power_now", "10000000"}}
            << std::string("AC=Off, BatteryLife=40%, Flag=0, LifeTime=7200, FullLifeTime=18000");
        QTest::newRow("charging, charge, two batteries")
            << Attributes{{"ADP1/type", "Mains"},         {"ADP1/online", "1"},
                          {"BAT0/type", "Battery"},       {"BAT0/status", "Charging"},
                          {"BAT0/charge_now", "4000000"}, {"BAT0/charge_full", "5000000"},
                          {"BAT1/type", "Battery"},       {"BAT1/charge_now", "4000000"},
                          {"BAT1/charge_full", "5000000"}}
            << std::string("AC=On, BatteryLife=80%, Flag=9, LifeTime=-1, FullLifeTime=-1");
        QTest::newRow("battery of a mouse does not count")
            << Attributes{{"AC/type", "Mains"},
                          {"AC/online", "1"},
                          {"hid/type", "Battery"},
                          {"hid/scope", "Device"},
                          {"hid/capacity", "3"}}
            << std::string("AC=On, BatteryLife=255%, Flag=128, LifeTime=-1, FullLifeTime=-1");
        QTest::newRow("battery without amounts")
            << Attributes{{"BAT0/type", "Battery"}, {"BAT0/status", "Discharging"}}
            << std::string("AC=Off, BatteryLife=255%, Flag=255, LifeTime=-1, FullLifeTime=-1");
        QTest::newRow("nearly empty")
            << Attributes{{"AC/type", "Mains"},
                          {"AC/online", "0"},
                          {"BAT0/type", "Battery"},
                          {"BAT0/energy_now", "1000000"},
                          {"BAT0/energy_full", "50000000"}}
            << std::string("AC=Off, BatteryLife=2%, Flag=6, LifeTime=-1, FullLifeTime=-1");
    }

    void statusChange()
    {
        QFETCH(Attributes, attributes);
        QFETCH(std::string, info);
        CTempTree tree;
        tree.MakeFolder("power_supply");
        for (const auto& [attribute, value] : attributes)
            tree.WriteFile("power_supply/" + attribute, value + "\n");
        CLinuxPowerStatus power(tree.Path("power_supply"));
        CSystemPowerStatus status;
        QVERIFY(power.ReadSystemStatus(status));
        QCOMPARE(DescribePowerEvent(10, &status).info, info);
    }
};

QTEST_GUILESS_MAIN(TestPowerEvents)
#include "tst_power_events.moc"
