#include <QtTest>

#include <cerrno>

#include "engine/error_check.h"
#include "helpers/fake_services.h"
#include "platform/last_error.h"
#include "report/format_text.h"
#include "report/report_texts.h"
#include "settings/application_core.h"

class TestErrorCheck : public QObject
{
    Q_OBJECT

private slots:
    void classification_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<int>("fx");
        QTest::addColumn<bool>("ignorable");
        QTest::addColumn<QString>("message");

        QTest::newRow("no error") << 0 << "/a"
                                  << "" << 0 << true << "";
        QTest::newRow("not found") << ENOENT << "/a"
                                   << "" << 0 << true << "";
        QTest::newRow("not a folder") << ENOTDIR << ""
                                      << "/b" << 0 << true << "";
        QTest::newRow("name too long") << ENAMETOOLONG << "/a"
                                       << "/b" << 0 << true << "";
        QTest::newRow("access denied") << EACCES << "/a"
                                       << "" << 0 << false << "予期せぬエラーを検出 ($D)";
        QTest::newRow("I/O error, hex digits") << EHOSTUNREACH << ""
                                               << "/b" << 0 << false << "予期せぬエラーを検出 ($71)";
        QTest::newRow("host down on a local path") << EHOSTDOWN << "/a"
                                                   << "" << 0 << false << "予期せぬエラーを検出 ($70)";
        QTest::newRow("host down, network source") << EHOSTDOWN << "//srv/share/a"
                                                   << "" << 0 << true << "";
        QTest::newRow("network unreachable, network destination") << ENETUNREACH << "/a"
                                                                  << "//srv/s/b" << 0 << true << "";
        QTest::newRow("host unreachable, network path") << EHOSTUNREACH << "//srv/s"
                                                        << "" << 0 << true << "";
        QTest::newRow("access denied on a network path") << EACCES << "//srv/s"
                                                         << "" << 0 << false << "予期せぬエラーを検出 ($D)";
        QTest::newRow("fx ignores everything") << EIO << "/a"
                                               << "" << 1 << true << "";
        QTest::newRow("fx forced by the command line") << EACCES << "/a"
                                                       << "" << 2 << true << "";
    }
    void classification()
    {
        QFETCH(int, error);
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(int, fx);
        QFETCH(bool, ignorable);
        QFETCH(QString, message);
        CFakeHost host;
        CApplicationCore core(host.Services(), CCommandLine{});
        core.Settings().startup.fx = fx;

        SetLastSystemError(error);
        QCOMPARE(CheckUnexpectedError(core, source.toStdString(), destination.toStdString()), ignorable);
        QCOMPARE(GetLastSystemError(), error);
        if (message.isEmpty()) {
            QVERIFY(host.sink.reportRows.empty());
            return;
        }
        QCOMPARE(host.sink.reportRows.size(), std::size_t(1));
        const CMessageRow& row = host.sink.reportRows[0];
        QCOMPARE(row.kind, MessageKind::kError);
        QCOMPARE(row.message, ReportText::kErrorPrefix + message.toStdString());
        QCOMPARE(row.source, source.toStdString());
        QCOMPARE(row.destination, destination.toStdString());
        QCOMPARE(row.info, SystemErrorSuffixOf(error));
    }

    void accessDeniedSuffix()
    {
        CFakeHost host;
        CApplicationCore core(host.Services(), CCommandLine{});
        SetLastSystemError(EACCES);
        QVERIFY(!CheckUnexpectedError(core, "/a"));
        QCOMPARE(host.sink.reportRows.at(0).info, std::string(".$0000000D-Permission denied"));
    }
};

QTEST_GUILESS_MAIN(TestErrorCheck)
#include "tst_error_check.moc"
