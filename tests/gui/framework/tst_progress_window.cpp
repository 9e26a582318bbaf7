#include <QtTest>

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "framework/control_id.h"
#include "framework/progress_window.h"
#include "helpers/gui_profile.h"

class TestProgressWindow : public QObject
{
    Q_OBJECT

private slots:
    void escapeHidesAndSetPosShowsAgain();
    void escapeInAnotherWindowWhilePumping();
    void pumpReturnsAtOnceWhenIdle();
    void storedPosition_data();
    void storedPosition();
    void textAndRange();
};

void TestProgressWindow::escapeHidesAndSetPosShowsAgain()
{
    CGuiProfile profile;
    CwPgsWnd window(nullptr, "Tovix", true, " Cancel ");
    QVERIFY(window.isVisible());
    QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!window.PumpWaiting(true));

    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(window.Cancelled());
    QVERIFY2(window.isHidden(), "pressing the button hides the window");
    QVERIFY(window.PumpWaiting(true));

    QCOMPARE(window.SetPos(3), 0);
    QVERIFY2(window.isVisible(), "SetPos shows a hidden window again");
    QCOMPARE(window.SetPos(4), 3);
    QVERIFY2(window.Cancelled(), "the flag stays until the caller clears it");

    window.ResetCancel();
    auto* button = FindControl<QPushButton>(&window, ProgressWindow::kButtonId);
    QVERIFY(button);
    QCOMPARE(button->text(), QString(" Cancel "));
    button->click();
    QVERIFY(window.Cancelled());
    QVERIFY(window.isHidden());
}

void TestProgressWindow::escapeInAnotherWindowWhilePumping()
{
    CGuiProfile profile;
    QLineEdit other;
    other.show();
    CwPgsWnd window(nullptr, "Tovix", true, QString());
    // Typed into another window of the program while the work pumps: posted, so the pump
    // is what sees it.
    QCoreApplication::postEvent(&other, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    QVERIFY(window.PumpWaiting(true));
    QVERIFY(window.isHidden());

    CwPgsWnd second(nullptr, "Tovix", true, QString());
    QCoreApplication::postEvent(&other, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    QVERIFY2(!second.PumpWaiting(false), "without escape cancels, Escape elsewhere is no cancel");
}

void TestProgressWindow::pumpReturnsAtOnceWhenIdle()
{
    CGuiProfile profile;
    CwPgsWnd window(nullptr, "Tovix", false, " 続行 ");
    QElapsedTimer elapsed;
    elapsed.start();
    for (int i = 0; i < 100; ++i)
        QVERIFY(!window.PumpWaiting(true));
    QVERIFY2(elapsed.elapsed() < 5000, "a pump with nothing pending must not wait for events");

    // A caller that waits for the button sleeps in the event loop until it is pressed.
    QTimer::singleShot(50, &window, [&window] { window.PressButton(); });
    window.WaitForCancel();
    QVERIFY(window.Cancelled());
}

void TestProgressWindow::storedPosition_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<bool>("used");
    QTest::newRow("on the screen") << 40 << 60 << true;
    QTest::newRow("nothing stored") << -1 << -1 << false;
    QTest::newRow("x negative") << -5 << 60 << false;
    QTest::newRow("beyond the right edge") << 5000 << 60 << false;
    QTest::newRow("below the bottom") << 40 << 5000 << false;
}

void TestProgressWindow::storedPosition()
{
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(bool, used);
    CGuiProfile profile;
    profile.store.WriteProfileInt(ProgressWindow::kSection, ProgressWindow::kX, x);
    profile.store.WriteProfileInt(ProgressWindow::kSection, ProgressWindow::kY, y);
    QPoint shownAt;
    {
        CwPgsWnd window(nullptr, "Tovix", true, QString());
        shownAt = window.pos();
        if (used) {
            QCOMPARE(shownAt, QPoint(x, y));
        } else {
            const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
            QVERIFY2(qAbs(window.frameGeometry().center().x() - screen.center().x()) <= 1
                         && qAbs(window.frameGeometry().center().y() - screen.center().y()) <= 1,
                     "an unusable position centres the window");
        }
    }
    QCOMPARE(profile.Int(ProgressWindow::kSection, ProgressWindow::kX), shownAt.x());
    QCOMPARE(profile.Int(ProgressWindow::kSection, ProgressWindow::kY), shownAt.y());
}

void TestProgressWindow::textAndRange()
{
    CGuiProfile profile;
    CwPgsWnd window(nullptr, "Tovix", true, QString());
    const QString longText = QString("x").repeated(2000);
    window.SetText(longText);
    QCOMPARE(FindControl<QLabel>(&window, ProgressWindow::kTextId)->text(), longText);

    auto* bar = FindControl<QProgressBar>(&window, ProgressWindow::kBarId);
    window.SetRange(0, 5, 1);
    window.SetPos(3);
    QCOMPARE(bar->value(), 3);
    // A reversed range still takes positions.
    window.SetRange(10, 2, 1);
    QCOMPARE(window.SetPos(7), 3);
    QCOMPARE(window.SetPos(8), 7);

    // An empty button text still gives a button one can press.
    auto* button = FindControl<QPushButton>(&window, ProgressWindow::kButtonId);
    QVERIFY(button->width() > 0 && button->height() > 0);
    QVERIFY(window.rect().contains(button->geometry()));
    QVERIFY(window.rect().contains(bar->geometry()));
}

QTEST_MAIN(TestProgressWindow)
#include "tst_progress_window.moc"
