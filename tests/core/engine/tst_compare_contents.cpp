#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/compare_contents.h"
#include "engine/engine_texts.h"
#include "engine/pacing.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "platform/last_error.h"
#include "report/format_text.h"
#include "report/report_texts.h"
#include "settings/application_core.h"

namespace {

std::string Shown(int kind, const std::string& text)
{
    if (kind == MessageKind::kError)
        return ReportText::kErrorPrefix + text;
    if (kind == MessageKind::kWarning)
        return ReportText::kWarningPrefix + text;
    return text;
}

std::string Pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + i % 23);
    return bytes;
}

void SetNanoTime(const std::string& path, std::time_t seconds, long nanoseconds)
{
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

} // namespace

class TestCompareContents : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_host = std::make_unique<CFakeHost>();
        m_core = std::make_unique<CApplicationCore>(m_host->Services(), CCommandLine{});
        m_core->Settings().general.BakWait = 0; // one pump per pacing step
        m_core->Settings().general.DispDebugInfo = 1;
    }

    void compare_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("flipAt");       // -1: equal bytes
        QTest::addColumn<int>("backupExtra");  // bytes appended to the backup
        QTest::addColumn<long>("backupNanos"); // backup time = source time + this
        QTest::addColumn<int>("backupMode");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("blocks"); // pacing steps = blocks read

        const long second = 1'000'000'000L;
        QTest::newRow("empty files") << 0 << -1 << 0 << 0L << 0644 << 5 << "OK" << 1;
        QTest::newRow("just under a block") << 9999 << -1 << 0 << 0L << 0644 << 5 << "OK" << 1;
        QTest::newRow("exactly one block") << 10000 << -1 << 0 << 0L << 0644 << 5 << "OK" << 2;
        QTest::newRow("one byte more") << 10001 << -1 << 0 << 0L << 0644 << 5 << "OK" << 2;
        QTest::newRow("two blocks") << 20000 << -1 << 0 << 0L << 0644 << 5 << "OK" << 3;
        QTest::newRow("same second, other nanoseconds") << 50 << -1 << 0 << 400L << 0644 << 5 << "OK" << 1;
        QTest::newRow("time only") << 50 << -1 << 0 << second << 0644 << 1 << "Skip (different time,)" << 0;
        QTest::newRow("size and time")
            << 50 << -1 << 3 << 2 * second << 0644 << 1 << "Skip (different size,time,)" << 0;
        QTest::newRow("read-only backup")
            << 50 << -1 << 0 << 0L << 0444 << 1 << "Skip (different attr,)" << 0;
        QTest::newRow("first byte differs")
            << 30000 << 0 << 0 << 0L << 0644 << 2 << "Different contents" << 1;
        QTest::newRow("difference after the boundary")
            << 10001 << 10000 << 0 << 0L << 0644 << 2 << "Different contents" << 2;
        QTest::newRow("difference in the last byte of a block")
            << 10000 << 9999 << 0 << 0L << 0644 << 2 << "Different contents" << 1;
    }
    void compare()
    {
        QFETCH(int, size);
        QFETCH(int, flipAt);
        QFETCH(int, backupExtra);
        QFETCH(long, backupNanos);
        QFETCH(int, backupMode);
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(int, blocks);
        CTempTree tree;
        const std::string bytes = Pattern(static_cast<std::size_t>(size));
        std::string backupBytes = bytes + std::string(static_cast<std::size_t>(backupExtra), 'z');
        if (flipAt >= 0)
            backupBytes[static_cast<std::size_t>(flipAt)] ^= 0x20;
        const std::string source = tree.WriteFile("src/f.dat", bytes);
        const std::string backup = tree.WriteFile("bak/f.dat", backupBytes);
        const std::time_t base = 1'600'000'000;
        SetNanoTime(source, base, 100);
        SetNanoTime(backup, base + (100 + backupNanos) / 1'000'000'000L,
                    (100 + backupNanos) % 1'000'000'000L);
        chmod(backup.c_str(), static_cast<mode_t>(backupMode));
        SetLastSystemError(EIO); // an earlier, ignored failure must not show

        QCOMPARE(CompareFileContents(*m_core, source, backup), kind == MessageKind::kDebug);
        QCOMPARE(m_host->pump.pumpCount, blocks);
        QCOMPARE(m_host->sink.reportRows.size(), std::size_t(1));
        const CMessageRow& row = m_host->sink.reportRows[0];
        QCOMPARE(row.kind, kind);
        QCOMPARE(row.message, Shown(kind, EngineText::kComparePrefix + text.toStdString()));
        QCOMPARE(row.source, source);
        QCOMPARE(row.destination, backup);
        QCOMPARE(row.info, std::string());
        QCOMPARE(tree.Read("bak/f.dat"), backupBytes);
    }

    void cannotOpen_data()
    {
        QTest::addColumn<QString>("broken");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("error");
        QTest::newRow("source missing") << "source" << 2 << "Can't open source file" << ENOENT;
        QTest::newRow("backup missing") << "backup" << 1 << "Can't open backup file" << ENOENT;
        QTest::newRow("backup is a FIFO") << "fifo" << 1 << "Can't open backup file" << ENOTSUP;
    }
    void cannotOpen()
    {
        QFETCH(QString, broken);
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(int, error);
        CTempTree tree;
        const std::string source = tree.WriteFile("a", "same");
        const std::string backup = tree.Path("b");
        if (broken == "source")
            unlink(source.c_str());
        if (broken == "fifo")
            QCOMPARE(mkfifo(backup.c_str(), 0600), 0);
        else if (broken == "source")
            tree.WriteFile("b", "same");

        QVERIFY(!CompareFileContents(*m_core, source, backup));
        QCOMPARE(m_host->sink.reportRows.size(), std::size_t(1));
        const CMessageRow& row = m_host->sink.reportRows[0];
        QCOMPARE(row.kind, kind);
        QCOMPARE(row.message, Shown(kind, EngineText::kComparePrefix + text.toStdString()));
        QCOMPARE(row.info, SystemErrorSuffixOf(error));
        QCOMPARE(GetLastSystemError(), error);
        QCOMPARE(m_host->pump.pumpCount, 0);
    }

    void symbolicLinksCompareByTheirTargets_data()
    {
        QTest::addColumn<QString>("backupTarget"); // empty: the backup is a regular file
        QTest::addColumn<bool>("equal");
        QTest::newRow("same target") << "target.txt" << true;
        QTest::newRow("other target") << "other.txt" << false;
        QTest::newRow("regular file as backup") << "" << false;
    }
    void symbolicLinksCompareByTheirTargets()
    {
        QFETCH(QString, backupTarget);
        QFETCH(bool, equal);
        CTempTree tree;
        const std::string source = tree.Path("link");
        const std::string backup = tree.Path("bak-link");
        QCOMPARE(symlink("target.txt", source.c_str()), 0);
        if (backupTarget.isEmpty())
            tree.WriteFile("bak-link", "target.txt");
        else
            QCOMPARE(symlink(backupTarget.toStdString().c_str(), backup.c_str()), 0);
        const timespec times[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
        utimensat(AT_FDCWD, source.c_str(), times, AT_SYMLINK_NOFOLLOW);
        utimensat(AT_FDCWD, backup.c_str(), times, AT_SYMLINK_NOFOLLOW);
        QCOMPARE(CompareFileContents(*m_core, source, backup), equal);
        QCOMPARE(m_host->sink.reportRows.back().kind, equal ? MessageKind::kDebug : MessageKind::kError);
    }

    void paceStepPumps_data()
    {
        QTest::addColumn<int>("bakWait");
        QTest::addColumn<int>("pumps");
        QTest::newRow("fast") << 0 << 1;
        QTest::newRow("medium") << 1 << 2;
        QTest::newRow("slow") << 2 << 5;
        QTest::newRow("very slow") << 3 << 10;
        QTest::newRow("out of range, too high") << 40 << 10;
        QTest::newRow("out of range, negative") << -2 << 1;
    }
    void paceStepPumps()
    {
        QFETCH(int, bakWait);
        QFETCH(int, pumps);
        m_core->Settings().general.BakWait = bakWait;
        SetLastSystemError(EACCES);
        QVERIFY(PaceStep(*m_core));
        QCOMPARE(m_host->pump.pumpCount, pumps);
        QCOMPARE(m_core->State().abortRequested, 0);
        QCOMPARE(GetLastSystemError(), EACCES);
    }

    void paceStepWhileQuittingAbortsThePass()
    {
        m_core->Settings().general.BakWait = 3;
        m_host->pump.actionsAtPump[2] = [this] { m_host->pump.quitting = true; };
        QVERIFY(!PaceStep(*m_core));
        QCOMPARE(m_host->pump.pumpCount, 2);
        QCOMPARE(m_core->State().abortRequested, 1);
    }

    void abortKeys()
    {
        QVERIFY(!AbortKeysHeld(*m_core));
        m_host->keys.held = true;
        QVERIFY(AbortKeysHeld(*m_core));
    }

private:
    std::unique_ptr<CFakeHost> m_host;
    std::unique_ptr<CApplicationCore> m_core;
};

QTEST_GUILESS_MAIN(TestCompareContents)
#include "tst_compare_contents.moc"
