// The manual that Help opens must stay a document a browser shows whole, and must keep up
// with the program: a command or a settings key added without a word in the manual fails
// here, and so does a shortcut the manual gets wrong.

#include <QFile>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <QtTest>

#include "app/app_texts.h"
#include "helpers/gui_app_rig.h"
#include "mainwnd/main_frame.h"
#include "platform/program_paths.h"
#include "settings/settings_report.h"

namespace {

QString ReadManual()
{
    QFile file(QString::fromStdString(FindDataFile(AppText::kManualFileName)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// "Ctrl+G" as the manual writes it: <kbd>Ctrl</kbd>+<kbd>G</kbd>.
QString KeysInManual(const QKeySequence& keys)
{
    QStringList parts;
    for (const QString& key : keys.toString(QKeySequence::PortableText).split(QLatin1Char('+')))
        parts << QStringLiteral("<kbd>") + key + QStringLiteral("</kbd>");
    return parts.join(QLatin1Char('+'));
}

// The table row that holds a position of the manual; empty outside a table.
QString RowAround(const QString& manual, qsizetype at)
{
    const qsizetype begin = manual.lastIndexOf(QStringLiteral("<tr>"), at);
    const qsizetype end = manual.indexOf(QStringLiteral("</tr>"), at);
    if (begin < 0 || end < 0 || manual.lastIndexOf(QStringLiteral("</tr>"), at) > begin)
        return {};
    return manual.mid(begin, end - begin);
}

void CollectMenuCommands(const QList<QAction*>& actions, QList<QAction*>& commands)
{
    for (QAction* action : actions) {
        if (action->isSeparator())
            continue;
        if (action->menu())
            CollectMenuCommands(action->menu()->actions(), commands);
        else
            commands << action;
    }
}

} // namespace

class TestUserManual : public QObject
{
    Q_OBJECT

private slots:
    // Parsed as XML, so an unclosed or misnested element anywhere fails; every link of the
    // contents leads somewhere, and nothing is fetched from outside the file.
    void wellFormedAndSelfContained()
    {
        const QString manual = ReadManual();
        QVERIFY2(!manual.isEmpty(), "the manual is not found where Help looks for it");
        QXmlStreamReader reader(manual);
        QSet<QString> ids;
        QStringList links;
        QStringList external;
        QString language;
        while (!reader.atEnd()) {
            if (reader.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes attributes = reader.attributes();
            if (reader.name() == QLatin1String("html"))
                language = attributes.value(QLatin1String("lang")).toString();
            const QString id = attributes.value(QLatin1String("id")).toString();
            if (!id.isEmpty())
                QVERIFY2(!ids.contains(id), qPrintable(QStringLiteral("id used twice: ") + id));
            ids.insert(id);
            for (const char* name : {"href", "src"}) {
                const QString target = attributes.value(QLatin1String(name)).toString();
                if (target.startsWith(QLatin1Char('#')))
                    links << target.mid(1);
                else if (!target.isEmpty())
                    external << target;
            }
            if (reader.name() == QLatin1String("link") || reader.name() == QLatin1String("script"))
                external << reader.name().toString();
        }
        QVERIFY2(
            !reader.hasError(),
            qPrintable(QStringLiteral("line %1: %2").arg(reader.lineNumber()).arg(reader.errorString())));
        QCOMPARE(language, QStringLiteral("ja"));
        QVERIFY(ids.contains(QStringLiteral("toc")));
        QVERIFY(ids.contains(QStringLiteral("english")));
        QStringList broken;
        for (const QString& link : links)
            if (!ids.contains(link))
                broken << link;
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join(QStringLiteral(", "))));
        QVERIFY2(external.isEmpty(), qPrintable(external.join(QStringLiteral(", "))));
    }

    // Every key the settings model has, general, start-up and per file setting.
    void namesEverySettingKey()
    {
        const QString manual = ReadManual();
        CSettingsModel model;
        model.Files = 1;
        const QString described = QString::fromStdString(DescribeSettings(model));
        static const QRegularExpression keyLine(QStringLiteral("^  (\\w+) = "),
                                                QRegularExpression::MultilineOption);
        QStringList keys;
        for (auto match = keyLine.globalMatch(described); match.hasNext();)
            keys << match.next().captured(1);
        QVERIFY(keys.size() > 60);
        QStringList missing;
        for (const QString& key : keys)
            if (!manual.contains(QStringLiteral("<code>") + key + QStringLiteral("</code>")))
                missing << key;
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
    }

    // Every command of the menus under its menu text, with the shortcut the program gives
    // it in the same row; and every shortcut of the window, menu item or not.
    void namesEveryCommandWithItsShortcut()
    {
        const QString manual = ReadManual();
        CGuiAppRig rig;
        QVERIFY(rig.started);
        QList<QAction*> commands;
        CollectMenuCommands(rig.Frame()->menuBar()->actions(), commands);
        QVERIFY(commands.size() > 20);
        QStringList missing;
        for (const QAction* command : commands) {
            const QString text = command->text().remove(QLatin1Char('&'));
            const qsizetype at = manual.indexOf(text);
            if (at < 0) {
                missing << text;
                continue;
            }
            if (command->shortcut().isEmpty())
                continue;
            // The command's row in its menu's table, wherever else the text appears.
            bool rowHasKeys = false;
            for (qsizetype found = at; found >= 0 && !rowHasKeys; found = manual.indexOf(text, found + 1))
                rowHasKeys = RowAround(manual, found).contains(KeysInManual(command->shortcut()));
            if (!rowHasKeys)
                missing << text + QStringLiteral(" ")
                               + command->shortcut().toString(QKeySequence::PortableText);
        }
        for (const QAction* action : rig.Frame()->findChildren<QAction*>())
            if (!action->shortcut().isEmpty() && !manual.contains(KeysInManual(action->shortcut())))
                missing << action->shortcut().toString(QKeySequence::PortableText);
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
    }
};

QTEST_MAIN(TestUserManual)
#include "tst_user_manual.moc"
