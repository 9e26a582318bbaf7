// Puts the windows of the desktop program on screen with contents of every kind, for the
// screenshots of scripts/screenshots:
//   gui_showcase lists      the lists with rows of all seven kinds
//   gui_showcase box        the lists and a timed question counting down
//   gui_showcase progress   the lists and the start-up progress window
//   gui_showcase pause      the lists and the pause window
//   gui_showcase general    the general configuration dialog
//   gui_showcase compress   the compression settings of a file setting (Shift held)
//   gui_showcase files      the file configuration with three settings (one a sample)
// The program stays until it is ended.

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <cstring>
#include <fstream>

#include "app/application.h"
#include "config/compress_config_dlg.h"
#include "config/file_config_dlg.h"
#include "config/general_config_dlg.h"
#include "engine/engine_texts.h"
#include "framework/progress_window.h"
#include "mainwnd/main_frame.h"
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
    } else if (std::strcmp(mode, "box") == 0) {
        QTimer::singleShot(300, &window, [&box] {
            box.TimedMessageBox(EngineText::kBatteryQuestion, kApplicationName, kPauseQuestionBoxType, 30000);
        });
    }
    return QApplication::exec();
}
