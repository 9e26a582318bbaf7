#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

#include "app/application.h"
#include "config/compress_config_dlg.h"
#include "config/pickers.h"
#include "framework/control_id.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"

namespace {

const char* const kCommonKeys =
    "CpLHA=/opt/lha.so\r\nCpRAR=rar\r\nCpZIP=tovix-zip\r\nCpOptLHA=u\r\nCpOptRAR=u\r\n"
    "CpOptZIP=-u\r\n";

QSet<QString> Lines(const std::string& path)
{
    const QStringList lines = QString::fromStdString(ReadFileBytes(path)).split(QStringLiteral("\r\n"));
    return QSet<QString>(lines.begin(), lines.end());
}

// Two file settings (sources /work/Proj and /), destination bak.
struct CCompressRig
{
    explicit CCompressRig(const std::string& settingLines = kCommonKeys,
                          const std::string& destination = "/d/Bak")
    {
        path = tree.WriteFile("c.TVX", "[Setting]\r\nBakCopyPath=" + destination + "\r\n" + settingLines
                                           + "[Backup]\r\nFiles=2\r\nNo0=/work/Proj\r\nCompMode0=3\r\n"
                                             "CpPw0=old\r\nNo1=/\r\nCpOpt1=-keep\r\n");
        loaded = app.LoadSettingsFile(path);
    }
    std::unique_ptr<CCompressConfigDlg> Open(int index, bool shift = false)
    {
        auto dialog = std::make_unique<CCompressConfigDlg>(app, index, nullptr, shift, [] {});
        dialog->show();
        return dialog;
    }
    static QLineEdit* Edit(QWidget& d, int id) { return FindControl<QLineEdit>(&d, id); }
    static QCheckBox* Check(QWidget& d, int id) { return FindControl<QCheckBox>(&d, id); }
    static void Click(QWidget& d, int id) { FindControl<QAbstractButton>(&d, id)->click(); }

    CTempTree tree;
    CFakeHost host;
    CApplication app{CCommandLine{}, host.Services()};
    std::string path;
    bool loaded = false;
};

} // namespace

