#include <QtTest>

#include "app/app_texts.h"
#include "engine/engine_texts.h"
#include "helpers/gui_app_rig.h"
#include "mainwnd/command_ids.h"
#include "mainwnd/frame_texts.h"
#include "platform/program_paths.h"
#include "version.h"

Q_DECLARE_METATYPE(ESettingsChooserMode)

class TestTovixApp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    }

    // New, Open and Save as through their commands: the chooser starts where it should,
    // the program switches to the chosen file and watches its folders; a cancelled
    // chooser changes nothing.
    void settingsFileCommands_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<ESettingsChooserMode>("mode");
        QTest::addColumn<bool>("confirm");
        QTest::newRow("new") << CommandId::kNewSettings << ESettingsChooserMode::New << true;
        QTest::newRow("open") << CommandId::kOpenSettings << ESettingsChooserMode::Open << true;
        QTest::newRow("save as") << CommandId::kSaveSettingsAs << ESettingsChooserMode::SaveAs << true;
        QTest::newRow("open cancelled") << CommandId::kOpenSettings << ESettingsChooserMode::Open << false;
    }
    void settingsFileCommands()
    {
        QFETCH(int, command);
        QFETCH(ESettingsChooserMode, mode);
        QFETCH(bool, confirm);
        CGuiAppRig rig;
        QVERIFY(rig.started);
        // A long path: the tray tip is cut, the title keeps the file name.
        const std::string chosen = rig.tree.Path(std::string(40, 'd') + "/other.TVX");
        if (mode == ESettingsChooserMode::Open)
            rig.tree.WriteFile(std::string(40, 'd') + "/other.TVX",
                               "[Setting]\r\nBakCopyPath=" + rig.tree.Path("bak")
                                   + "\r\n[Backup]\r\nFiles=1\r\nNo0=" + rig.tree.Path("other") + "\r\n");
        else
            rig.tree.MakeFolder(std::string(40, 'd'));
        rig.tree.MakeFolder("other");
        std::vector<std::pair<ESettingsChooserMode, std::string>> offered;
        rig.app->SetFileChooser(
            [&](ESettingsChooserMode asked, const std::string& initial) -> std::optional<std::string> {
                offered.emplace_back(asked, initial);
                return confirm ? std::optional<std::string>(chosen) : std::nullopt;
            });
        const std::size_t watchedBefore = rig.notifiers.watchedFolders.size();
        // The template names no destination: the restart says so once.
        if (mode == ESettingsChooserMode::New)
            rig.app->Prompter().QueueAnswer(MessageBoxAnswer::kOk);
        rig.Trigger(command);
        QVERIFY(!rig.app->Prompter().HasQueuedAnswers());

        QCOMPARE(int(offered.size()), 1);
        QCOMPARE(offered[0].first, mode);
        QCOMPARE(offered[0].second, mode == ESettingsChooserMode::New
                                        ? GetConfigDirectory() + "/" + AppText::kNewSettingsFileName
                                        : rig.settingsPath);
        const std::string now = confirm ? chosen : rig.settingsPath;
        QCOMPARE(rig.app->App().Core().SettingsFilePath(), now);
        QCOMPARE(rig.app->Document().Title(), QString::fromStdString(now));
        QCOMPARE(rig.Frame()->windowTitle(), QFileInfo(QString::fromStdString(now)).fileName()
                                                 + QStringLiteral(" - Vesk Realtime Backup"));
        QCOMPARE(rig.Frame()->Tray().Tip(), CTrayIcon::MakeTip(QString::fromStdString(now)));
        if (!confirm) {
            QCOMPARE(rig.notifiers.watchedFolders.size(), watchedBefore);
            return;
        }
        QVERIFY(PathExists(chosen));
        QVERIFY(rig.tee.record.HasMessage(AppText::kRestart));
        QCOMPARE(rig.Frame()->Tray().Tip().size(), FrameText::kTrayTipLimit);
        // Monitoring was set up again from the chosen file.
        const std::string expected = mode == ESettingsChooserMode::Open     ? rig.tree.Path("other")
                                     : mode == ESettingsChooserMode::SaveAs ? rig.tree.Path("src")
                                                                            : std::string();
        if (!expected.empty()) {
            QVERIFY(rig.notifiers.watchedFolders.size() > watchedBefore);
            QCOMPARE(rig.notifiers.watchedFolders.back(), expected);
        }
    }

    // Editing asks first; an editor that cannot be started is reported with its name and
    // the file.
    void editSettingsFile_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("starts");
        QTest::addColumn<int>("launches");
        QTest::addColumn<int>("boxes");
        QTest::newRow("cancel") << MessageBoxAnswer::kCancel << true << 0 << 1;
        QTest::newRow("ok") << MessageBoxAnswer::kOk << true << 1 << 1;
        QTest::newRow("editor fails") << MessageBoxAnswer::kOk << false << 1 << 2;
    }
    void editSettingsFile()
    {
        QFETCH(int, answer);
        QFETCH(bool, starts);
        QFETCH(int, launches);
        QFETCH(int, boxes);
        CGuiAppRig rig;
        QVERIFY(rig.started);
        std::vector<std::pair<std::string, std::string>> launched;
        rig.app->SetLauncher([&](const std::string& program, const std::string& argument) {
            launched.emplace_back(program, argument);
            return starts;
        });
        rig.app->Prompter().QueueAnswer(answer);
        rig.app->Prompter().QueueAnswer(MessageBoxAnswer::kOk);
        rig.Trigger(CommandId::kEditSettingsFile);
        QCOMPARE(int(launched.size()), launches);
        QCOMPARE(rig.boxes.texts.size(), boxes);
        const QString path = QString::fromStdString(rig.settingsPath);
        QVERIFY(rig.boxes.texts[0].contains(QStringLiteral("設定ファイル (") + path
                                            + QStringLiteral(") をテキストで編集します")));
        if (launches > 0)
            QCOMPARE(launched[0].second, rig.settingsPath);
        if (boxes > 1)
            QCOMPARE(rig.boxes.texts[1], QString::fromStdString(launched[0].first) + QLatin1Char(' ') + path
                                             + QStringLiteral("\nを起動できませんでした"));
    }

    // The manual opens from the data folder; when it cannot be opened, the box says so.
    void manual()
    {
        CGuiAppRig rig;
        QVERIFY(rig.started);
        std::vector<std::string> opened;
        bool opens = true;
        rig.app->SetOpener([&](const std::string& path) {
            opened.push_back(path);
            return opens;
        });
        rig.Trigger(CommandId::kManual);
        QCOMPARE(int(opened.size()), 1);
        QCOMPARE(opened[0], FindDataFile(AppText::kManualFileName));
        QVERIFY(rig.boxes.texts.isEmpty());

        opens = false;
        rig.app->Prompter().QueueAnswer(MessageBoxAnswer::kOk);
        rig.Trigger(CommandId::kManual);
        QCOMPARE(rig.boxes.texts,
                 QStringList{QString::fromStdString(opened[1]) + QStringLiteral(" が開けませんでした")});
    }

    void aboutShowsVersion()
    {
        CGuiAppRig rig;
        QVERIFY(rig.started);
        rig.app->Prompter().QueueAnswer(MessageBoxAnswer::kOk);
        rig.Trigger(CommandId::kAbout);
        QCOMPARE(rig.boxes.texts, QStringList{QStringLiteral("Vesk Realtime Backup\nVersion ")
                                              + QString::fromUtf8(kTovixVersion)});
    }

    // Started with min, the window comes up minimised; otherwise shown normally.
    void startMinimised_data()
    {
        QTest::addColumn<bool>("min");
        QTest::newRow("normal") << false;
        QTest::newRow("min") << true;
    }
    void startMinimised()
    {
        QFETCH(bool, min);
        CGuiAppRig rig({}, min ? std::vector<std::string>{"-min"} : std::vector<std::string>{});
        QVERIFY(rig.started);
        QCOMPARE(rig.Frame()->isMinimized(), min);
        QCOMPARE(rig.app->App().Core().Settings().startup.min, min ? 2 : 0);
        // The view started monitoring either way.
        QCOMPARE(rig.State().monitoringActive, 1);
    }

private:
    QTemporaryDir m_config;
};

QTEST_MAIN(TestTovixApp)
#include "tst_tovix_app.moc"
