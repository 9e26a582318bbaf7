#include <QtTest>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/drive_check.h"
#include "helpers/fake_services.h"
#include "report/message_kinds.h"
#include "settings/application_core.h"

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(std::vector<int>)

namespace {

constexpr std::uint64_t kMb = std::uint64_t(1) << 20;
constexpr unsigned kWarningBox =
    MessageBoxType::kOk | MessageBoxType::kIconExclamation | MessageBoxType::kTopmost;

std::string Warning(long free)
{
    return "バックアップ先ドライブ (/mnt/bak) の空き容量 " + std::to_string(free) + " MB です. 次回の警告は "
           + std::to_string(free - 1) + " MB です.";
}

} // namespace

class TestDriveCheck : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_host = std::make_unique<CFakeHost>();
        m_host->storage.mountPoint = "/mnt/bak";
        m_core = std::make_unique<CApplicationCore>(m_host->Services(), CCommandLine{});
        m_core->Settings().general.DispDetailInfo = 1;
    }

    // The threshold falls with every warning: the same free space does not warn twice.
    void threshold_data()
    {
        QTest::addColumn<int>("alertSize");
        QTest::addColumn<std::vector<int>>("freeMb");   // one check each
        QTest::addColumn<std::vector<int>>("warnedAt"); // the free space of each warning
        QTest::addColumn<int>("alertSizeAfter");
        QTest::newRow("falling") << 100 << std::vector<int>{101, 100, 100, 99} << std::vector<int>{100, 99}
                                 << 98;
        QTest::newRow("0: only when full") << 0 << std::vector<int>{1, 0, 0} << std::vector<int>{0} << -1;
    }

    void threshold()
    {
        QFETCH(int, alertSize);
        QFETCH(std::vector<int>, freeMb);
        QFETCH(std::vector<int>, warnedAt);
        QFETCH(int, alertSizeAfter);
        m_core->Settings().general.BakDrvAlertSize = alertSize;
        for (const int free : freeMb) {
            m_host->storage.freeBytes = std::uint64_t(free) * kMb + kMb / 2;
            QVERIFY(CheckDestinationDrive(*m_core, "/mnt/bak/home/a"));
        }
        std::vector<std::string> expected;
        for (const int free : warnedAt)
            expected.push_back(Warning(free));
        std::vector<std::string> asked;
        for (const CAskedQuestion& question : m_host->prompter.asked) {
            asked.push_back(question.text);
            QCOMPARE(question.type, kWarningBox);
        }
        QCOMPARE(asked, expected);
        QCOMPARE(m_core->Settings().general.BakDrvAlertSize, alertSizeAfter);
        // Each warning is logged with its answer.
        QCOMPARE(m_host->sink.RowsOfKind(MessageKind::kWarning).size(), warnedAt.size());
    }

    void report_data()
    {
        QTest::addColumn<qint64>("freeBytes"); // -1: the query fails
        QTest::addColumn<std::string>("label");
        QTest::addColumn<std::string>("fileSystem");
        QTest::addColumn<std::string>("message");
        QTest::addColumn<std::string>("info");

        QTest::newRow("no label") << qint64(300 * kMb) << std::string() << std::string("vfat")
                                  << std::string("空き容量 300 MB") << std::string("??? [vfat]");
        QTest::newRow("beyond 32 bits")
            << qint64(5 * 1024 * 1024 * kMb) << std::string("NAS") << std::string("xfs")
            << std::string("空き容量 5242880 MB") << std::string("NAS [xfs]");
        QTest::newRow("free space unreadable") << qint64(-1) << std::string("BACKUP") << std::string("ext4")
                                               << std::string("空き容量 ??? MB") << std::string();
    }

    void report()
    {
        QFETCH(qint64, freeBytes);
        QFETCH(std::string, label);
        QFETCH(std::string, fileSystem);
        QFETCH(std::string, message);
        QFETCH(std::string, info);
        m_core->Settings().general.BakDrvAlertSize = 100;
        m_host->storage.freeBytes = freeBytes < 0
                                        ? std::nullopt
                                        : std::optional<std::uint64_t>(static_cast<std::uint64_t>(freeBytes));
        m_host->storage.label = label;
        m_host->storage.fileSystem = fileSystem;

        CheckDestinationDrive(*m_core, "/mnt/bak/x");
        const auto rows = m_host->sink.RowsOfKind(MessageKind::kDetail);
        QCOMPARE(rows.size(), std::size_t(1));
        QCOMPARE(rows[0].message, message);
        QCOMPARE(rows[0].destination, std::string("/mnt/bak"));
        QCOMPARE(rows[0].info, info);
        QVERIFY(m_host->prompter.asked.empty());
        QCOMPARE(m_core->Settings().general.BakDrvAlertSize, 100);
    }

private:
    std::unique_ptr<CFakeHost> m_host;
    std::unique_ptr<CApplicationCore> m_core;
};

QTEST_GUILESS_MAIN(TestDriveCheck)
#include "tst_drive_check.moc"
