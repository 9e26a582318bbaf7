#include "property/desktop_shell.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "platform/path.h"

namespace {

// The Exec line of a desktop entry with its field codes: the file goes where %f, %F, %u
// or %U stands (or at the end), the other codes are dropped.
std::string CommandOfDesktopEntry(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.startsWith(QLatin1String("Exec="))) {
            QStringList words = QProcess::splitCommand(line.mid(5));
            QStringList kept;
            for (const QString& word : words)
                if (!(word.size() == 2 && word.startsWith(QLatin1Char('%'))))
                    kept << word;
            return kept.join(QLatin1Char(' ')).toStdString();
        }
    }
    return {};
}

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

// File names are bytes; QFile's decoding gives them back unchanged where Qt encodes them.
QUrl LocalUrl(const std::string& path)
{
    return QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path)));
}

} // namespace

std::string DesktopTextEditor()
{
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (query.isEmpty())
        return {};
    QProcess process;
    process.start(query, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/plain")});
    if (!process.waitForFinished(5000))
        return {};
    const QString entry = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    if (entry.isEmpty())
        return {};
    const QString found =
        QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry, QStandardPaths::LocateFile);
    return found.isEmpty() ? std::string() : CommandOfDesktopEntry(found);
}

bool CDesktopShell::Start(const std::string& program, const std::vector<std::string>& arguments)
{
    QStringList list;
    for (const std::string& argument : arguments)
        list << QFile::decodeName(QByteArray::fromStdString(argument));
    return QProcess::startDetached(Text(program), list);
}

bool CDesktopShell::Open(const std::string& path)
{
    return QDesktopServices::openUrl(LocalUrl(path));
}

bool CDesktopShell::ShowInFileManager(const std::string& path)
{
    const QFileInfo info(QFile::decodeName(QByteArray::fromStdString(path)));
    if (info.exists() && !info.isDir()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{LocalUrl(path).toString()} << QString();
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
        return Open(ParentPath(path));
    }
    return Open(path);
}

std::vector<std::string> CDesktopShell::TextEditor()
{
    std::vector<std::string> words;
    for (const QString& word : QProcess::splitCommand(Text(DesktopTextEditor())))
        words.push_back(word.toStdString());
    return words;
}

std::string CDesktopShell::FindProgram(const std::string& name)
{
    return QStandardPaths::findExecutable(Text(name)).toStdString();
}
