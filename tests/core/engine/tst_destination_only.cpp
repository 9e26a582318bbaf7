#include <QtTest>

#include <cstdio>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "decision_rows.h"
#include "engine/backup_processor.h"
#include "engine/engine_texts.h"
#include "engine/destination_only.h"
#include "helpers/engine_rig.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "helpers/unprivileged.h"
#include "settings/application_core.h"

namespace {

constexpr std::time_t kTime = 1'600'000'000;

} // namespace

class TestDestinationOnly : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CFakeHost> m_host;
    std::unique_ptr<CApplicationCore> m_core;
    std::unique_ptr<CTempTree> m_tree;
    std::string m_source;
    std::string m_destination;
    std::string m_moved;
    std::string m_recycle;
    CFileSetting m_setting;

    // What the destination-only handling and the per-file decision report: the walk's
    // folder notes and the folder-created details are left out.
    std::vector<CRow> Rows() const { return DecisionRows(m_host->sink, EngineText::kOnDir); }

    std::vector<CRow> Resolve(std::vector<CRow> rows, const std::string& name) const
    {
        for (CRow& row : rows) {
            for (std::string* field : {&row.source, &row.destination, &row.info}) {
                ReplaceAll(*field, "{S}", name.empty() ? m_source : m_source + "/" + name);
                ReplaceAll(*field, "{D}", name.empty() ? m_destination : m_destination + "/" + name);
                ReplaceAll(*field, "{M}", m_moved);
                ReplaceAll(*field, "{R}", m_recycle);
            }
        }
        return rows;
    }

    // A file present on both sides with the same time and size: the walk leaves it alone.
    void WriteUnchanged(const std::string& relative)
    {
        m_tree->WriteFile("src/" + relative, "same", kTime);
        m_tree->WriteFile("dst/" + relative, "same", kTime);
    }

    long Walk(bool recurse = false)
    {
        CBackupProcessor processor(*m_core);
        processor.LoadRules(m_setting);
        processor.run.testMode = m_testMode;
        const int result = processor.Walk(m_source, recurse);
        if (result != 0)
            return -1;
        return processor.CopyCount();
    }

    int m_testMode = 0;

