#include <QtTest>

#include <QGuiApplication>
#include <QHeaderView>
#include <QMainWindow>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolTip>

#include "framework/dialog.h"
#include "framework/frame_wnd.h"
#include "framework/list_ctl.h"
#include "framework/list_font.h"
#include "framework/modeless_dialog.h"
#include "framework/profile.h"
#include "helpers/gui_profile.h"

namespace {

// A frame with both bars, as the main frame has them.
std::unique_ptr<CwFrameWnd> MakeFrame()
{
    auto frame = std::make_unique<CwFrameWnd>();
    frame->addToolBar(new QToolBar(frame.get()));
    frame->statusBar();
    frame->setCentralWidget(new QWidget(frame.get()));
    return frame;
}

QRect ScreenArea()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

} // namespace

class TestFramework : public QObject
{
    Q_OBJECT

private slots:
    void textToRect_data();
    void textToRect();
    void damagedRectTextGivesDefault();

    void framePlacementRoundTrip_data();
    void framePlacementRoundTrip();
    void frameWithoutMemoryWritesNothing();
    void frameRectOffScreenComesOnScreen();

    void dialogRectangleMemory_data();
    void dialogRectangleMemory();
    void dialogRemembersWhereItWasMoved();
    void modelessDialogDestroyedOnCancel();

    void columnWidthsRoundTrip_data();
    void columnWidthsRoundTrip();
    void rowLimit_data();
    void rowLimit();
    void tooltipShowsFullCellText();

    void listFontMapping_data();
    void listFontMapping();
};

void TestFramework::textToRect_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("stored form") << "10, 20, 110, 220" << QRect(10, 20, 100, 200);
    QTest::newRow("tabs and blanks") << "10\t20  110,220" << QRect(10, 20, 100, 200);
    QTest::newRow("negative") << "-8, -8, 1288, 1000" << QRect(-8, -8, 1296, 1008);
    QTest::newRow("extra numbers ignored") << "1, 2, 3, 4, 5" << QRect(1, 2, 2, 2);
    QTest::newRow("two numbers: the rest 0") << "5, 6" << QRect(5, 6, -5, -6);
    QTest::newRow("empty") << "" << QRect(0, 0, 0, 0);
    QTest::newRow("not numbers read 0") << "a, b, 30, 40" << QRect(0, 0, 30, 40);
    QTest::newRow("huge numbers are clamped") << "0, 0, 99999999999999, 5" << QRect(0, 0, 1000000, 5);
}

void TestFramework::textToRect()
{
    QFETCH(QString, text);
    QFETCH(QRect, rect);
    QCOMPARE(CwProfile::TextToRect(text.toStdString()), rect);
    if (!rect.isEmpty())
        QCOMPARE(CwProfile::TextToRect(CwProfile::RectToText(rect)), rect);
}

void TestFramework::damagedRectTextGivesDefault()
{
    CGuiProfile profile;
    profile.store.WriteProfileString("S", "R", "5, 6");
    const QRect fallback(10, 10, 490, 390);
    QCOMPARE(CwProfile::GetProfileRect("S", "R", fallback), fallback);
    QCOMPARE(CwProfile::RectToText(fallback), std::string("10, 10, 500, 400"));
}

void TestFramework::framePlacementRoundTrip_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("iconize");
    QTest::addColumn<int>("maximize");
    QTest::addColumn<int>("toolBar");
    QTest::newRow("normal") << "normal" << 0 << 0 << 1;
    QTest::newRow("maximised") << "maximised" << 0 << 1 << 1;
    QTest::newRow("minimised from maximised") << "minimised from maximised" << 1 << 1 << 1;
    QTest::newRow("minimised from normal") << "minimised" << 1 << 0 << 1;
    QTest::newRow("toolbar hidden") << "toolbar hidden" << 0 << 0 << 0;
}

