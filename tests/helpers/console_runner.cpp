#include "helpers/console_runner.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDirIterator>
#include <QFileInfo>
#include <QtTest>

#include "helpers/temp_tree.h"
#include "platform/atomic_copy.h"

bool WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return true;
}

bool HasLine(const QByteArray& output, const QByteArray& kindLetter, const QByteArray& text)
{
    for (const QByteArray& line : output.split('\n'))
        if (line.startsWith(kindLetter + '\t') && line.contains(text))
            return true;
    return false;
}

QString ConsoleProgram()
{
    QString folder = qEnvironmentVariable("TOVIX_BIN_DIR");
    if (folder.isEmpty())
        folder = QCoreApplication::applicationDirPath();
    return folder + "/tovix-console";
}

QStringList TemporaryFilesBelow(const std::string& root)
{
    QStringList found;
    QDirIterator it(QString::fromStdString(root), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (IsOwnTemporaryFile(it.fileName().toStdString()))
            found << it.filePath();
    }
    return found;
}

CConsoleRun::CConsoleRun(const CTempTree& tree, const QStringList& arguments, const QStringList& wrapper)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(tree.Path("config")));
    environment.insert("TMPDIR", QString::fromStdString(tree.Root()));
    m_process.setProcessEnvironment(environment);
    if (wrapper.isEmpty())
        m_process.start(ConsoleProgram(), arguments);
    else
        m_process.start(wrapper.front(), wrapper.mid(1) + QStringList{ConsoleProgram()} + arguments);
    m_process.closeWriteChannel();
}

CConsoleRun::~CConsoleRun()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

const QByteArray& CConsoleRun::Output()
{
    m_output += m_process.readAllStandardOutput();
    return m_output;
}

bool CConsoleRun::Shows(const QByteArray& kindLetter, const QByteArray& text)
{
    return HasLine(Output(), kindLetter, text);
}

bool CConsoleRun::Finish(int timeoutMs)
{
    const bool ended = m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
    Output();
    return ended;
}
