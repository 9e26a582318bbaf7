#include <QtTest>

#include <cerrno>
#include <string>

#include "platform/last_error.h"
#include "report/format_text.h"

namespace {
std::string S(const char* text)
{
    return text;
}
} // namespace

class TestFormatText : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { ClearLastSystemError(); }

    void formats_data();
    void formats();
    void noLengthLimit();
    void systemError_data();
    void systemError();
    void systemErrorWithoutBuffer();
    void systemErrorKeepsErrno();
    void suffix_data();
    void suffix();
    void suffixOfTheLastError();
    void flatten_data();
    void flatten();
};

void TestFormatText::formats_data()
{
    QTest::addColumn<std::string>("result");
    QTest::addColumn<std::string>("expected");

    QTest::newRow("plain") << FormatText("完了") << S("完了");
    QTest::newRow("empty") << FormatText("%s", "") << S("");
    QTest::newRow("numbers") << FormatText("%d files, %lX", 12, 0x1FUL) << S("12 files, 1F");
    QTest::newRow("strings") << FormatText("%s%s更新(%s)", "T", "/a", "/b") << S("T/a更新(/b)");
    QTest::newRow("percent") << FormatText("100%%") << S("100%");
}

void TestFormatText::formats()
{
    QFETCH(std::string, result);
    QFETCH(std::string, expected);
    QCOMPARE(result, expected);
}

void TestFormatText::noLengthLimit()
{
    const std::string path(5000, 'p');
    const std::string text = FormatText("[%s] %d", path.c_str(), 7);
    QCOMPARE(text.size(), path.size() + 4);
    QCOMPARE(text, "[" + path + "] 7");
}

void TestFormatText::systemError_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<std::string>("text");
    QTest::newRow("none") << 0 << S("");
    QTest::newRow("EACCES") << EACCES << S("Permission denied");
    QTest::newRow("ENOENT") << ENOENT << S("No such file or directory");
}

void TestFormatText::systemError()
{
    QFETCH(int, error);
    QFETCH(std::string, text);
    for (const bool flatten : {false, true}) {
        SetLastSystemError(error);
        std::string buffer = "previous contents";
        QCOMPARE(FormatSystemError(&buffer, flatten), error);
        QCOMPARE(buffer, text);
        QCOMPARE(GetLastSystemError(), error);
    }
}

void TestFormatText::systemErrorWithoutBuffer()
{
    SetLastSystemError(ENOSPC);
    QCOMPARE(FormatSystemError(nullptr, true), ENOSPC);
    ClearLastSystemError();
    QCOMPARE(FormatSystemError(nullptr, false), 0);
}

void TestFormatText::systemErrorKeepsErrno()
{
    SetLastSystemError(EACCES);
    errno = EXDEV;
    std::string buffer;
    FormatSystemError(&buffer, true);
    const std::string suffix = SystemErrorSuffix();
    const int errnoAfter = errno;
    QCOMPARE(errnoAfter, EXDEV);
}

void TestFormatText::suffix_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<std::string>("suffix");
    QTest::newRow("none") << 0 << S("");
    QTest::newRow("EACCES") << EACCES << S(".$0000000D-Permission denied");
    QTest::newRow("ENOENT") << ENOENT << S(".$00000002-No such file or directory");
    QTest::newRow("ENOTEMPTY") << ENOTEMPTY << S(".$00000027-Directory not empty");
    QTest::newRow("EDQUOT upper-case hex") << EDQUOT << S(".$0000007A-Disk quota exceeded");
}

void TestFormatText::suffix()
{
    QFETCH(int, error);
    QFETCH(std::string, suffix);
    QCOMPARE(SystemErrorSuffixOf(error), suffix);
    SetLastSystemError(error);
    QCOMPARE(SystemErrorSuffix(), suffix);
    QCOMPARE(GetLastSystemError(), error);
}

void TestFormatText::suffixOfTheLastError()
{
    // The layer's own record counts, not errno.
    errno = EACCES;
    ClearLastSystemError();
    QCOMPARE(SystemErrorSuffix(), S(""));
}

void TestFormatText::flatten_data()
{
    QTest::addColumn<std::string>("text");
    QTest::addColumn<std::string>("flat");
    QTest::newRow("none") << S("abc") << S("abc");
    QTest::newRow("CR LF") << S("a\r\nb") << S("a  b");
    QTest::newRow("LF at the end") << S("a\n") << S("a ");
    QTest::newRow("tab stays") << S("a\tb") << S("a\tb");
}

void TestFormatText::flatten()
{
    QFETCH(std::string, text);
    QFETCH(std::string, flat);
    QCOMPARE(FlattenLineBreaks(text), flat);
}

QTEST_GUILESS_MAIN(TestFormatText)
#include "tst_format_text.moc"
