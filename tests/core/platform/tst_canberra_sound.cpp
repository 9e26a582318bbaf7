#include <QtTest>

#include <cerrno>
#include <cstdint>
#include <string>

#include "helpers/temp_tree.h"
#include "platform/linux/canberra_sound.h"

namespace {

// A short, valid PCM WAV file (8 kHz, mono, 8 bit, 0.1 s of silence).
std::string SilentWav()
{
    const std::uint32_t samples = 800;
    auto u32 = [](std::uint32_t v) {
        return std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF),
                           char((v >> 24) & 0xFF)};
    };
    auto u16 = [](std::uint16_t v) { return std::string{char(v & 0xFF), char((v >> 8) & 0xFF)}; };
    std::string wav = "RIFF" + u32(36 + samples) + "WAVE";
    wav += "fmt " + u32(16) + u16(1) + u16(1) + u32(8000) + u32(8000) + u16(1) + u16(8);
    wav += "data" + u32(samples) + std::string(samples, char(0x80));
    return wav;
}

} // namespace

// No display and no sound server are needed: whatever the machine offers, the player
// answers at once and never crashes.
class TestCanberraSound : public QObject
{
    Q_OBJECT

private slots:
    void rejectsWhatCannotBePlayed_data();
    void rejectsWhatCannotBePlayed();
    void keepsErrno();
};

void TestCanberraSound::rejectsWhatCannotBePlayed_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty name") << QString();
    QTest::newRow("missing file") << QStringLiteral("missing.wav");
    QTest::newRow("empty file") << QStringLiteral("empty.wav");
    QTest::newRow("folder") << QStringLiteral("folder");
    QTest::newRow("not a sound") << QStringLiteral("text.wav");
}

void TestCanberraSound::rejectsWhatCannotBePlayed()
{
    QFETCH(QString, name);
    CTempTree tree;
    tree.WriteFile("empty.wav", "");
    tree.MakeFolder("folder");
    tree.WriteFile("text.wav", "this is not a sound file at all\n");

    CCanberraSound player("Tovix test");
    const std::string path = name.isEmpty() ? std::string() : tree.Path(name.toStdString());
    QVERIFY(!player.PlayFile(path));
    // A second try on the same player behaves the same.
    QVERIFY(!player.PlayFile(path));
}

void TestCanberraSound::keepsErrno()
{
    CTempTree tree;
    const std::string path = tree.WriteFile("silence.wav", SilentWav());
    CCanberraSound player;
    errno = EXDEV;
    player.PlayFile(tree.Path("missing.wav"));
    player.PlayFile(path);
    player.Beep(EBeep::Information);
    const int errnoAfter = errno;
    QCOMPARE(errnoAfter, EXDEV);
}

QTEST_GUILESS_MAIN(TestCanberraSound)
#include "tst_canberra_sound.moc"
