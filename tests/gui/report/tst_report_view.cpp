#include <QtTest>

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QSplitter>

#include "framework/control_id.h"
#include "helpers/gui_profile.h"
#include "report/list_texts.h"
#include "report/report_view.h"

namespace {

CMessageRow Row(int kind, const std::string& message, const std::string& source = {},
                const std::string& destination = {}, const std::string& info = {})
{
    return CMessageRow{kind, message, source, destination, info, "09:05:30", "12/31/01"};
}

// A shown view in a window of its own.
struct CShownView
{
    CShownView()
    {
        view.resize(700, 500);
        view.show();
        view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&view));
    }
    CGuiProfile profile;
    CReportView view;
};

} // namespace

class TestReportView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<CRowProperties>(); }
    void controlsAndColumns();
    void rowsGoToTheirList();
    void propertiesFromRows_data();
    void propertiesFromRows();
    void clearErrorsLeavesReports();
    void boundaryFollowsResize();
    void autoScroll_data();
    void autoScroll();
    void kindIconsDiffer();
};

void TestReportView::controlsAndColumns()
{
    CShownView shown;
    CReportView& view = shown.view;
    auto* reportLabel = FindControl<QLabel>(&view, ListId::kReportLabel);
    auto* errorLabel = FindControl<QLabel>(&view, ListId::kErrorLabel);
    auto* reportList = FindControl<CMessageListCtl>(&view, ListId::kReportList);
    auto* errorList = FindControl<CMessageListCtl>(&view, ListId::kErrorList);
    QVERIFY(reportLabel && errorLabel && reportList && errorList);
    QCOMPARE(reportLabel->text(), QString("レポート (&R)"));
    QCOMPARE(errorLabel->text(), QString("エラー／警告 (&E)"));
    QCOMPARE(reportList->Section(), std::string("RptVw"));
    QCOMPARE(errorList->Section(), std::string("ErrVw"));

    const QStringList headers{"種類 時刻 日付", "メッセージ", "ソースファイル／フォルダ",
                              "バックアップ先ファイル／フォルダ", "追加情報"};
    const QList<int> widths{0, 300, 150, 150, 500};
    for (CMessageListCtl* list : {reportList, errorList}) {
        QCOMPARE(list->model()->columnCount(), 5);
        for (int column = 0; column < 5; ++column) {
            QCOMPARE(list->model()->headerData(column, Qt::Horizontal).toString(), headers[column]);
            if (column > 0)
                QCOMPARE(list->columnWidth(column), widths[column]);
        }
        // Wide enough for the kind icon, the time and the date in the list's font.
        const int timeAndDate = list->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00 00/00/00"));
        QVERIFY(list->columnWidth(0) >= std::max(100, timeAndDate + list->iconSize().width()));
        QVERIFY(!list->isSortingEnabled());
    }

    // The mnemonics of the labels focus their lists.
    QTest::keyClick(&view, Qt::Key_E, Qt::AltModifier);
    QTRY_VERIFY(errorList->hasFocus());
    QTest::keyClick(&view, Qt::Key_R, Qt::AltModifier);
    QTRY_VERIFY(reportList->hasFocus());
}

void TestReportView::rowsGoToTheirList()
{
    CShownView shown;
    CReportView& view = shown.view;
    QSignalSpy status(&view, &CReportView::StatusTextChanged);
    IMessageSink& sink = view;
    sink.SetStatusText("処理中");
    sink.SetStatusText("完了");
    sink.AddReportRow(Row(0, "T/a.txt更新", "/src/a.txt", "/bak/a.txt", ""));
    sink.AddReportRow(Row(3, "Welcome to Vesk Realtime Backup"));
    sink.AddErrorRow(Row(2, "エラー: 失敗", "/src/b.txt", "", ".$0000000D-Permission denied"));
    // The last text of a burst is shown, a moment later.
    QVERIFY(status.wait(2000));
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.at(0).at(0).toString(), QString("完了"));

    CMessageListCtl* report = view.ReportList();
    QCOMPARE(report->RowCount(), 2);
    QCOMPARE(report->CellText(0, 0), QString("09:05:30 12/31/01"));
    QCOMPARE(report->CellText(0, 1), QString("T/a.txt更新"));
    QCOMPARE(report->CellText(0, 3), QString("/bak/a.txt"));
    QCOMPARE(report->RowIcon(1), 3);
    for (int column = 2; column <= 4; ++column)
        QCOMPARE(report->CellText(1, column), QString());
    report->Refresh();
    QVERIFY(!report->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());

    CMessageListCtl* errors = view.ErrorList();
    QCOMPARE(errors->RowCount(), 1);
    QCOMPARE(errors->CellText(0, 4), QString(".$0000000D-Permission denied"));
    QCOMPARE(errors->CellText(0, 3), QString());

    // Without time and date the current ones are taken.
    report->AddRow(1, "now");
    const QString stamp = report->CellText(2, 0);
    QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d \\d\\d/\\d\\d/\\d\\d$").match(stamp).hasMatch(),
             qPrintable(stamp));

    report->DeleteRow(0);
    QCOMPARE(report->LastRowIndex(), 1);
    QCOMPARE(report->CellText(0, 1), QString("Welcome to Vesk Realtime Backup"));
}