void TestFramework::framePlacementRoundTrip()
{
    QFETCH(QString, state);
    QFETCH(int, iconize);
    QFETCH(int, maximize);
    QFETCH(int, toolBar);
    CGuiProfile profile;
    const QRect normal(40, 50, 420, 310);
    QPoint frameCorner;

    {
        auto frame = MakeFrame();
        frame->show();
        frame->setGeometry(normal);
        QCoreApplication::processEvents();
        // Stored is the corner of the frame around the client area.
        frameCorner = frame->pos();
        if (state == "maximised") {
            frame->showMaximized();
        } else if (state == "minimised from maximised") {
            frame->showMaximized();
            frame->showMinimized();
        } else if (state == "minimised") {
            frame->showMinimized();
        } else if (state == "toolbar hidden") {
            frame->findChild<QToolBar*>()->hide();
        }
        QCoreApplication::processEvents();
    }
    QCOMPARE(profile.String(FrameKey::kSection, FrameKey::kWindowRect),
             CwProfile::RectToText(QRect(frameCorner, normal.size())));
    QCOMPARE(profile.Int(FrameKey::kSection, FrameKey::kIconize), iconize);
    QCOMPARE(profile.Int(FrameKey::kSection, FrameKey::kMaximize), maximize);
    QCOMPARE(profile.Int(FrameKey::kSection, FrameKey::kToolBar), toolBar);
    QCOMPARE(profile.Int(FrameKey::kSection, FrameKey::kStatusBar), 1);

    auto frame = MakeFrame();
    frame->show();
    QCOMPARE(frame->isMinimized(), iconize != 0);
    QCOMPARE(frame->findChild<QToolBar*>()->isHidden(), toolBar == 0);
    if (iconize)
        frame->setWindowState(frame->windowState() & ~Qt::WindowMinimized);
    // Restored from the minimised state, a frame that was maximised is maximised again.
    QCOMPARE(frame->isMaximized(), maximize != 0);
    if (maximize)
        frame->showNormal();
    QCOMPARE(frame->geometry(), normal);
}

void TestFramework::frameWithoutMemoryWritesNothing()
{
    CGuiProfile profile;
    profile.store.WriteProfileString(FrameKey::kSection, FrameKey::kWindowRect, "40, 50, 460, 360");
    profile.store.WriteProfileInt(FrameKey::kSection, FrameKey::kMaximize, 1);
    const std::string before = profile.Text();
    {
        auto frame = MakeFrame();
        frame->SetRestorePlacement(false);
        frame->SetSavePlacement(false);
        frame->resize(300, 200);
        frame->show();
        QVERIFY(!frame->isMaximized());
        QCOMPARE(frame->size(), QSize(300, 200));
        frame->findChild<QToolBar*>()->hide();
    }
    QCOMPARE(profile.Text(), before);
}

void TestFramework::frameRectOffScreenComesOnScreen()
{
    CGuiProfile profile;
    profile.store.WriteProfileString(FrameKey::kSection, FrameKey::kWindowRect, "5000, 4000, 5400, 4300");
    auto frame = MakeFrame();
    frame->show();
    QVERIFY2(ScreenArea().intersects(frame->geometry()), "the frame must be reachable");
    QCOMPARE(frame->size(), QSize(400, 300));
}

void TestFramework::dialogRectangleMemory_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("resizable");
    QTest::addColumn<bool>("used");
    QTest::newRow("same size, inside") << "30, 40, 230, 190" << false << true;
    QTest::newRow("size changed since") << "30, 40, 250, 190" << false << false;
    QTest::newRow("resizable: any size") << "30, 40, 330, 290" << true << true;
    QTest::newRow("beyond the right edge") << "700, 40, 900, 190" << false << false;
    QTest::newRow("above the top") << "30, -20, 230, 130" << false << false;
    QTest::newRow("nothing stored") << "0, 0, 0, 0" << false << false;
}

void TestFramework::dialogRectangleMemory()
{
    QFETCH(QString, stored);
    QFETCH(bool, resizable);
    QFETCH(bool, used);
    CGuiProfile profile;
    profile.store.WriteProfileString("CwDialog159", DialogKey::kWindowRect, stored.toStdString());
    QVERIFY2(QGuiApplication::primaryScreen()->virtualGeometry().contains(QRect(0, 0, 800, 600)),
             "the rows assume a desktop of 800 x 600 pixels or more, less than 900 wide");
    QVERIFY(QGuiApplication::primaryScreen()->virtualGeometry().width() < 900);

    {
        CwDialog dialog(159, true);
        if (resizable)
            dialog.resize(200, 150);
        else
            dialog.setFixedSize(200, 150);
        dialog.show();
        const QRect rect = CwProfile::TextToRect(stored.toStdString());
        if (used) {
            QCOMPARE(dialog.geometry(), rect);
            QCOMPARE(dialog.RememberedRect(), rect);
        } else {
            QCOMPARE(dialog.size(), QSize(200, 150));
            QCOMPARE(dialog.RememberedRect(), QRect());
        }
    }
    if (!used)
        QCOMPARE(profile.String("CwDialog159", DialogKey::kWindowRect), std::string("0, 0, 0, 0"));
}

