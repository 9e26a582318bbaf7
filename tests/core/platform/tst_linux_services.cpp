#include <QtTest>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <string>
#include <unistd.h>

#include "helpers/temp_tree.h"
#include "platform/linux/running_applications.h"
#include "platform/linux/storage_info.h"

Q_DECLARE_METATYPE(std::string)

class TestLinuxServices : public QObject
{
    Q_OBJECT

private slots:
    void processNamesIncludeThisProgram()
    {
        QFile comm("/proc/self/comm");
        QVERIFY(comm.open(QIODevice::ReadOnly));
        const std::string own = comm.readLine().trimmed().toStdString();
        const auto names = ProcessNames("/proc");
        QVERIFY(std::find(names.begin(), names.end(), own) != names.end());
        // argv[0] gives the whole program name where comm cuts it.
        const std::string program = QCoreApplication::applicationFilePath().section('/', -1).toStdString();
        QVERIFY(std::find(names.begin(), names.end(), program) != names.end());
    }

    void noDisplayNoTitles()
    {
        const QByteArray display = qgetenv("DISPLAY");
        qputenv("DISPLAY", ":987");
        QVERIFY(X11WindowTitles().empty());
        qunsetenv("DISPLAY");
        QVERIFY(X11WindowTitles().empty());
        if (!display.isEmpty())
            qputenv("DISPLAY", display);
    }

    // Mount points and labels with blanks come escaped in mountinfo (\040) and in the
    // label links (\x20).
    void mountAndLabel()
    {
        CTempTree tree;
        QVERIFY(tree.IsValid());
        const std::string root = QDir(QString::fromStdString(tree.Root())).canonicalPath().toStdString();
        const std::string mount = root + "/My Disk";
        tree.MakeFolder("My Disk/Data");
        const std::string device = tree.WriteFile("dev/sdz1", "");
        tree.MakeFolder("by-label");
        QVERIFY(symlink("../dev/sdz1", tree.Path("by-label/Backup\\x20Disk").c_str()) == 0);
        QVERIFY(symlink("../dev/other", tree.Path("by-label/Other").c_str()) == 0);
        tree.WriteFile("mountinfo", "21 1 8:2 / / rw - ext4 /dev/root rw\n"
                                    "36 21 8:1 / "
                                        + root + "/My\\040Disk rw,relatime shared:1 - vfat " + device
                                        + " rw\n");
        CLinuxStorageInfo storage(tree.Path("mountinfo"), tree.Path("by-label"));

        QCOMPARE(storage.MountPointOf(mount + "/Data/not/yet"), mount);
        QCOMPARE(storage.MountPointOf(root + "/elsewhere"), std::string("/"));
        std::string label;
        std::string fileSystem;
        storage.VolumeNames(mount, label, fileSystem);
        QCOMPARE(label, std::string("Backup Disk"));
        QCOMPARE(fileSystem, std::string("vfat"));
        storage.VolumeNames("/", label, fileSystem);
        QCOMPARE(label, std::string());
        QCOMPARE(fileSystem, std::string("ext4"));
        QVERIFY(storage.FreeBytes(mount + "/Data/not/yet").has_value());
    }
};

QTEST_GUILESS_MAIN(TestLinuxServices)
#include "tst_linux_services.moc"