void TestReportView::propertiesFromRows_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("opens");
    QTest::newRow("double click on the row") << "double" << true;
    QTest::newRow("double click right of the last column") << "double far right" << true;
    QTest::newRow("right click") << "right" << true;
    QTest::newRow("Ctrl+R in the list") << "ctrl+r" << true;
    QTest::newRow("Ctrl+R with the focus elsewhere") << "ctrl+r elsewhere" << false;
    QTest::newRow("double click below the rows") << "double below" << false;
}

void TestReportView::propertiesFromRows()
{
    QFETCH(QString, how);
    QFETCH(bool, opens);
    CShownView shown;
    CReportView& view = shown.view;
    CMessageListCtl* errors = view.ErrorList();
    // Narrow columns so that the row reaches past the last one.
    for (int column = 0; column < 5; ++column)
        errors->setColumnWidth(column, 60);
    view.AddErrorRow(Row(1, "row 0"));
    view.AddErrorRow(Row(1, "警告: 古い", "/src/c.txt", "/bak/c.txt", "more"));
    errors->Refresh();
    QSignalSpy properties(&view, &CReportView::PropertiesRequested);

    const QRect row = errors->visualRect(errors->model()->index(1, 1));
    QWidget* viewport = errors->viewport();
    if (how == "double") {
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, row.center());
    } else if (how == "double far right") {
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(5 * 60 + 40, row.center().y()));
    } else if (how == "double below") {
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(row.center().x(), row.bottom() + 60));
    } else if (how == "right") {
        QTest::mouseClick(viewport, Qt::RightButton, {}, row.center());
    } else {
        errors->setCurrentIndex(errors->model()->index(1, 0));
        if (how == "ctrl+r elsewhere")
            view.ReportList()->setFocus();
        else
            errors->setFocus();
        QAction* command = FindCommand(&view, ListId::kPropertiesCommand);
        QVERIFY(command);
        QCOMPARE(command->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
        QTest::keyClick(view.focusWidget(), Qt::Key_R, Qt::ControlModifier);
    }
    QCOMPARE(properties.count(), opens ? 1 : 0);
    if (opens) {
        const auto shownRow = properties.at(0).at(0).value<CRowProperties>();
        QCOMPARE(shownRow.source, QString("/src/c.txt"));
        QCOMPARE(shownRow.destination, QString("/bak/c.txt"));
        QCOMPARE(shownRow.info, QString("more"));
        QCOMPARE(shownRow.message, QString("警告: 古い"));
    }
}

void TestReportView::clearErrorsLeavesReports()
{
    CShownView shown;
    CReportView& view = shown.view;
    for (int i = 0; i < 30; ++i) {
        view.AddReportRow(Row(1, "r"));
        view.AddErrorRow(Row(1, "e"));
    }
    QAction* clear = FindCommand(&view, ListId::kClearErrorsCommand);
    QVERIFY(clear);
    clear->trigger();
    QCOMPARE(view.ErrorList()->RowCount(), 0);
    QCOMPARE(view.ErrorList()->LastRowIndex(), -1);
    QCOMPARE(view.ReportList()->RowCount(), 30);
}

void TestReportView::boundaryFollowsResize()
{
    CShownView shown;
    CReportView& view = shown.view;
    QVERIFY(qAbs(view.Boundary() - view.height() / 2) <= 1);
    view.LayoutLists(120);
    QVERIFY(qAbs(view.Boundary() - 120) <= 1);
    QVERIFY(!view.Splitter()->opaqueResize());
    view.resize(700, 300);
    QTRY_VERIFY(qAbs(view.Boundary() - 150) <= 1);
    // The boundary cannot leave the view.
    view.LayoutLists(5000);
    QVERIFY(view.Boundary() < view.height());
}

void TestReportView::autoScroll_data()
{
    QTest::addColumn<bool>("on");
    QTest::newRow("on: the newest row is shown") << true;
    QTest::newRow("off: the list stays where it is") << false;
}

void TestReportView::autoScroll()
{
    QFETCH(bool, on);
    CShownView shown;
    CReportView& view = shown.view;
    view.SetAutoScroll(on);
    for (int i = 0; i < 200; ++i)
        view.AddReportRow(Row(3, std::to_string(i)));
    // The rows are shown within a moment, together.
    QScrollBar* bar = view.ReportList()->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    QCOMPARE(view.ReportList()->model()->rowCount(), 200);
    QCOMPARE(bar->value(), on ? bar->maximum() : 0);
}

void TestReportView::kindIconsDiffer()
{
    CShownView shown;
    CMessageListCtl* list = shown.view.ReportList();
    for (int kind = 0; kind < 7; ++kind)
        list->AddRow(kind, "k");
    list->Refresh();
    QList<QImage> images;
    for (int kind = 0; kind < 7; ++kind) {
        const QIcon icon = list->model()->index(kind, 0).data(Qt::DecorationRole).value<QIcon>();
        const QImage image = icon.pixmap(16, 16).toImage();
        QCOMPARE(image.size(), QSize(16, 16));
        QVERIFY2(!images.contains(image), "every kind has an icon of its own");
        images << image;
    }
}

QTEST_MAIN(TestReportView)
#include "tst_report_view.moc"