void TestFramework::dialogRemembersWhereItWasMoved()
{
    CGuiProfile profile;
    QRect moved;
    {
        CwDialog dialog(170, true);
        dialog.setFixedSize(200, 150);
        dialog.show();
        QCoreApplication::processEvents();
        dialog.move(123, 45);
        QCoreApplication::processEvents();
        moved = dialog.geometry();
        QCOMPARE(moved.size(), QSize(200, 150));
    }
    QCOMPARE(profile.String("CwDialog170", DialogKey::kWindowRect), CwProfile::RectToText(moved));
    CwDialog again(170, true);
    again.setFixedSize(200, 150);
    again.show();
    QCOMPARE(again.geometry(), moved);

    // Without the remember flag nothing is read or written.
    CGuiProfile other;
    {
        CwDialog plain(171, false);
        plain.show();
        plain.move(10, 10);
    }
    QVERIFY(other.Text().find("CwDialog171") == std::string::npos);
}

void TestFramework::modelessDialogDestroyedOnCancel()
{
    CGuiProfile profile;
    QMainWindow owner;
    owner.show();

    QPointer<CwModelessDialog> kept = new CwModelessDialog(159, true);
    QVERIFY(kept->Create(&owner));
    QCOMPARE(kept->DoModal(), kDialogModalRefused);
    kept->reject();
    kept->accept();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(kept && kept->isVisible(), "without destroy on cancel Cancel only hands the focus back");

    kept->SetDestroyOnCancel(true);
    QSignalSpy closed(kept.data(), &CwModelessDialog::Closed);
    QTest::keyClick(kept.data(), Qt::Key_Escape);
    QCOMPARE(closed.count(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(kept.isNull(), "a destroyed modeless dialog deletes itself");
    QVERIFY(profile.Text().find("[CwDialog159]") != std::string::npos);
}

void TestFramework::columnWidthsRoundTrip_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("dragTo");
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("shownNextTime");
    QTest::newRow("default, unchanged") << -12345 << 300 << -1 << 300 << 300;
    QTest::newRow("stored width") << 77 << 77 << -1 << 77 << 77;
    QTest::newRow("negative: default") << -1 << 300 << 120 << 120 << 120;
    QTest::newRow("dragged shut") << 250 << 250 << 0 << -1 << 300;
}

void TestFramework::columnWidthsRoundTrip()
{
    QFETCH(int, stored);
    QFETCH(int, shown);
    QFETCH(int, dragTo);
    QFETCH(int, written);
    QFETCH(int, shownNextTime);
    CGuiProfile profile;
    if (stored != -12345)
        profile.store.WriteProfileInt("RptVw", "W1", stored);
    const QStringList headers{"a", "b", "c"};
    const std::vector<int> defaults{100, 300, 150};
    {
        CwListCtl list;
        list.SetSection("RptVw");
        list.SetupColumns({}, headers, defaults);
        QCOMPARE(list.columnWidth(0), 100);
        QCOMPARE(list.columnWidth(1), shown);
        if (dragTo >= 0)
            list.header()->resizeSection(1, dragTo);
    }
    QCOMPARE(profile.Int("RptVw", "W1"), written);
    QCOMPARE(profile.Int("RptVw", "W0"), 100);
    CwListCtl list;
    list.SetSection("RptVw");
    list.SetupColumns({}, headers, defaults);
    QCOMPARE(list.columnWidth(1), shownNextTime);
}

void TestFramework::rowLimit_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("lowerTo");
    QTest::addColumn<int>("addedAfter");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("firstRow");
    QTest::newRow("below the limit") << 200 << 150 << 0 << 0 << 150 << 0;
    QTest::newRow("at the limit") << 200 << 200 << 0 << 0 << 200 << 0;
    QTest::newRow("the 201st drops row 0") << 200 << 201 << 0 << 0 << 200 << 1;
    QTest::newRow("many beyond") << 200 << 1000 << 0 << 0 << 200 << 800;
    QTest::newRow("lowered limit keeps the length") << 200 << 200 << 10 << 5 << 200 << 5;
    QTest::newRow("limit 1") << 1 << 3 << 0 << 0 << 1 << 2;
    QTest::newRow("shown, then more than the limit") << 50 << 50 << 50 << 120 << 50 << 120;
}

