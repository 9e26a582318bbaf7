// Puts the windows of the desktop program on screen with contents of every kind, for the
// screenshots of scripts/screenshots:
//   gui_showcase lists      the lists with rows of all seven kinds
//   gui_showcase box        the lists and a timed question counting down
//   gui_showcase progress   the lists and the start-up progress window
//   gui_showcase pause      the lists and the pause window
//   gui_showcase general    the general configuration dialog
//   gui_showcase compress   the compression settings of a file setting (Shift held)
//   gui_showcase files      the file configuration with three settings (one a sample)
//   gui_showcase folderbackup  the folder backup dialog with two settings chosen
//   gui_showcase generations   the same dialog for the deletion of generation files
//   gui_showcase state      the backup state window over a small prepared tree
//   gui_showcase property   the file property dialog of a source file and its backup
//   gui_showcase compare    the compare window of two versions of a text file
// The program stays until it is ended.

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QListWidget>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/application.h"
#include "config/backup_state_dlg.h"
#include "config/compress_config_dlg.h"
#include "config/file_config_dlg.h"
#include "config/folder_backup_dlg.h"
#include "config/general_config_dlg.h"
#include "engine/engine_texts.h"
#include "framework/progress_window.h"
#include "mainwnd/main_frame.h"
#include "property/compare_window.h"
#include "property/file_property_dlg.h"
#include "report/report_texts.h"
#include "report/timed_message_box.h"
#include "version.h"

namespace {

void FillLists(CReportView& view)
{
    IMessageSink& sink = view;
    const std::string w = ReportText::kWarningPrefix;
    const std::string e = ReportText::kErrorPrefix;
    sink.AddReportRow({3, "Welcome to Vesk Realtime Backup", "/home/hanako/.config/tovix/Tovix.TVX", "",
                       "Version 0.1.0", "09:05:30", "12/08/26"});
    sink.AddReportRow(
        {3, "監視開始", "/home/hanako/ドキュメント", "/media/backup/Tovix", "", "09:05:30", "12/08/26"});
    sink.AddReportRow(
        {4, "フォルダ内の変化を検出しました", "/home/hanako/ドキュメント", "", "", "09:06:02", "12/08/26"});
    sink.AddReportRow(
        {0,
         "T/home/hanako/ドキュメント/議事録.txt更新(/media/backup/Tovix/home/hanako/ドキュメント/議事録.txt)",
         "/home/hanako/ドキュメント/議事録.txt", "/media/backup/Tovix/home/hanako/ドキュメント/議事録.txt",
         "", "09:06:07", "12/08/26"});
    sink.AddReportRow({6, "(テスト) 新規コピー", "/home/hanako/ドキュメント/見積書.ods",
                       "/media/backup/Tovix/home/hanako/ドキュメント/見積書.ods", "", "09:06:07",
                       "12/08/26"});
    sink.AddReportRow({5, "pass start", "", "", "files=2", "09:06:07", "12/08/26"});
    const CMessageRow warning{1,
                              w + "バックアップ先のほうが新しいファイルです",
                              "/home/hanako/ドキュメント/予定表.xlsx",
                              "/media/backup/Tovix/home/hanako/ドキュメント/予定表.xlsx",
                              "",
                              "09:06:08",
                              "12/08/26"};
    const CMessageRow error{2,
                            e + "コピーできません",
                            "/home/hanako/ドキュメント/ロック中.db",
                            "/media/backup/Tovix/home/hanako/ドキュメント/ロック中.db",
                            ".$0000000D-Permission denied",
                            "09:06:08",
                            "12/08/26"};
    sink.AddReportRow(warning);
    sink.AddReportRow(error);
    sink.AddReportRow({3, "完了", "", "", "", "09:06:09", "12/08/26"});
    sink.AddErrorRow(warning);
    sink.AddErrorRow(error);
    sink.SetStatusText("完了");
}

// Settings of a typical user: three watched folders, a sample and a deleted one.
void FillSettings(CSettingsModel& model)
{
    model.general.BakCopyPath.Assign("/media/backup/Tovix");
    const char* sources[] = {"/home/hanako/ドキュメント", "#/home/hanako/見本", "/home/hanako/写真", "",
                             "/home/hanako/プロジェクト/報告書"};
    model.Files = 5;
    for (int index = 0; index < model.Files; ++index)
        model.files[static_cast<std::size_t>(index)].No.Assign(sources[index]);
    model.files[2].BakTo.Assign("/media/usb-disk/写真");
}

void WriteAt(const QString& path, const QByteArray& bytes, qint64 secondsAgo)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(bytes);
    file.flush();
    file.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo), QFileDevice::FileModificationTime);
}