class TestCompressConfigDlg : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SetBrowseHook({}); }

    // The common options can be edited only when Shift was held at opening.
    void commonOptionsNeedShift_data()
    {
        QTest::addColumn<bool>("shift");
        QTest::newRow("no shift") << false;
        QTest::newRow("shift") << true;
    }
    void commonOptionsNeedShift()
    {
        QFETCH(bool, shift);
        CCompressRig rig;
        QVERIFY(rig.loaded);
        auto dialog = rig.Open(0, shift);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("圧縮詳細設定 - /work/Proj"));
        for (const int id : {1024, 1011, 1013})
            QCOMPARE(rig.Edit(*dialog, id)->isEnabled(), shift);
        QVERIFY(rig.Edit(*dialog, 1022)->isEnabled());
    }

    // Ticking the log proposes destination + source folder name + "_LOG.TXT".
    void logProposal_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("proposal");
        QTest::newRow("folder") << "/d/Bak" << 0 << "/d/Bak/Proj_LOG.TXT";
        QTest::newRow("root source") << "/d/Bak" << 1 << "/d/Bak/_LOG.TXT";
        QTest::newRow("destination ending in slash") << "/d/Bak/" << 0 << "/d/Bak/Proj_LOG.TXT";
    }
    void logProposal()
    {
        QFETCH(QString, destination);
        QFETCH(int, index);
        QFETCH(QString, proposal);
        CCompressRig rig(kCommonKeys, destination.toStdString());
        QVERIFY(rig.loaded);
        auto dialog = rig.Open(index);
        QLineEdit* log = rig.Edit(*dialog, 1088);
        QVERIFY(!log->isEnabled());
        rig.Click(*dialog, 1087);
        QCOMPARE(log->text(), proposal);
        QVERIFY(log->isEnabled());
        rig.Click(*dialog, 1087);
        QVERIFY(log->text().isEmpty());
    }

    // The password is masked unless shown; unticking empties it, ticking proposes "Xyz";
    // LHA and no compression take encryption away, RAR and ZIP give it back.
    void password()
    {
        CCompressRig rig;
        QVERIFY(rig.loaded);
        auto dialog = rig.Open(0);
        QLineEdit* password = rig.Edit(*dialog, 1086);
        QCOMPARE(password->text(), QStringLiteral("old"));
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        dialog->findChild<QCheckBox*>(QStringLiteral("checkShowPassword"))->click();
        QCOMPARE(password->echoMode(), QLineEdit::Normal);
        rig.Click(*dialog, 1085);
        QVERIFY(password->text().isEmpty());
        QVERIFY(!password->isEnabled());
        rig.Click(*dialog, 1085);
        QCOMPARE(password->text(), QStringLiteral("Xyz"));
        QComboBox* mode = FindControl<QComboBox>(dialog.get(), 1188);
        for (const int item : {1, 0, 2, 3}) {
            mode->setCurrentIndex(item);
            QCOMPARE(rig.Check(*dialog, 1085)->isEnabled(), item >= 2);
        }
        mode->setCurrentIndex(1);
        rig.Check(*dialog, 1085)->setChecked(false);
        mode->setCurrentIndex(1);
        QVERIFY(!rig.Check(*dialog, 1085)->isEnabled());
    }

    // OK writes this setting's details and the common keys, nothing of the other setting;
    // the mode goes into the record only. Cancel writes nothing.
    void okWritesThisIndexOnly()
    {
        CCompressRig rig;
        QVERIFY(rig.loaded);
        const QSet<QString> before = Lines(rig.path);
        auto dialog = rig.Open(1, true);
        QCOMPARE(rig.Edit(*dialog, 1025)->text(), QStringLiteral("-keep"));
        FindControl<QComboBox>(dialog.get(), 1188)->setCurrentIndex(2);
        rig.Click(*dialog, 1085);
        rig.Edit(*dialog, 1025)->setText(QStringLiteral("-m5"));
        rig.Edit(*dialog, 1011)->setText(QStringLiteral("a"));
        SetBrowseHook([](const CBrowseRequest& request) -> std::optional<std::string> {
            return request.initialFolder == "rar" ? std::optional<std::string>("/usr/bin/rar") : std::nullopt;
        });
        rig.Click(*dialog, 1009);
        rig.Click(*dialog, 1);
        QVERIFY(!dialog->isVisible());
        const QSet<QString> after = Lines(rig.path);
        QCOMPARE(after - before,
                 (QSet<QString>{"CpLog1=", "CpPw1=Xyz", "CpOpt1=-m5", "CpRAR=/usr/bin/rar", "CpOptRAR=a"}));
        QCOMPARE((before - after).size(), 3); // CpOpt1, CpRAR and CpOptRAR replaced; CpLog1 and CpPw1 added
        QCOMPARE(rig.app.Core().Settings().files[1].CompMode, 2);

        const std::string written = ReadFileBytes(rig.path);
        auto cancelled = rig.Open(0, true);
        rig.Edit(*cancelled, 1025)->setText(QStringLiteral("-x"));
        rig.Click(*cancelled, 2);
        QCOMPARE(ReadFileBytes(rig.path), written);
    }

    // A file without the common keys shows their defaults.
    void commonDefaults()
    {
        CCompressRig rig("");
        QVERIFY(rig.loaded);
        auto dialog = rig.Open(0);
        const QStringList shown{rig.Edit(*dialog, 1022)->text(), rig.Edit(*dialog, 1008)->text(),
                                rig.Edit(*dialog, 1010)->text(), rig.Edit(*dialog, 1024)->text(),
                                rig.Edit(*dialog, 1011)->text(), rig.Edit(*dialog, 1013)->text()};
        QCOMPARE(shown, (QStringList{"UNLHA32.DLL", "rar", "tovix-zip", "u -a1x1gp0n1", "u", "-u"}));
    }
};

QTEST_MAIN(TestCompressConfigDlg)
#include "tst_compress_config_dlg.moc"
