#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "settings/application_core.h"
#include "decision_rows.h"
#include "engine/backup_folder.h"
#include "engine/backup_processor.h"
#include "engine/engine_texts.h"
#include "engine/destination_only.h"
#include "engine/folder_safety.h"
#include "helpers/engine_rig.h"
#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "helpers/unprivileged.h"
#include "platform/file_attributes.h"
#include "platform/path.h"

namespace {

constexpr std::time_t kTime = 1'600'000'000;

// A file system of its own at folder (tmpfs, or ramfs, which keeps no extended
// attributes); false when this process may not mount.
bool MountAt(const std::string& folder, const char* type = "tmpfs")
{
    return mount("none", folder.c_str(), type, 0, nullptr) == 0;
}

} // namespace

class TestFolderSafety : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CFakeHost> m_host;
    std::unique_ptr<CApplicationCore> m_core;
    std::unique_ptr<CTempTree> m_tree;
    std::unique_ptr<CBackupProcessor> m_processor;
    std::vector<std::string> m_mounts;
    std::string m_source;
    std::string m_destination;
    CFileSetting m_setting;

    // One pass over the setting by a processor that lives across passes, as the engine's does.
    int Backup(bool recurse = true)
    {
        m_processor->LoadRules(m_setting);
        return BackupFolder(*m_processor, m_source, recurse);
    }

    bool Mount(const std::string& folder, const char* type = "tmpfs")
    {
        if (!MountAt(folder, type))
            return false;
        m_mounts.push_back(folder);
        return true;
    }

    void Unmount(const std::string& folder)
    {
        QCOMPARE(umount2(folder.c_str(), 0), 0);
        std::erase(m_mounts, folder);
    }

    std::vector<CRow> Errors() const
    {
        std::vector<CRow> rows;
        for (const CRow& row : DecisionRows(m_host->sink, EngineText::kOnDir)) {
            if (row.kind == MessageKind::kError)
                rows.push_back(row);
        }
        return rows;
    }

    std::vector<CRow> RowsOf(const std::string& message) const
    {
        std::vector<CRow> rows;
        for (const CMessageRow& row : m_host->sink.reportRows) {
            if (row.message.find(message) != std::string::npos)
                rows.push_back(CRow{row.kind, row.message, row.source, row.destination, row.info});
        }
        return rows;
    }