private slots:
    void init()
    {
        QVERIFY(MakeEngineRig(m_host, m_core, m_tree));
        m_source = m_tree->MakeFolder("src");
        m_destination = m_tree->MakeFolder("dst");
        m_moved = m_tree->Path("moved");
        m_recycle = m_core->Settings().general.Recycle2.expanded;
        m_setting = CFileSetting{};
        m_setting.No.Assign(m_source);
        m_setting.BakTo.Assign(m_destination);
        m_setting.OldMove.Assign(m_moved);
        m_testMode = 0;
    }

    void cleanup()
    {
        m_core.reset();
        m_tree.reset();
        m_host.reset();
    }

    void action_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("folder");
        QTest::addColumn<bool>("moveFolderSet");
        QTest::addColumn<int>("testMode");
        QTest::addColumn<bool>("abortKeys");
        QTest::addColumn<std::vector<CRow>>("expected");
        // Where the entry is afterwards: dst, gone, moved, recycle or both (dst and src).
        QTest::addColumn<QString>("where");
        QTest::addColumn<long>("copies");

        const int k0 = MessageKind::kFile;
        const int k1 = MessageKind::kWarning;
        const int k2 = MessageKind::kError;
        const int k6 = MessageKind::kTest;
        using V = std::vector<CRow>;
        const std::string folder = EngineText::kFolderSuffix;
        const std::string detected = EngineText::kDestinationOnlyDetected;
        const std::string deleted = EngineText::kDestinationOnlyDeleted;
        const std::string moved = EngineText::kDestinationOnlyMoved;
        const std::string recycled = EngineText::kDestinationOnlyRecycled;
        const std::string copied = EngineText::kDestinationOnlyCopiedBack;

        QTest::newRow("ignore") << 0 << false << true << 0 << false << V{} << "dst" << 0L;
        QTest::newRow("warn, file") << 1 << false << true << 0 << false
                                    << V{Row(k1, "バックアップ先にのみ存在するファイルを検出", "{S}", "{D}")}
                                    << "dst" << 0L;
        QTest::newRow("warn, folder")
            << 1 << true << true << 0 << false
            << V{Row(k1, "バックアップ先にのみ存在するファイルを検出 (フォルダ)", "{S}", "{D}")} << "dst"
            << 0L;
        QTest::newRow("delete, file")
            << 2 << false << true << 0 << false
            << V{Row(k0, "バックアップ先にのみ存在するファイルを削除", "{S}", "{D}")} << "gone" << 1L;
        QTest::newRow("delete, folder")
            << 2 << true << true << 0 << false << V{Row(k0, deleted + folder, "{S}", "{D}")} << "gone" << 1L;
        QTest::newRow("move, file") << 3 << false << true << 0 << false
                                    << V{Row(k0, "バックアップ先にのみ存在するファイルを移動", "{S}", "{D}",
                                             "{M}/entry")}
                                    << "moved" << 1L;
        QTest::newRow("move, folder")
            << 3 << true << true << 0 << false << V{Row(k0, moved + folder, "{S}", "{D}", "{M}/entry")}
            << "moved" << 1L;
        QTest::newRow("move without a move folder")
            << 3 << false << false << 0 << false
            << V{Row(k2, "Empty MoveTo!", {}, "{D}"), Row(k2, moved, "{S}", "{D}")} << "dst" << 0L;
        QTest::newRow("recycle, file")
            << 4 << false << true << 0 << false
            << V{Row(k0, "バックアップ先にのみ存在するファイルをごみ箱へ", "{S}", "{D}", "{R}")} << "recycle"
            << 1L;
        QTest::newRow("recycle, folder")
            << 4 << true << true << 0 << false << V{Row(k0, recycled + folder, "{S}", "{D}", "{R}")}
            << "recycle" << 1L;
        QTest::newRow("copy back, file")
            << 5 << false << true << 0 << false
            << V{Row(k0, "バックアップ先にのみ存在するファイルをバックアップ元へ", "{S}", "{D}")} << "both"
            << 1L;
        QTest::newRow("copy back, folder fails")
            << 5 << true << true << 0 << false
            << V{Row(k2, copied + folder, "{S}", "{D}", ".$00000015-Is a directory")} << "dst" << 1L;

        QTest::newRow("test mode, delete folder")
            << 2 << true << true << 1 << false << V{Row(k6, deleted + folder, "{S}", "{D}")} << "dst" << 0L;
        QTest::newRow("test mode, move")
            << 3 << false << true << 1 << false << V{Row(k6, moved, "{S}", "{D}", "{M}")} << "dst" << 0L;
        QTest::newRow("test mode, recycle")
            << 4 << false << true << 1 << false << V{Row(k6, recycled, "{S}", "{D}", "{R}")} << "dst" << 0L;
        QTest::newRow("test mode, copy back")
            << 5 << false << true << 1 << false << V{Row(k6, copied, "{S}", "{D}")} << "dst" << 1L;
        QTest::newRow("abort keys, delete")
            << 2 << false << true << 0 << true << V{Row(k6, deleted, "{S}", "{D}")} << "dst" << 0L;
    }

    void action()
    {
        QFETCH(int, action);
        QFETCH(bool, folder);
        QFETCH(bool, moveFolderSet);
        QFETCH(int, testMode);
        QFETCH(bool, abortKeys);
        QFETCH(std::vector<CRow>, expected);
        QFETCH(QString, where);
        QFETCH(long, copies);

        WriteUnchanged("keep.txt");
        const std::string probe = folder ? "entry/inner.txt" : "entry";
        m_tree->WriteFile("dst/" + probe, "backup", kTime);
        m_setting.OldDel = action;
        if (!moveFolderSet)
            m_setting.OldMove.Assign("");
        m_testMode = testMode;
        m_host->keys.held = abortKeys;

        QCOMPARE(Walk(), copies);

        QCOMPARE(Rows(), Resolve(expected, "entry"));
        QCOMPARE(m_tree->Exists("dst/" + probe), where == "dst" || where == "both");
        QCOMPARE(m_tree->Exists("src/" + probe), where == "both");
        QCOMPARE(PathExists(m_moved + "/" + probe), where == "moved");
        QCOMPARE(PathExists(m_recycle + "/" + probe), where == "recycle");
        for (const std::string place : {"dst/", "src/"}) {
            if (m_tree->Exists(place + probe))
                QCOMPARE(m_tree->Read(place + probe), std::string("backup"));
        }
        QVERIFY(m_tree->Exists("dst/keep.txt"));
        // Only a move or a recycling creates its folder, and only when it acts.
        QCOMPARE(PathExists(m_moved), where == "moved");
    }

    void skippedEntries_data()
    {
        QTest::addColumn<std::string>("inc");
        QTest::addColumn<std::string>("exc");
        QTest::addColumn<std::vector<CRow>>("expected");

        const int k0 = MessageKind::kFile;
        const int k5 = MessageKind::kDebug;
        using V = std::vector<CRow>;
        QTest::newRow("excluded name")
            << std::string("*.*") << std::string("*.log")
            << V{Row(k5, "BAK: DirExc", "{D}/cache"),
                 Row(k0, "バックアップ先にのみ存在するファイルを削除", "{S}/gone.txt", "{D}/gone.txt"),
                 Row(k5, "BAK: Un-matched", "{D}/old.log"), Row(k5, "Skip gen-file", "{S}/report.doc.$1")};
        QTest::newRow("include list")
            << std::string("*.doc;*.txt") << std::string()
            << V{Row(k5, "BAK: DirExc", "{D}/cache"),
                 Row(k0, "バックアップ先にのみ存在するファイルを削除", "{S}/gone.txt", "{D}/gone.txt"),
                 Row(k5, "BAK: Un-matched", "{D}/old.log"), Row(k5, "BAK: Un-matched", "{D}/report.doc.$1")};
    }

    // Excluded folders, names the lists reject and generation files are never
    // destination-only; the other entries of the folder still are. A temporary copy left
    // by a killed run is removed without a report.
    void skippedEntries()
    {
        QFETCH(std::string, inc);
        QFETCH(std::string, exc);
        QFETCH(std::vector<CRow>, expected);

        WriteUnchanged("keep.txt");
        WriteUnchanged("report.doc");
        const std::vector<std::string> kept = {"dst/report.doc.$1", "dst/cache/x.txt", "dst/old.log"};
        m_tree->WriteFile("dst/.tovix-tmp-abc123", "partial copy", kTime);
        for (const std::string& path : kept)
            m_tree->WriteFile(path, "backup", kTime);
        m_tree->WriteFile("dst/gone.txt", "backup", kTime);
        m_setting.OldDel = OldFileAction::kDelete;
        m_setting.Inc = inc;
        m_setting.Exc = exc;
        m_setting.DirExc = "cache";

        QCOMPARE(Walk(), 1L);

        QCOMPARE(Rows(), Resolve(expected, ""));
        for (const std::string& path : kept)
            QVERIFY2(m_tree->Exists(path), path.c_str());
        QVERIFY(!m_tree->Exists("dst/gone.txt"));
        QVERIFY(!m_tree->Exists("dst/.tovix-tmp-abc123"));
    }

    // ".$1" in the name of a folder says nothing about the files below it.
    void generationMarkInAFolderName()
    {
        WriteUnchanged("v.$1/a.txt");
        m_tree->WriteFile("dst/v.$1/old.txt", "backup", kTime);
        m_setting.OldDel = OldFileAction::kDelete;
        m_setting.Sub = 1;

        QCOMPARE(Walk(true), 1L);

        QCOMPARE(Rows(),
                 (std::vector<CRow>{Row(MessageKind::kFile, EngineText::kDestinationOnlyDeleted,
                                        m_source + "/v.$1/old.txt", m_destination + "/v.$1/old.txt")}));
        QVERIFY(!m_tree->Exists("dst/v.$1/old.txt"));
        QVERIFY(m_tree->Exists("dst/v.$1/a.txt"));
    }

    void symbolicLinkIsNotFollowed_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<std::string>("message");
        QTest::newRow("delete") << OldFileAction::kDelete
                                << std::string(EngineText::kDestinationOnlyDeleted);
        QTest::newRow("move") << OldFileAction::kMove << std::string(EngineText::kDestinationOnlyMoved);
    }

    // A link to a folder in the backup is an entry of its own: the link goes, what it
    // leads to stays.
    void symbolicLinkIsNotFollowed()
    {
        QFETCH(int, action);
        QFETCH(std::string, message);

        const std::string outside = m_tree->WriteFile("outside/precious.txt", "keep me");
        QCOMPARE(symlink(m_tree->Path("outside").c_str(), (m_destination + "/lnk").c_str()), 0);
        m_setting.OldDel = action;

        QCOMPARE(Walk(), 1L);

        const std::string note = action == OldFileAction::kMove ? m_moved + "/lnk" : std::string();
        QCOMPARE(Rows(), (std::vector<CRow>{Row(MessageKind::kFile, message, m_source + "/lnk",
                                                m_destination + "/lnk", note)}));
        QVERIFY(!PathExists(m_destination + "/lnk"));
        QCOMPARE(ReadFileBytes(outside), std::string("keep me"));
        if (action == OldFileAction::kMove) {
            struct stat status
            {
            };
            QCOMPARE(lstat(note.c_str(), &status), 0);
            QVERIFY(S_ISLNK(status.st_mode));
        }
    }

    void ownFoldersInsideTheDestination_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("ownFolder");
        QTest::addColumn<std::string>("message");
        QTest::addColumn<std::string>("note");

        QTest::newRow("move folder, move")
            << OldFileAction::kMove << "moved" << std::string(EngineText::kDestinationOnlyMoved)
            << std::string("/gone.txt");
        QTest::newRow("recycle folder, delete")
            << OldFileAction::kDelete << "recycle" << std::string(EngineText::kDestinationOnlyDeleted)
            << std::string();
        QTest::newRow("new-file folder, delete")
            << OldFileAction::kDelete << "new" << std::string(EngineText::kDestinationOnlyDeleted)
            << std::string();
        QTest::newRow("log folder, delete")
            << OldFileAction::kDelete << "logs" << std::string(EngineText::kDestinationOnlyDeleted)
            << std::string();
    }

    // What earlier passes put aside inside the destination is kept, whatever the action.
    void ownFoldersInsideTheDestination()
    {
        QFETCH(int, action);
        QFETCH(QString, ownFolder);
        QFETCH(std::string, message);
        QFETCH(std::string, note);

        const std::string own = m_destination + "/" + ownFolder.toStdString();
        m_tree->WriteFile("dst/" + ownFolder.toStdString() + "/earlier.txt", "put aside", kTime);
        m_tree->WriteFile("dst/gone.txt", "backup", kTime);
        m_setting.OldDel = action;
        if (ownFolder == "moved")
            m_setting.OldMove.Assign(own);
        else if (ownFolder == "recycle")
            m_core->Settings().general.Recycle2.Assign(own);
        else if (ownFolder == "logs")
            m_core->Settings().general.LogFile.Assign(own + "/tovix.log");
        else
            m_setting.NewBakTo.Assign(own);

        QCOMPARE(Walk(), 1L);

        QCOMPARE(Rows(),
                 (std::vector<CRow>{Row(MessageKind::kFile, message, m_source + "/gone.txt",
                                        m_destination + "/gone.txt", note.empty() ? note : own + note),
                                    Row(MessageKind::kDebug, EngineText::kSkipBackupFolder, own)}));
        QCOMPARE(ReadFileBytes(own + "/earlier.txt"), std::string("put aside"));
        QVERIFY(!m_tree->Exists("dst/gone.txt"));
    }

    // A source folder that disappears during the walk (a lost share, a removed disk) must
    // not turn its whole backup into destination-only entries.
    void sourceFolderGoneMidScan()
    {
        WriteUnchanged("a.txt");
        m_tree->WriteFile("dst/gone.txt", "backup", kTime);
        m_setting.OldDel = OldFileAction::kDelete;
        const std::string away = m_tree->Path("away");
        const std::string source = m_source;
        m_host->pump.actionsAtPump[1] = [source, away] {
            QCOMPARE(std::rename(source.c_str(), away.c_str()), 0);
        };

        QCOMPARE(Walk(), 0L);

        QCOMPARE(Rows(),
                 (std::vector<CRow>{
                     Row(MessageKind::kWarning, "ソースファイル検出", m_source + "/a.txt", {},
                         ".$00000002-No such file or directory"),
                     Row(MessageKind::kDebug, EngineText::kBakSourceUnreadable, m_source, m_destination)}));
        QVERIFY(m_tree->Exists("dst/a.txt"));
        QVERIFY(m_tree->Exists("dst/gone.txt"));
    }

    void unreadableSourceFolder_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("neither listed nor looked into") << 0300;
        // Names can be looked up there ("not found" for every missing one), but the
        // folder cannot be listed.
        QTest::newRow("entered but not listed") << 0311;
    }

    // A source folder that cannot be listed: what only seems missing is left alone. Run
    // as nobody, since permissions do not stop root.
    void unreadableSourceFolder()
    {
        QFETCH(int, mode);
        if (RunsAsRoot()) {
            QByteArray output;
            QVERIFY2(RunTestAsNobody(QString("unreadableSourceFolder:") + QTest::currentDataTag(), output),
                     output.constData());
            return;
        }
        WriteUnchanged("a.txt");
        m_tree->WriteFile("dst/gone.txt", "backup", kTime);
        m_setting.OldDel = OldFileAction::kDelete;
        QCOMPARE(chmod(m_source.c_str(), static_cast<mode_t>(mode)), 0);

        const long copies = Walk();
        chmod(m_source.c_str(), 0700);

        QCOMPARE(copies, 0L);
        QVERIFY(m_tree->Exists("dst/gone.txt"));
        QVERIFY(m_tree->Exists("dst/a.txt"));
        QVERIFY(m_host->sink.HasMessage(EngineText::kBakSourceUnreadable));
    }
};

QTEST_GUILESS_MAIN(TestDestinationOnly)
#include "tst_destination_only.moc"