// A source and its backup with a file of every state.
void PrepareStateTree(const QString& root, CFileSetting& setting)
{
    const QString source = root + QStringLiteral("/ドキュメント");
    const QString backup = root + QStringLiteral("/バックアップ");
    const qint64 day = 86400;
    const auto both = [&](const QString& name, const QByteArray& now, const QByteArray& then, qint64 age,
                          qint64 backupAge) {
        WriteAt(source + "/" + name, now, age);
        WriteAt(backup + "/" + name, then, backupAge);
    };
    both(QStringLiteral("議事録.txt"), "minutes of the meeting", "minutes of the meeting", 3 * day, 3 * day);
    both(QStringLiteral("見積書.ods"), QByteArray(18230, 'x'), QByteArray(17544, 'x'), 600, 2 * day);
    WriteAt(backup + QStringLiteral("/見積書.$1.ods"), QByteArray(17544, 'x'), 2 * day);
    WriteAt(backup + QStringLiteral("/見積書.$2.ods"), QByteArray(16002, 'x'), 5 * day);
    both(QStringLiteral("写真/旅行.jpg"), QByteArray(245760, 'j'), QByteArray(245760, 'j'), 9 * day, 9 * day);
    WriteAt(source + QStringLiteral("/新しいメモ.txt"), "new note", 120);
    WriteAt(source + QStringLiteral("/作業中.tmp"), "temporary", 60);
    WriteAt(backup + QStringLiteral("/古い資料.pdf"), QByteArray(98304, 'p'), 30 * day);
    WriteAt(backup + QStringLiteral("/古い資料.$1.pdf"), QByteArray(90112, 'p'), 40 * day);
    setting.No.Assign(source.toStdString());
    setting.BakTo.Assign(backup.toStdString());
    setting.Sub = 1;
    setting.Exc = "*.tmp";
}
// Two versions of a minutes file, the older one as its backup.
struct CSampleFiles
{
    CSampleFiles()
    {
        const std::string root = dir.path().toStdString();
        std::filesystem::create_directories(root + "/ドキュメント");
        std::filesystem::create_directories(root + "/backup/ドキュメント");
        source = root + "/ドキュメント/議事録.txt";
        backup = root + "/backup/ドキュメント/議事録.txt";
        std::ofstream(source) << "議事録 2026年12月8日\n出席: 山田, 佐藤, 鈴木\n\n1. 予算案について\n"
                                 "   来期の予算案を承認した.\n2. 日程\n   次回は12月15日 10:00から.\n"
                                 "3. その他\n   資料は共有フォルダに置く.\n";
        std::ofstream(backup) << "議事録 2026年12月8日\n出席: 山田, 佐藤\n\n1. 予算案について\n"
                                 "   来期の予算案を検討した.\n2. 日程\n   次回は未定.\n";
    }
    QTemporaryDir dir;
    std::string source;
    std::string backup;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QTranslator translator;
    if (translator.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
    const char* mode = argc > 1 ? argv[1] : "lists";

    // The main frame on an application that loaded nothing: menus and lists, no engine.
    CApplication app{CCommandLine{}};
    CMainFrame window(app);
    window.SetRestorePlacement(false);
    window.SetSavePlacement(false);
    window.setGeometry(60, 60, 1100, 620);
    FillLists(*window.View());
    window.show();

    std::unique_ptr<CwPgsWnd> progress;
    CTimedMessageBox box;
    box.SetOwner(&window);
    if (std::strcmp(mode, "progress") == 0) {
        progress =
            std::make_unique<CwPgsWnd>(&window, QString::fromUtf8(kApplicationName), true, QString(), false);
        progress->SetRange(0, 5, 1);
        progress->SetText(QStringLiteral("Wait a moment..."));
        progress->SetPos(2);
    } else if (std::strcmp(mode, "pause") == 0) {
        progress = std::make_unique<CwPgsWnd>(&window, QString::fromUtf8(kApplicationName), false,
                                              QString::fromUtf8(" 続行 "), false);
        progress->SetRange(0, 100, 1);
        progress->SetText(QString::fromUtf8("バックアップ一時停止中..."));
        progress->SetPos(40);
    } else if (std::strcmp(mode, "general") == 0) {
        QTimer::singleShot(300, &window, [&app, &window] {
            CGeneralConfigDlg dialog(app, &window, {}, {});
            dialog.exec();
        });
    } else if (std::strcmp(mode, "compress") == 0) {
        app.Core().Settings().Files = 1;
        app.Core().Settings().files[0].No.Assign("/home/hanako/ドキュメント");
        app.Core().Settings().files[0].CompMode = 3;
        QTimer::singleShot(300, &window, [&app, &window] {
            CCompressConfigDlg dialog(app, 0, &window, true, {});
            dialog.exec();
        });
    } else if (std::strcmp(mode, "files") == 0) {
        // The dialog reads the settings file itself: a file of its own in a temporary folder.
        static QTemporaryDir folder;
        const std::string path = folder.filePath(QStringLiteral("Tovix.TVX")).toStdString();
        std::ofstream(path, std::ios::binary)
            << "[Setting]\r\nBakCopyPath=/media/backup/Tovix\r\n[Backup]\r\nFiles=3\r\n"
               "No0=/home/hanako/ドキュメント\r\nSub0=1\r\nInc0=*.*\r\nExc0=*.tmp;~*\r\nDirExc0=.cache\r\n"
               "Gen0=3\r\nDoInterval0=3600\r\nOldDel0=3\r\nOldMove0=%temp%\r\nNewBakTo0=\r\n"
               "No1=/home/hanako/写真\r\nSub1=1\r\nCompMode1=3\r\nCompFile1=/media/backup/Tovix/写真\r\n"
               "No2=#/home/hanako/見本\r\n";
        app.LoadSettingsFile(path);
        QTimer::singleShot(300, &window, [&app, &window] {
            CFileConfigDlg dialog(app, &window, {});
            dialog.exec();
        });
    } else if (std::strcmp(mode, "folderbackup") == 0 || std::strcmp(mode, "generations") == 0) {
        FillSettings(app.Core().Settings());
        const int dialogMode = std::strcmp(mode, "generations") == 0 ? 1 : 0;
        QTimer::singleShot(300, &window, [&app, &window, dialogMode] {
            CFolderBackupDlg dialog(app, dialogMode, &window);
            auto* list = dialog.findChild<QListWidget*>();
            list->item(0)->setSelected(true);
            list->item(2)->setSelected(true);
            dialog.exec();
        });
    } else if (std::strcmp(mode, "state") == 0) {
        static QTemporaryDir root;
        FillSettings(app.Core().Settings());
        PrepareStateTree(root.path(), app.Core().Settings().files[0]);
        QTimer::singleShot(300, &window, [&app, &window] {
            auto* state = new CBackupStateDlg(app, 0);
            state->SetDestroyOnCancel(true);
            state->Create(&window);
        });
    } else if (std::strcmp(mode, "property") == 0 || std::strcmp(mode, "compare") == 0) {
        static CSampleFiles files;
        const bool property = std::strcmp(mode, "property") == 0;
        QTimer::singleShot(300, &window, [&app, &window, property] {
            if (property) {
                ShowFileProperties(
                    app.Core(), window.Shell(), {},
                    {files.source, files.backup, "T" + files.source + "更新(" + files.backup + ")", ""},
                    &window);
                return;
            }
            CCompareWindow compare(files.source, files.backup, &window);
            compare.exec();
        });
    } else if (std::strcmp(mode, "box") == 0) {
        QTimer::singleShot(300, &window, [&box] {
            box.TimedMessageBox(EngineText::kBatteryQuestion, kApplicationName, kPauseQuestionBoxType, 30000);
        });
    }
    return QApplication::exec();
}