void TestFramework::rowLimit()
{
    QFETCH(int, limit);
    QFETCH(int, added);
    QFETCH(int, lowerTo);
    QFETCH(int, addedAfter);
    QFETCH(int, rows);
    QFETCH(int, firstRow);
    CwListCtl list;
    list.SetupColumns({}, {"n"}, {50});
    list.SetRowLimit(limit);
    int next = 0;
    auto add = [&](int count) {
        for (int i = 0; i < count; ++i)
            list.AppendRow({0, {QString::number(next++)}}, true);
    };
    add(added);
    if (lowerTo > 0) {
        // Shown in between: the rows trimmed afterwards leave the view at the next refresh.
        list.Refresh();
        list.SetRowLimit(lowerTo);
        add(addedAfter);
    }
    QCOMPARE(list.RowCount(), rows);
    QCOMPARE(list.LastRowIndex(), rows - 1);
    QCOMPARE(list.CellText(0, 0), QString::number(firstRow));
    QCOMPARE(list.CellText(rows - 1, 0), QString::number(next - 1));
    // The view sees the same rows once they are shown.
    list.Refresh();
    QCOMPARE(list.model()->rowCount(), rows);
    QCOMPARE(list.model()->index(0, 0).data().toString(), QString::number(firstRow));
    QCOMPARE(list.model()->index(rows - 1, 0).data().toString(), QString::number(next - 1));
}

void TestFramework::tooltipShowsFullCellText()
{
    CwListCtl list;
    list.SetupColumns({}, {"a", "b"}, {60, 80});
    const QString longText = QString("/home/user/Documents/").repeated(20) + "report.txt";
    list.AppendRow({0, {"short", longText}}, false);
    list.AppendRow({0, {"second", ""}}, false);
    list.Refresh();
    list.resize(300, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));

    const QRect cell = list.visualRect(list.model()->index(0, 1));
    QHelpEvent help(QEvent::ToolTip, cell.center(), list.viewport()->mapToGlobal(cell.center()));
    QCoreApplication::sendEvent(list.viewport(), &help);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), longText);
    QToolTip::hideText();
    // An empty cell has no tooltip.
    QVERIFY(!list.model()->index(1, 1).data(Qt::ToolTipRole).isValid());
}

void TestFramework::listFontMapping_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::newRow("no name: desktop font") << ""
                                           << "-20 0 0 0 700 1 0 0 0 0 0"
                                           << "Base" << 9 << false << false;
    QTest::newRow("pixel height, bold, italic") << "Noto Sans CJK JP"
                                                << "-20 0 0 0 700 1 128 0 0 0 0"
                                                << "Noto Sans CJK JP" << 20 << true << true;
    QTest::newRow("normal weight") << "Noto Sans"
                                   << "-13 0 0 0 400 0 0 0 0 0 0"
                                   << "Noto Sans" << 13 << false << false;
    QTest::newRow("no numbers: base size") << "Noto Sans"
                                           << ""
                                           << "Noto Sans" << 9 << false << false;
}

void TestFramework::listFontMapping()
{
    QFETCH(QString, name);
    QFETCH(QString, data);
    QFETCH(QString, family);
    QFETCH(int, pixelSize);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFont base(QStringLiteral("Base"));
    base.setPixelSize(9);
    const QFont font = ListFontFromSettings(name.toStdString(), data.toStdString(), base);
    QCOMPARE(font.families().value(0), family);
    QCOMPARE(font.pixelSize(), pixelSize);
    QCOMPARE(font.bold(), bold);
    QCOMPARE(font.italic(), italic);
}

QTEST_MAIN(TestFramework)
#include "tst_framework.moc"
