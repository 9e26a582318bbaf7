// Rows per second into a report list with the row limit of a busy log (9999), and the
// memory that takes: after the limit is reached the list must neither slow down nor grow.
//
//   QT_QPA_PLATFORM=offscreen gui_rows [rows] [rows between event-loop turns]

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include "report/report_view.h"

namespace {

long ResidentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long PeakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int batch = argc > 2 ? std::atoi(argv[2]) : 50;
    constexpr int kLimit = 9999;

    CReportView view;
    view.SetRowLimit(kLimit);
    view.resize(1000, 700);
    view.show();
    QCoreApplication::processEvents();
    IMessageSink& sink = view;

    const std::string source = "/home/user/Documents/projects/tovix/src/report/message_output.cpp";
    const std::string destination =
        "/media/backup/Tovix/home/user/Documents/projects/tovix/src/report/message_output.cpp";
    CMessageRow row{0, "", source, destination, "", "12:34:56", "12/08/26"};

    long residentAtLimit = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    for (int i = 0; i < rows; ++i) {
        row.kind = i % 7;
        row.message = "T" + std::to_string(i) + "更新(T)";
        sink.AddReportRow(row);
        if (i % 10 == 0)
            sink.AddErrorRow(row);
        // The engine lets the event loop run between files: painting, scrolling.
        if (batch > 0 && i % batch == 0)
            QCoreApplication::processEvents();
        if (i == kLimit * 2)
            residentAtLimit = ResidentKiB();
        if (i > 0 && i % (rows / 10) == 0)
            std::printf("  after %7d rows: resident %ld KiB\n", i, ResidentKiB());
    }
    // What is still pending is shown, as the next refresh would.
    view.ReportList()->Refresh();
    view.ErrorList()->Refresh();
    QCoreApplication::processEvents();
    const double seconds = elapsed.nsecsElapsed() / 1e9;

    std::printf("rows %d (plus %d error rows), event-loop turn every %d rows\n", rows, rows / 10, batch);
    std::printf("time %.3f s, %.0f rows/s\n", seconds, rows / seconds);
    std::printf("rows kept: report %d, errors %d; shown: report %d\n", view.ReportList()->RowCount(),
                view.ErrorList()->RowCount(), view.ReportList()->model()->rowCount());
    std::printf("resident after %d rows: %ld KiB, at the end: %ld KiB, peak: %ld KiB\n", kLimit * 2,
                residentAtLimit, ResidentKiB(), PeakKiB());
    return 0;
}
