#include <QLabel>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QtTest>

#include "framework/control_id.h"
#include "helpers/temp_tree.h"
#include "property/compare_window.h"
#include "property/line_diff.h"

namespace {

QByteArrayList Lines(const QString& letters)
{
    QByteArrayList lines;
    for (const QChar c : letters)
        lines << QByteArray(1, char(c.toLatin1()));
    return lines;
}

// The script as text: "=a" kept, "-b" only left, "+c" only right.
QString Script(const std::vector<CDiffLine>& script, const QByteArrayList& left, const QByteArrayList& right)
{
    QStringList parts;
    for (const CDiffLine& line : script) {
        if (line.kind == CDiffLine::Same)
            parts << "=" + QString::fromLatin1(left[line.left]);
        else if (line.kind == CDiffLine::Removed)
            parts << "-" + QString::fromLatin1(left[line.left]);
        else
            parts << "+" + QString::fromLatin1(right[line.right]);
    }
    return parts.join(QLatin1Char(' '));
}

// The fewest removed and added lines, by the textbook table.
int EditDistance(const QByteArrayList& a, const QByteArrayList& b)
{
    std::vector<std::vector<int>> lcs(a.size() + 1, std::vector<int>(b.size() + 1, 0));
    for (int i = 1; i <= a.size(); ++i)
        for (int j = 1; j <= b.size(); ++j)
            lcs[i][j] = a[i - 1] == b[j - 1] ? lcs[i - 1][j - 1] + 1 : std::max(lcs[i - 1][j], lcs[i][j - 1]);
    return int(a.size() + b.size()) - 2 * lcs[a.size()][b.size()];
}

// The rows of the window's list as text, one per row: the cells joined by "|".
QStringList RowTexts(CCompareModel& model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column)
            cells << model.data(model.index(row, column), Qt::DisplayRole).toString();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

} // namespace

class TestCompareWindow : public QObject
{
    Q_OBJECT

private slots:
    void lineDiff_data();
    void lineDiff();
    void lineDiffIsShortest();
    void boundedDiff();
    void compareFiles_data();
    void compareFiles();
    void textLayouts();
};

void TestCompareWindow::lineDiff_data()
{
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("script");
    QTest::newRow("equal") << "abc"
                           << "abc"
                           << "=a =b =c";
    QTest::newRow("both empty") << ""
                                << ""
                                << "";
    QTest::newRow("left empty") << ""
                                << "ab"
                                << "+a +b";
    QTest::newRow("right empty") << "ab"
                                 << ""
                                 << "-a -b";
    QTest::newRow("one changed") << "abc"
                                 << "axc"
                                 << "=a -b +x =c";
    QTest::newRow("inserted at the start") << "bc"
                                           << "abc"
                                           << "+a =b =c";
    QTest::newRow("removed at the end") << "abc"
                                        << "ab"
                                        << "=a =b -c";
    QTest::newRow("moved line") << "abcd"
                                << "bcad"
                                << "-a =b =c +a =d";
}

void TestCompareWindow::lineDiff()
{
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(QString, script);
    const QByteArrayList a = Lines(left);
    const QByteArrayList b = Lines(right);
    const auto result = DiffLines(a, b, 100);
    QVERIFY(result);
    QCOMPARE(Script(*result, a, b), script);
}

// Against the textbook edit distance on random small files: the script is always a valid
// one (it rebuilds both files) and never longer than needed.
void TestCompareWindow::lineDiffIsShortest()
{
    QRandomGenerator random(18);
    for (int round = 0; round < 400; ++round) {
        QString left;
        QString right;
        for (int i = int(random.bounded(12)); i > 0; --i)
            left += QChar('a' + int(random.bounded(4)));
        for (int i = int(random.bounded(12)); i > 0; --i)
            right += QChar('a' + int(random.bounded(4)));
        const QByteArrayList a = Lines(left);
        const QByteArrayList b = Lines(right);
        const auto result = DiffLines(a, b, 100);
        QVERIFY(result);
        QByteArrayList rebuiltLeft;
        QByteArrayList rebuiltRight;
        int edits = 0;
        for (const CDiffLine& line : *result) {
            if (line.kind != CDiffLine::Added)
                rebuiltLeft << a[line.left];
            if (line.kind != CDiffLine::Removed)
                rebuiltRight << b[line.right];
            if (line.kind == CDiffLine::Same)
                QCOMPARE(a[line.left], b[line.right]);
            else
                ++edits;
        }
        QCOMPARE(rebuiltLeft, a);
        QCOMPARE(rebuiltRight, b);
        QCOMPARE(edits, EditDistance(a, b));
    }
}

