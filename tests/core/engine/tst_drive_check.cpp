#include <QtTest>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/drive_check.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "platform/path.h"
#include "report/message_kinds.h"
#include "settings/application_core.h"

Q_DECLARE_METATYPE(std::string)

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
    void fallingThreshold()
    {
        m_core->Settings().general.BakDrvAlertSize = 100;
        const auto check = [&](std::uint64_t freeMb) {
            m_host->storage.freeBytes = freeMb * kMb + kMb / 2;
            CheckDestinationDrive(*m_core, "/mnt/bak/home/a");
        };

        check(100);
        QCOMPARE(m_host->prompter.asked.size(), std::size_t(1));
        QCOMPARE(m_host->prompter.asked[0].text, Warning(100));
        QCOMPARE(m_host->prompter.asked[0].type, kWarningBox);
        QCOMPARE(m_core->Settings().general.BakDrvAlertSize, 99);

        check(100);
        QCOMPARE(m_host->prompter.asked.size(), std::size_t(1));

        check(99);
        QCOMPARE(m_host->prompter.asked.size(), std::size_t(2));
        QCOMPARE(m_host->prompter.asked[1].text, Warning(99));
        QCOMPARE(m_core->Settings().general.BakDrvAlertSize, 98);
        // Each warning is logged with its answer.
        QCOMPARE(m_host->sink.RowsOfKind(MessageKind::kWarning).size(), std::size_t(2));
    }

    void alertSizeZero_data()
    {
        QTest::addColumn<int>("freeMb");
        QTest::addColumn<bool>("warned");
        QTest::newRow("1 MB free") << 1 << false;
        QTest::newRow("nothing free") << 0 << true;
    }

    void alertSizeZero()
    {
        QFETCH(int, freeMb);
        QFETCH(bool, warned);
        m_core->Settings().general.BakDrvAlertSize = 0;
        m_host->storage.freeBytes = std::uint64_t(freeMb) * kMb;
        CheckDestinationDrive(*m_core, "/mnt/bak");
        QCOMPARE(m_host->prompter.asked.size(), std::size_t(warned ? 1 : 0));
        if (warned)
            QCOMPARE(m_host->prompter.asked[0].text, Warning(0));
    }

    void report_data()
    {
        QTest::addColumn<qint64>("freeBytes"); // -1: the query fails
        QTest::addColumn<std::string>("label");
        QTest::addColumn<std::string>("fileSystem");
        QTest::addColumn<std::string>("message");
        QTest::addColumn<std::string>("info");

        QTest::newRow("label and type") << qint64(300 * kMb) << std::string("BACKUP") << std::string("ext4")
                                        << std::string("空き容量 300 MB") << std::string("BACKUP [ext4]");
        QTest::newRow("no label") << qint64(300 * kMb) << std::string() << std::string("vfat")
                                  << std::string("空き容量 300 MB") << std::string("??? [vfat]");
        QTest::newRow("nothing known") << qint64(300 * kMb) << std::string() << std::string()
                                       << std::string("空き容量 300 MB") << std::string("??? [???]");
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

    // The real file system: the drive root is the mount holding the folder, even below
    // a folder that does not exist yet.
    void realFileSystem()
    {
        CTempTree tree;
        QVERIFY(tree.IsValid());
        CHostServices services = m_host->Services();
        services.storage = nullptr;
        CApplicationCore core(services, CCommandLine{});
        core.Settings().general.BakDrvAlertSize = -1;

        CheckDestinationDrive(core, tree.Path("not/yet"));
        const auto rows = m_host->sink.RowsOfKind(MessageKind::kDetail);
        QCOMPARE(rows.size(), std::size_t(1));
        QVERIFY(rows[0].message != "空き容量 ??? MB");
        QVERIFY(rows[0].message.rfind("空き容量 ", 0) == 0);
        const std::string canonical = QDir(QString::fromStdString(tree.Root())).canonicalPath().toStdString();
        QVERIFY(!rows[0].destination.empty());
        QVERIFY2(IsSameOrInside(canonical, rows[0].destination), rows[0].destination.c_str());
        QVERIFY(rows[0].info.find("???]") == std::string::npos);
    }

    void networkDestinationRoot()
    {
        QCOMPARE(DestinationDriveRoot(*m_core, "//srv/share/bak/x"), std::string("//srv/share"));
    }

private:
    std::unique_ptr<CFakeHost> m_host;
    std::unique_ptr<CApplicationCore> m_core;
};

QTEST_GUILESS_MAIN(TestDriveCheck)
#include "tst_drive_check.moc"
