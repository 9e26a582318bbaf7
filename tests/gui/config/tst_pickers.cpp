#include <QFileDialog>
#include <QtTest>

#include "config/pickers.h"
#include "helpers/temp_tree.h"

namespace {

enum class EVariant
{
    Folder,
    File,
    FileName,
    FolderName,
};

bool Run(EVariant variant, std::string& result, const std::string& initial)
{
    switch (variant) {
    case EVariant::Folder:
        return PickFolder(result, "prompt", nullptr, initial);
    case EVariant::File:
        return PickFile(result, "prompt", nullptr, initial);
    case EVariant::FileName:
        return PickFileName(result, "prompt", nullptr, initial);
    case EVariant::FolderName:
        return PickFolderName(result, "prompt", nullptr, initial);
    }
    return false;
}

} // namespace

Q_DECLARE_METATYPE(EVariant)

class TestPickers : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SetBrowseHook({}); }

    // Each variant asks with its flags and the caller's initial folder and cuts the answer
    // to what its field holds; a cancel leaves the field alone.
    void variants_data()
    {
        QTest::addColumn<EVariant>("variant");
        QTest::addColumn<QString>("answer"); // "<cancel>": the chooser is cancelled
        QTest::addColumn<unsigned>("flags");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<QString>("result");
        const unsigned folders = BrowseFlag::kFolders;
        const unsigned files = BrowseFlag::kFolders | BrowseFlag::kIncludeFiles;
        QTest::newRow("folder") << EVariant::Folder << "/work/Sub" << folders << true << "/work/Sub";
        QTest::newRow("file") << EVariant::File << "/work/a.txt" << files << true << "/work/a.txt";
        QTest::newRow("file name") << EVariant::FileName << "/work/a.txt" << files << true << "a.txt";
        QTest::newRow("folder name") << EVariant::FolderName << "/work/Sub" << folders << true << "Sub";
        QTest::newRow("folder name of root") << EVariant::FolderName << "/" << folders << true << "";
        QTest::newRow("folder cancelled") << EVariant::Folder << "<cancel>" << folders << false << "old";
        QTest::newRow("file cancelled") << EVariant::File << "<cancel>" << files << false << "old";
        QTest::newRow("file name cancelled") << EVariant::FileName << "<cancel>" << files << false << "old";
        QTest::newRow("folder name cancelled")
            << EVariant::FolderName << "<cancel>" << folders << false << "old";
    }
    void variants()
    {
        QFETCH(EVariant, variant);
        QFETCH(QString, answer);
        QFETCH(unsigned, flags);
        QFETCH(bool, confirmed);
        QFETCH(QString, result);
        std::vector<CBrowseRequest> asked;
        SetBrowseHook([&](const CBrowseRequest& request) -> std::optional<std::string> {
            asked.push_back(request);
            if (answer == QLatin1String("<cancel>"))
                return std::nullopt;
            return answer.toStdString();
        });
        std::string field = "old";
        QCOMPARE(Run(variant, field, "/start/here"), confirmed);
        QCOMPARE(QString::fromStdString(field), result);
        QCOMPARE(int(asked.size()), 1);
        QCOMPARE(asked[0].flags, flags);
        QCOMPARE(asked[0].prompt, std::string("prompt"));
        QCOMPARE(asked[0].initialFolder, std::string("/start/here"));
    }

    // The real chooser: the prompt as caption, files only for the file pickers, opened at
    // an existing folder, at a file's folder with the file chosen, and at its default
    // place for a folder that does not exist.
    void chooserSetUp()
    {
        CTempTree tree;
        const std::string file = tree.WriteFile("dir/a.wav", "x");
        QFileDialog folder;
        ConfigureBrowseDialog(folder, "適当なフォルダを選択してください", tree.Path("dir"),
                              BrowseFlag::kFolders);
        QCOMPARE(folder.windowTitle(), QStringLiteral("適当なフォルダを選択してください"));
        QCOMPARE(folder.fileMode(), QFileDialog::Directory);
        QVERIFY(folder.testOption(QFileDialog::ShowDirsOnly));
        QCOMPARE(folder.directory().absolutePath(), QString::fromStdString(tree.Path("dir")));

        QFileDialog picked;
        ConfigureBrowseDialog(picked, "p", file, BrowseFlag::kFolders | BrowseFlag::kIncludeFiles);
        QCOMPARE(picked.fileMode(), QFileDialog::ExistingFile);
        QVERIFY(!picked.testOption(QFileDialog::ShowDirsOnly));
        QCOMPARE(picked.directory().absolutePath(), QString::fromStdString(tree.Path("dir")));

        QFileDialog defaults;
        const QString defaultPlace = defaults.directory().absolutePath();
        QFileDialog missing;
        ConfigureBrowseDialog(missing, "p", tree.Path("gone/away"), BrowseFlag::kFolders);
        QCOMPARE(missing.directory().absolutePath(), defaultPlace);
    }
};

QTEST_MAIN(TestPickers)
#include "tst_pickers.moc"