private slots:
    void init()
    {
        QVERIFY(MakeEngineRig(m_host, m_core, m_tree));
        m_processor = std::make_unique<CBackupProcessor>(*m_core);
        m_source = m_tree->MakeFolder("src");
        m_destination = m_tree->MakeFolder("bak");
        m_setting = CFileSetting{};
        m_setting.No.Assign(m_source);
        m_setting.BakTo.Assign(m_destination);
        m_setting.Sub = 1;
        m_core->Settings().startup.nbc = 1;
        m_core->Settings().general.BakCopyPath.Assign(m_tree->Path("general"));
    }

    void cleanup()
    {
        for (const std::string& folder : m_mounts)
            umount2(folder.c_str(), MNT_DETACH);
        m_mounts.clear();
        m_processor.reset();
        m_core.reset();
        m_tree.reset();
        m_host.reset();
    }

    void foldersAroundTheSource_data()
    {
        QTest::addColumn<QString>("key");
        // Relative to the tree ("." is the tree itself, which holds the source); "/" as it is.
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("oldDel");
        QTest::addColumn<std::string>("message"); // empty: the setting is backed up

        const std::string is = EngineText::kFolderIsSource;
        const std::string holds = EngineText::kFolderHoldsSource;
        QTest::newRow("BakTo is the source") << "BakTo"
                                             << "src" << 2 << is;
        QTest::newRow("BakTo is the source, with a final slash") << "BakTo"
                                                                 << "src/" << 2 << is;
        QTest::newRow("BakTo is a link to the source") << "BakTo"
                                                       << "srclink" << 2 << is;
        QTest::newRow("BakTo holds the source, delete") << "BakTo"
                                                        << "." << 2 << holds;
        QTest::newRow("BakTo holds the source, move") << "BakTo"
                                                      << "." << 3 << holds;
        QTest::newRow("BakTo holds the source, recycle") << "BakTo"
                                                         << "." << 4 << holds;
        QTest::newRow("BakTo is the root") << "BakTo"
                                           << "/" << 1 << holds;
        QTest::newRow("BakCopyPath is the root") << "BakCopyPath"
                                                 << "/" << 1 << is;
        QTest::newRow("NewBakTo is the source") << "NewBakTo"
                                                << "src" << 0 << is;
        QTest::newRow("GenBakTo is the source") << "GenBakTo"
                                                << "srclink" << 0 << is;
        QTest::newRow("OldMove holds the source") << "OldMove"
                                                  << "." << 3 << holds;
        QTest::newRow("ForcedMove is the source") << "ForcedMove"
                                                  << "src" << 0 << is;
        QTest::newRow("Recycle2 is the source") << "Recycle2"
                                                << "src" << 4 << is;
        QTest::newRow("BakTo inside the source: the walk leaves it out") << "BakTo"
                                                                         << "src/bak" << 2 << std::string();
        QTest::newRow("OldMove holds the source but is not used") << "OldMove"
                                                                  << "." << 2 << std::string();
    }

    // A destination, new-file, generation, move or recycle folder that is the source or
    // holds it (however it is written) refuses the setting, naming both folders; the
    // source and what lies beside it are untouched.
    void foldersAroundTheSource()
    {
        QFETCH(QString, key);
        QFETCH(QString, folder);
        QFETCH(int, oldDel);
        QFETCH(std::string, message);

        m_tree->WriteFile("src/a.txt", "never backed up", kTime);
        m_tree->WriteFile("src/sub/b.txt", "never backed up either", kTime);
        m_tree->WriteFile("beside.txt", "unrelated", kTime);
        QCOMPARE(symlink(m_source.c_str(), m_tree->Path("srclink").c_str()), 0);
        const std::string path = folder == "/"   ? std::string("/")
                                 : folder == "." ? m_tree->Root()
                                                 : m_tree->Path(folder.toStdString());
        m_setting.OldDel = oldDel;
        m_setting.OldMove.Assign(m_tree->Path("moved"));
        // Nothing matches: should the check fail, a destination "/" receives nothing.
        if (folder == "/")
            m_setting.Inc = "*.nothing";
        if (key == "BakTo")
            m_setting.BakTo.Assign(path);
        else if (key == "BakCopyPath") {
            m_setting.BakTo.Assign("");
            m_core->Settings().general.BakCopyPath.Assign(path);
        } else if (key == "NewBakTo")
            m_setting.NewBakTo.Assign(path);
        else if (key == "GenBakTo") {
            m_setting.GenBakTo.Assign(path);
            m_setting.Gen = 2;
        } else if (key == "OldMove")
            m_setting.OldMove.Assign(path);
        else if (key == "ForcedMove") {
            m_setting.Forced = 3;
            m_setting.ForcedMove.Assign(path);
        } else if (key == "Recycle2")
            m_core->Settings().general.Recycle2.Assign(path);

        const int result = Backup();

        if (message.empty()) {
            QVERIFY(result >= 0);
            QCOMPARE(Errors(), std::vector<CRow>{});
        } else {
            QCOMPARE(result, -1);
            const std::string shown = path.size() > 1 ? WithoutFinalSlash(path) : path;
            QCOMPARE(Errors(), (std::vector<CRow>{
                                   Row(MessageKind::kError, message, m_source, shown, key.toStdString())}));
            QVERIFY(!m_tree->Exists("bak/a.txt"));
        }
        QCOMPARE(m_tree->Read("src/a.txt"), std::string("never backed up"));
        QCOMPARE(m_tree->Read("src/sub/b.txt"), std::string("never backed up either"));
        QCOMPARE(m_tree->Read("beside.txt"), std::string("unrelated"));
    }

    // The same check runs when monitoring starts, so the user hears of it at once.
    void checkedAtMonitoringStart()
    {
        m_setting.BakTo.Assign(m_source + "/");
        CheckSettingAtStart(*m_processor, m_setting);
        QCOMPARE(Errors(), (std::vector<CRow>{Row(MessageKind::kError, EngineText::kFolderIsSource, m_source,
                                                  m_source, "BakTo")}));
    }

    void linkPlantedInTheBackup_data()
    {
        QTest::addColumn<bool>("general");
        QTest::addColumn<int>("testMode");
        QTest::newRow("link in place of a folder") << false << 0;
        QTest::newRow("link in place of a folder, test mode") << false << 1;
        QTest::newRow("link above the backup folder") << true << 0;
    }

    // Whoever can write into the backup cannot make a pass write or delete elsewhere: a
    // link where the source has a folder becomes a real folder, a link anywhere else on
    // the way stops the folder with an error. What the link led to stays untouched.
    void linkPlantedInTheBackup()
    {
        QFETCH(bool, general);
        QFETCH(int, testMode);

        m_tree->WriteFile("src/sub/b.txt", "new", kTime);
        m_tree->WriteFile("victim/victim.txt", "precious", kTime);
        m_tree->WriteFile("victim/inner/deep.txt", "precious", kTime);
        const std::string victim = m_tree->Path("victim");
        m_setting.OldDel = OldFileAction::kDelete;
        std::string link = m_destination + "/sub";
        if (general) {
            // The backup of the source lies below the general destination by its whole
            // path; the link replaces the first folder of that path.
            m_setting.BakTo.Assign("");
            const std::string first = m_source.substr(0, m_source.find('/', 1));
            link = m_tree->Path("general") + first;
            QVERIFY(m_tree->MakeFolder("general").size() > 0);
        }
        QCOMPARE(symlink(victim.c_str(), link.c_str()), 0);
        m_processor->run.testMode = testMode;

        QVERIFY(Backup() >= 0);

        QCOMPARE(m_tree->Read("victim/victim.txt"), std::string("precious"));
        QCOMPARE(m_tree->Read("victim/inner/deep.txt"), std::string("precious"));
        QCOMPARE(QDir(QString::fromStdString(victim))
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{"inner", "victim.txt"}));
        struct stat status
        {
        };
        QCOMPARE(lstat(link.c_str(), &status), 0);
        const bool replaced = !general && testMode == 0;
        QCOMPARE(S_ISDIR(status.st_mode), replaced);
        if (replaced) {
            QCOMPARE(m_tree->Read("bak/sub/b.txt"), std::string("new"));
            QCOMPARE(RowsOf(EngineText::kLinkReplacedByFolder).size(), std::size_t(1));
            QCOMPARE(Errors(), std::vector<CRow>{});
        } else {
            QCOMPARE(Errors(),
                     (std::vector<CRow>{Row(MessageKind::kError, EngineText::kLinkInBackupTree, {}, link,
                                            ".$00000028-Too many levels of symbolic links")}));
        }
    }

    // A link planted while the walk is in the folder: the next file is not written
    // through it, and the walk stops writing.
    void linkPlantedDuringTheWalk()
    {
        m_tree->WriteFile("src/sub/f1.txt", "one", kTime);
        m_tree->WriteFile("src/sub/f2.txt", "two", kTime);
        m_tree->MakeFolder("bak/sub");
        m_tree->MakeFolder("victim");
        const std::string folder = m_destination + "/sub";
        const std::string away = m_tree->Path("away");
        const std::string victim = m_tree->Path("victim");
        CBackupProcessor* processor = m_processor.get();
        bool planted = false;
        for (int pump = 1; pump <= 100; ++pump) {
            m_host->pump.actionsAtPump[pump] = [=, &planted] {
                if (planted || processor->place.destinationFolder != folder)
                    return;
                planted =
                    rename(folder.c_str(), away.c_str()) == 0 && symlink(victim.c_str(), folder.c_str()) == 0;
            };
        }

        QCOMPARE(Backup(), -1);

        QVERIFY(planted);
        QVERIFY(IsEmptyFolder(victim));
        QCOMPARE(Errors(), (std::vector<CRow>{Row(MessageKind::kError, EngineText::kLinkInBackupTree, {},
                                                  folder, ".$00000028-Too many levels of symbolic links")}));
    }

    // A move folder inside the backup is reached through the backup tree as well: a link
    // planted in its place does not take the moved entries elsewhere.
    void moveFolderReachedThroughALink_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("OldMove") << "OldMove";
        QTest::newRow("ForcedMove") << "ForcedMove";
    }

    void moveFolderReachedThroughALink()
    {
        QFETCH(QString, key);
        WriteUnchanged("keep.txt");
        m_tree->MakeFolder("victim");
        const std::string link = m_destination + "/old";
        QCOMPARE(symlink(m_tree->Path("victim").c_str(), link.c_str()), 0);
        if (key == "OldMove") {
            m_tree->WriteFile("bak/gone.txt", "backup", kTime);
            m_setting.OldDel = OldFileAction::kMove;
            m_setting.OldMove.Assign(link);
        } else {
            m_tree->WriteFile("src/gone.txt", "older", kTime);
            m_tree->WriteFile("bak/gone.txt", "backup", kTime + 100);
            m_setting.ForcedInc = "*gone.txt";
            m_setting.Forced = 3;
            m_setting.ForcedMove.Assign(link);
        }

        Backup();

        QCOMPARE(m_tree->Read("bak/gone.txt"), std::string("backup"));
        QVERIFY(IsEmptyFolder(m_tree->Path("victim")));
        const std::vector<CRow> errors = Errors();
        QVERIFY(!errors.empty());
        QCOMPARE(errors[0], Row(MessageKind::kError, EngineText::kLinkInBackupTree, {}, link));
    }

    // A source drive unmounted since the last good pass leaves an empty folder on
    // another device: not available, and the backup keeps everything.
    void sourceNotMounted()
    {
        if (!Mount(m_source))
            QSKIP("mounting needs root");
        m_tree->WriteFile("src/a.txt", "data", kTime);
        m_setting.OldDel = OldFileAction::kDelete;
        QCOMPARE(Backup(), 1);
        m_tree->WriteFile("bak/older.txt", "kept from before", kTime);
        Unmount(m_source);
        m_host->sink.Clear();

        QCOMPARE(Backup(), -1);

        QCOMPARE(Errors(),
                 (std::vector<CRow>{Row(MessageKind::kError, EngineText::kSourceNotMounted, m_source)}));
        QVERIFY(m_tree->Exists("bak/a.txt"));
        QVERIFY(m_tree->Exists("bak/older.txt"));
    }

    // A destination drive that is not mounted when the pass starts: the bare folder on
    // the system disk receives nothing.
    void destinationNotMounted()
    {
        if (!Mount(m_destination))
            QSKIP("mounting needs root");
        m_tree->WriteFile("src/a.txt", "data", kTime);
        QCOMPARE(Backup(), 1);
        Unmount(m_destination);
        m_tree->WriteFile("src/b.txt", "more data", kTime);
        m_host->sink.Clear();

        QCOMPARE(Backup(), -1);

        QCOMPARE(Errors(), (std::vector<CRow>{Row(MessageKind::kError, EngineText::kDestinationNotMounted,
                                                  m_source, m_destination)}));
        QVERIFY(IsEmptyFolder(m_destination));
    }

    void emptySource_data()
    {
        QTest::addColumn<bool>("sourceEmpty");
        QTest::newRow("empty source beside a filled backup") << true;
        QTest::newRow("source with a file") << false;
    }

    // A fresh run cannot know the device a source had: an empty source beside a filled
    // backup looks exactly like an unmounted drive, and its backup is left alone.
    void emptySource()
    {
        QFETCH(bool, sourceEmpty);
        if (!sourceEmpty)
            m_tree->WriteFile("src/kept.txt", "data", kTime);
        m_tree->WriteFile("bak/kept.txt", "data", kTime);
        m_tree->WriteFile("bak/gone.txt", "backup", kTime);
        m_setting.OldDel = OldFileAction::kDelete;

        QCOMPARE(Backup(), sourceEmpty ? 0 : 1);

        QCOMPARE(m_tree->Exists("bak/gone.txt"), sourceEmpty);
        QCOMPARE(m_tree->Exists("bak/kept.txt"), true);
        const std::vector<CRow> warnings = RowsOf(EngineText::kEmptySourceKeepsBackup);
        QCOMPARE(warnings.size(), std::size_t(sourceEmpty ? 1 : 0));
        if (sourceEmpty) {
            QCOMPARE(warnings[0].kind, MessageKind::kWarning);
            QCOMPARE(warnings[0].destination, m_destination);
        }
    }

    // Mount points of /etc/fstab and of mount units: one that is not mounted makes what
    // lies in it unavailable.
    void configuredMountPoints()
    {
        const std::string fstab = m_tree->WriteFile("fstab", "# comment\n"
                                                             "UUID=1 / ext4 defaults 0 1\n"
                                                             "UUID=2 /mnt/data ext4 defaults 0 2\n"
                                                             "/dev/sdb1 /media/My\\040Disk/ vfat noauto 0 0\n"
                                                             "UUID=3 none swap sw 0 0\n");
        m_tree->WriteFile("units/data-extra.mount", "[Mount]\nWhat=/dev/sdc1\nWhere=/data/extra\n");
        m_tree->WriteFile("units/other.service", "[Service]\nWhere=/not/a/mount\n");
        QCOMPARE(ConfiguredMountPoints(fstab, m_tree->Path("units")),
                 (std::vector<std::string>{"/mnt/data", "/media/My Disk", "/data/extra"}));

        const std::vector<std::string> configured{m_tree->MakeFolder("usb")};
        m_tree->WriteFile("usb/bak/a.txt", "on the system disk", kTime);
        QVERIFY(IsInUnmountedMount(m_tree->Path("usb/bak"), configured));
        QVERIFY(IsInUnmountedMount(m_tree->Path("usb/not/yet/made"), configured));
        QVERIFY(!IsInUnmountedMount(m_source, configured));
        if (!Mount(m_tree->Path("usb")))
            QSKIP("mounting needs root");
        QVERIFY(!IsInUnmountedMount(m_tree->Path("usb/bak"), configured));
    }

    void trashFoldersAreNotDestinationOnly_data()
    {
        QTest::addColumn<int>("oldDel");
        QTest::newRow("delete") << OldFileAction::kDelete;
        QTest::newRow("recycle") << OldFileAction::kRecycle;
    }

    // The desktop keeps its trash in ".Trash-$uid" or ".Trash" at the top of a mounted
    // file system, often the destination's: never a destination-only entry.
    void trashFoldersAreNotDestinationOnly()
    {
        QFETCH(int, oldDel);
        for (const std::string trash : {".Trash-0", ".Trash-1000", ".Trash"})
            m_tree->WriteFile("bak/" + trash + "/files/x.txt", "recycled earlier", kTime);
        m_tree->WriteFile("bak/.Trash-old/x.txt", "backup of a folder", kTime);
        WriteUnchanged("keep.txt");
        m_setting.OldDel = oldDel;

        QCOMPARE(Backup(), 1);

        for (const std::string trash : {".Trash-0", ".Trash-1000", ".Trash"})
            QVERIFY2(m_tree->Exists("bak/" + trash + "/files/x.txt"), trash.c_str());
        QVERIFY(!m_tree->Exists("bak/.Trash-old"));
    }

    void moveOntoItself_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("OldMove is the destination folder") << "OldMove";
        QTest::newRow("OldMove is a link to the destination folder") << "OldMove link";
        QTest::newRow("ForcedMove is the destination folder") << "ForcedMove";
    }

    // Moving an entry into the folder it is in would delete it first: refused, the entry
    // stays.
    void moveOntoItself()
    {
        QFETCH(QString, what);
        QCOMPARE(symlink(m_destination.c_str(), m_tree->Path("baklink").c_str()), 0);
        WriteUnchanged("keep.txt");
        if (what == "ForcedMove") {
            m_tree->WriteFile("src/a.txt", "older", kTime);
            m_tree->WriteFile("bak/a.txt", "newer backup", kTime + 100);
            m_setting.ForcedInc = "*a.txt";
            m_setting.Forced = 3;
            m_setting.ForcedMove.Assign(m_destination);
        } else {
            m_tree->WriteFile("bak/a.txt", "newer backup", kTime);
            m_setting.OldDel = OldFileAction::kMove;
            m_setting.OldMove.Assign(what == "OldMove" ? m_destination : m_tree->Path("baklink"));
        }

        Backup();

        QCOMPARE(m_tree->Read("bak/a.txt"), std::string("newer backup"));
        const std::vector<CRow> errors = Errors();
        QVERIFY(!errors.empty());
        QCOMPARE(errors[0].message,
                 std::string(Row(MessageKind::kError, EngineText::kMoveToIsTheFolder).message));
        QCOMPARE(errors[0].destination, m_destination + "/a.txt");
    }

    // The root is a folder like any other: its files are found there, not in the working
    // folder of the process.
    void sourceIsTheRoot()
    {
        if (geteuid() != 0)
            QSKIP("a file in the root folder needs root");
        const std::string name = ".tovix-root-probe-" + std::to_string(getpid());
        const std::string inRoot = "/" + name;
        WriteFileBytes(inRoot, "from the root");
        m_tree->WriteFile("cwd/" + name, "from the working folder");
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(m_tree->Path("cwd"))));
        m_source = "/";
        m_setting.No.Assign("/");
        m_setting.Inc = name;

        const int result = Backup(false);

        QDir::setCurrent(previous);
        unlink(inRoot.c_str());
        QCOMPARE(result, 1);
        QCOMPARE(m_tree->Read("bak/" + name), std::string("from the root"));
    }

    void dryRunDecidedOncePerAction_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("new files") << "copy";
        QTest::newRow("destination-only entries") << "delete";
    }

    // The abort keys may change at any moment; each action reports what it did: kind 0
    // for a done action, 6 for one left undone, never the other way round.
    void dryRunDecidedOncePerAction()
    {
        QFETCH(QString, what);
        const bool copying = what == "copy";
        const std::vector<std::string> names{"e1.txt", "e2.txt", "e3.txt", "e4.txt"};
        for (const std::string& name : names)
            m_tree->WriteFile((copying ? "src/" : "bak/") + name, "data", kTime);
        WriteUnchanged("keep.txt");
        m_setting.OldDel = OldFileAction::kDelete;
        int looks = 0;
        m_host->keys.query = [&looks] { return ++looks % 2 == 0; };

        Backup();

        m_host->keys.query = nullptr;
        int done = 0;
        int undone = 0;
        for (const CMessageRow& row : m_host->sink.reportRows) {
            const std::string name = FileNameOf(row.destination);
            if (row.kind == MessageKind::kDebug || row.kind == MessageKind::kDetail
                || std::find(names.begin(), names.end(), name) == names.end())
                continue;
            QVERIFY2(row.kind == MessageKind::kFile || row.kind == MessageKind::kTest, row.message.c_str());
            const bool exists = m_tree->Exists("bak/" + name);
            QCOMPARE(exists, copying == (row.kind == MessageKind::kFile));
            ++(row.kind == MessageKind::kFile ? done : undone);
        }
        QCOMPARE(done + undone, 4);
    }

    void archiveStateInWholeSeconds_data()
    {
        QTest::addColumn<std::string>("recorded"); // {T}: the file's whole seconds, {S}: its size
        QTest::addColumn<bool>("archiveBit");
        QTest::newRow("nanoseconds the file system did not keep")
            << std::string("{T}.123456789:{S}") << false;
        QTest::newRow("same state") << std::string("{T}.000000000:{S}") << false;
        QTest::newRow("another second") << std::string("{T+1}.000000000:{S}") << true;
        QTest::newRow("another size") << std::string("{T}.000000000:{S+1}") << true;
        QTest::newRow("no record") << std::string() << true;
    }

    // Many destinations keep whole seconds only (FAT, SMB, ext4 with small inodes): the
    // archive state recorded on a backup must still match it.
    void archiveStateInWholeSeconds()
    {
        QFETCH(std::string, recorded);
        QFETCH(bool, archiveBit);
        const std::string path = m_tree->WriteFile("f.txt", "12345", kTime);
        ReplaceAll(recorded, "{T}", std::to_string(kTime));
        ReplaceAll(recorded, "{T+1}", std::to_string(kTime + 1));
        ReplaceAll(recorded, "{S}", "5");
        ReplaceAll(recorded, "{S+1}", "6");
        if (!recorded.empty())
            QCOMPARE(RecordArchiveState(path, recorded), 0);
        QCOMPARE(HasArchiveBit(path), archiveBit);
    }

    void archiveModeOnLimitedFileSystems_data()
    {
        QTest::addColumn<QString>("fileSystem");
        QTest::addColumn<int>("warnings");
        QTest::newRow("no extended attributes (ramfs)") << "ramfs" << 1;
        QTest::newRow("whole seconds (ext4 with 128-byte inodes)") << "ext4" << 0;
    }

    // A destination that keeps whole seconds still matches the state recorded on its
    // backups; one without extended attributes cannot keep it, which is said once. Either
    // way an unchanged file is left alone and a changed one is backed up, instead of an
    // error at every pass.
    void archiveModeOnLimitedFileSystems()
    {
        QFETCH(QString, fileSystem);
        QFETCH(int, warnings);
        if (!RunsAsRoot())
            QSKIP("mounting needs root");
        if (fileSystem == "ramfs") {
            QVERIFY(Mount(m_destination, "ramfs"));
        } else {
            const QString image = QString::fromStdString(m_tree->Path("ext4.img"));
            QFile file(image);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(8 * 1024 * 1024));
            file.close();
            QCOMPARE(QProcess::execute("mkfs.ext4", {"-q", "-F", "-I", "128", image}), 0);
            QCOMPARE(QProcess::execute("mount", {"-o", "loop", image, QString::fromStdString(m_destination)}),
                     0);
            m_mounts.push_back(m_destination);
        }
        m_tree->WriteFile("src/a.txt", "first");
        m_setting.ArcMode = 1;

        QCOMPARE(Backup(), 1);
        QCOMPARE(Backup(), 0);
        ChangeFile("src/a.txt", "second");
        QVERIFY(Backup() >= 1);

        QCOMPARE(m_tree->Read("bak/a.txt"), std::string("second"));
        QCOMPARE(Errors(), std::vector<CRow>{});
        QCOMPARE(RowsOf(EngineText::kArchiveStateNotKept).size(), std::size_t(warnings));
    }

private:
    // New contents a few seconds later, so that every file system sees the change.
    void ChangeFile(const std::string& relative, const std::string& contents)
    {
        const std::time_t before = FileTime(m_tree->Path(relative));
        m_tree->WriteFile(relative, contents, before + 10);
    }

    void WriteUnchanged(const std::string& name)
    {
        m_tree->WriteFile("src/" + name, "same", kTime);
        m_tree->WriteFile("bak/" + name, "same", kTime);
    }

    static std::string WithoutFinalSlash(std::string path)
    {
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        return path;
    }
};

QTEST_GUILESS_MAIN(TestFolderSafety)
#include "tst_folder_safety.moc"
