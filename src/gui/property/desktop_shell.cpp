#include "property/desktop_shell.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "app/tovix_app.h"
#include "platform/path.h"

namespace {

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