// Past the bound there is no script, only the first difference.
void TestCompareWindow::boundedDiff()
{
    const QByteArrayList a = Lines("xxabcdefgh");
    const QByteArrayList b = Lines("xxhgfedcba");
    QVERIFY(!DiffLines(a, b, 5));
    QVERIFY(DiffLines(a, b, 14));
    QCOMPARE(FirstDifferentLine(a, b), 2);
    QCOMPARE(FirstDifferentLine(a, a), -1);
    QCOMPARE(FirstDifferentLine(Lines("ab"), Lines("abc")), 2);
}

void TestCompareWindow::compareFiles_data()
{
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<bool>("linesShown");
    QTest::newRow("text") << QByteArray("one\ntwo\nthree\n") << QByteArray("one\n2\nthree\nfour\n")
                          << "1 行変更, 左だけに 0 行, 右だけに 1 行" << true;
    QTest::newRow("text, equal") << QByteArray("same\n") << QByteArray("same\n")
                                 << "2つのファイルの内容は同じです." << true;
    QTest::newRow("binary")
        << QByteArray("\x00\x01\x02\x03\x04\x05", 6) << QByteArray("\x00\x01\x02\x03\x04\xff\x06", 7)
        << "バイナリファイルです. 最初の違い: オフセット 5 (0x5)\nサイズ: 6 Bytes / 7 Bytes" << false;
    QTest::newRow("binary, one the head of the other")
        << QByteArray("\x00\x01", 2) << QByteArray("\x00\x01\x02", 3)
        << "バイナリファイルです. 最初の違い: オフセット 2 (0x2)\nサイズ: 2 Bytes / 3 Bytes" << false;
    QTest::newRow("binary, equal") << QByteArray("\x00z", 2) << QByteArray("\x00z", 2)
                                   << "バイナリファイルです. 内容は同じです.\nサイズ: 2 Bytes / 2 Bytes"
                                   << false;
    // Every line differs: far beyond the bound, so only the first difference is named.
    QByteArray many;
    QByteArray others;
    for (int i = 0; i < CompareLimit::kEdits; ++i) {
        many += "line " + QByteArray::number(i) + "\n";
        others += (i < 3 ? "line " : "other ") + QByteArray::number(i) + "\n";
    }
    QTest::newRow("too many differences")
        << many << others << "違いが多すぎるので, 最初の違いだけを示します: 左 4 行目 / 右 4 行目" << false;
}

void TestCompareWindow::compareFiles()
{
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, right);
    QFETCH(QString, summary);
    QFETCH(bool, linesShown);
    CTempTree tree;
    const std::string a = tree.WriteFile("left", left.toStdString());
    const std::string b = tree.WriteFile("right", right.toStdString());
    CCompareWindow window(a, b);
    window.show();
    QCOMPARE(window.Summary(), summary);
    QCOMPARE(FindControl<QLabel>(&window, CompareId::kSummary)->text(), summary);
    QCOMPARE(FindControl<QWidget>(&window, CompareId::kLines)->isVisible(), linesShown);
}

// Side by side a change pairs its lines; listed as one, removed lines come first.
void TestCompareWindow::textLayouts()
{
    CTempTree tree;
    const std::string a = tree.WriteFile("left", "one\ntwo\nthree\n");
    const std::string b = tree.WriteFile("right", "one\n2\nthree\nfour\n");
    CCompareWindow window(a, b);
    QCOMPARE(RowTexts(window.Model()),
             QStringList({"1|one||1|one", "2|two|||2|2", "3|three||3|three", "||>|4|four"}));
    FindControl<QRadioButton>(&window, CompareId::kUnified)->click();
    QCOMPARE(window.Model().CurrentLayout(), CCompareModel::Unified);
    QCOMPARE(RowTexts(window.Model()),
             QStringList({"1|1| |one", "2||-|two", "|2|+|2", "3|3| |three", "|4|+|four"}));
}

QTEST_MAIN(TestCompareWindow)
#include "tst_compare_window.moc"
