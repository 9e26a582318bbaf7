#include <QtTest>

#include <string>
#include <vector>

#include "engine/pattern.h"

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(std::vector<std::string>)

class TestPattern : public QObject
{
    Q_OBJECT

private slots:
    void matchPattern_data()
    {
        QTest::addColumn<std::string>("pattern");
        QTest::addColumn<std::string>("text");
        QTest::addColumn<bool>("matches");

        const auto row = [](const char* tag, const char* pattern, std::string text, bool matches) {
            QTest::newRow(tag) << std::string(pattern) << std::move(text) << matches;
        };
        row("case ignored in extension", "*.TXT", "a.txt", true);
        row("case ignored in literal", "abc", "AbC", true);
        row("literal needs the whole text", "abc", "abcd", false);
        row("literal anchored at start", "abc", "xabc", false);
        row("extension not last", "*.txt", "a.txt.bak", false);
        row("first occurrence only", "*.txt", "a.txt.txt", false);
        row("name.* matches the bare name", "readme.*", "README", true);
        row("name.* with extension", "readme.*", "readme.txt", true);
        row("name.* matches longer names", "readme.*", "readmefile", true);
        row("*. matches no extension", "*.", "Makefile", true);
        row("*. matches trailing dot", "*.", "name.", true);
        row("*. rejects extension", "*.", "a.b", false);
        row("*.* matches no extension", "*.*", "Makefile", true);
        row("*.* matches extension", "*.*", "a.b", true);
        row("no backtracking", "a*a", "a", false);
        row("star between equal letters", "a*a", "aba", true);
        row("lone star", "*", "anything.at.all", true);
        row("question mark", "a?c", "abc", true);
        row("question mark needs a character", "ab?", "ab", false);
        row("empty pattern, empty text", "", "", true);
        row("empty pattern", "", "a", false);
        row("pattern longer than name", "abcdef.txt", "abc", false);
        row("multiple stars", "*a*b*", "xxaxxbxx", true);
        row("multiple stars, wrong order", "*b*a*", "ab", false);
        row("doubled star", "**a", "xa", true);
        row("leading blank kept", " *.doc", "a.doc", false);
        row("leading blank matches blank", " *.doc", " a.doc", true);
        row("Japanese literal", "*本*", "日本語.txt", true);
        row("Japanese name, ASCII pattern", "*.TXT", "日本語.txt", true);
        row("? is one Japanese character", "?.txt", "日.txt", true);
        row("?? is two Japanese characters", "日??.txt", "日本語.txt", true);
        row("?? is more than one character", "??", "日", false);
        row("non-UTF-8 byte is one character", "?.txt", "\xff.txt", true);
        row("non-UTF-8 literal", "*\xfe*",
            "a\xfe"
            "b",
            true);
        row("truncated sequence counts bytewise", "??", "\xe6\x97", true);
    }

    void matchPattern()
    {
        QFETCH(std::string, pattern);
        QFETCH(std::string, text);
        QFETCH(bool, matches);
        QCOMPARE(MatchPattern(pattern, text), matches);
    }

    void splitPatternList_data()
    {
        QTest::addColumn<std::string>("text");
        QTest::addColumn<std::vector<std::string>>("patterns");

        using List = std::vector<std::string>;
        QTest::newRow("blank kept") << std::string("*.txt; *.doc") << List{"*.txt", " *.doc"};
        QTest::newRow("empty items dropped") << std::string(";;a;;b;") << List{"a", "b"};
        QTest::newRow("empty") << std::string() << List{};
        QTest::newRow("only separator") << std::string(";") << List{};
        QTest::newRow("blanks only") << std::string("  ") << List{"  "};
        QTest::newRow("one") << std::string("*.*") << List{"*.*"};
    }

    void splitPatternList()
    {
        QFETCH(std::string, text);
        QFETCH(std::vector<std::string>, patterns);
        CPatternList list{"left over"};
        SplitPatternList(list, text);
        QCOMPARE(list, patterns);
    }
};

QTEST_GUILESS_MAIN(TestPattern)
#include "tst_pattern.moc"
