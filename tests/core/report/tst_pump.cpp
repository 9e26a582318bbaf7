#include <QtTest>

#include <cerrno>

#include "helpers/fake_services.h"
#include "platform/last_error.h"
#include "report/pump.h"

class TestPump : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { ClearLastSystemError(); }

    void keepsTheLastError_data();
    void keepsTheLastError();
    void withoutPump();
};

void TestPump::keepsTheLastError_data()
{
    QTest::addColumn<bool>("quitting");
    QTest::addColumn<int>("before");
    QTest::newRow("running, error set") << false << EACCES;
    QTest::newRow("running, no error") << false << 0;
    QTest::newRow("quitting") << true << ENOSPC;
}

void TestPump::keepsTheLastError()
{
    QFETCH(bool, quitting);
    QFETCH(int, before);

    CFakeHost host;
    host.pump.quitting = quitting;
    bool ran = false;
    // A command handler that runs during the pump and fails at something of its own.
    host.pump.actionsAtPump[1] = [&] {
        ran = true;
        SetLastSystemError(ENOENT);
        errno = ENOENT;
    };

    SetLastSystemError(before);
    errno = EXDEV;
    const bool goOn = PumpPendingMessages(host.Services());
    const int errnoAfter = errno;

    QVERIFY(ran);
    QCOMPARE(goOn, !quitting);
    QCOMPARE(GetLastSystemError(), before);
    QCOMPARE(errnoAfter, EXDEV);
    QCOMPARE(host.pump.pumpCount, 1);
}

void TestPump::withoutPump()
{
    CHostServices services;
    SetLastSystemError(EACCES);
    QVERIFY(PumpPendingMessages(services));
    QCOMPARE(GetLastSystemError(), EACCES);
}

QTEST_GUILESS_MAIN(TestPump)
#include "tst_pump.moc"
