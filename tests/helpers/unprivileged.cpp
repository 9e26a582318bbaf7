#include "helpers/unprivileged.h"

#include <QCoreApplication>
#include <QProcess>
#include <unistd.h>

namespace {

constexpr int kRunMs = 60000;

} // namespace

bool RunsAsRoot()
{
    return geteuid() == 0;
}

bool RunTestAsNobody(const QString& function, QByteArray& output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                              QCoreApplication::applicationFilePath(), function});
    const bool ended = process.waitForFinished(kRunMs);
    output = process.readAll();
    if (!ended) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    // One row passed, nothing failed, nothing skipped: a skip would prove as little as
    // the run as root.
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0
           && output.contains("PASS   : ") && !output.contains("SKIP   : ");
}
