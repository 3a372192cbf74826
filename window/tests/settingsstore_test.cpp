#include "settingsof.h"
#include "settingsstore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quenzil;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

const QString everySetting = QStringLiteral("fit=160x128\npad=true\nresample=nearest\n"
                                            "background=FFFFFF\ndither=diffuse\nradix=hex\n"
                                            "label=Logo\nper-line=16\nsize-line=true\n"
                                            "row-lines=true\nrle=true");

} // namespace

class SettingsStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    void keptAcrossRestart_data();
    void keptAcrossRestart();
    void fileText();
    void badValueIgnored_data();
    void badValueIgnored();

private:
    QString path() const { return m_dir.filePath(QStringLiteral("quenzil.conf")); }

    QTemporaryDir m_dir;
};

void SettingsStoreTest::keptAcrossRestart_data()
{
    QTest::addColumn<QString>("lines");
    QTest::newRow("defaults") << QString();
    QTest::newRow("every setting") << everySetting;
    QTest::newRow("stretch, nearest levels, decimal")
        << QStringLiteral("stretch=128x160\nnearest=true\nradix=dec\nper-line=1");
}

void SettingsStoreTest::keptAcrossRestart()
{
    QFETCH(QString, lines);
    const TableSettings settings = settingsOf(lines);
    QVERIFY(SettingsStore(path()).save(settings));

    QStringList problems;
    QCOMPARE(SettingsStore(path()).load(problems), settings);
    QCOMPARE(problems, QStringList());
}

void SettingsStoreTest::fileText()
{
    // A key of an earlier start that is back at its default goes; other groups stay.
    QVERIFY(writeFile(path(), "[table]\nper-line=32\nradix=dec\n\n[window]\nsize=1\n"));
    QVERIFY(SettingsStore(path()).save(settingsOf(everySetting)));
    QCOMPARE(readFile(path()),
             readFile(QStringLiteral(QUENZIL_SOURCE_DIR "/window/tests/data/every-setting.conf")));
}

void SettingsStoreTest::badValueIgnored_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("problem");

    QTest::newRow("per-line 0") << QByteArray("per-line=0\nradix=hex")
                                << QStringLiteral("radix=hex")
                                << "option '--per-line': '0' is not a number from 1 to 64; ignored";
    QTest::newRow("fit without a height")
        << QByteArray("fit=160x\nlabel=Logo") << QStringLiteral("label=Logo")
        << "option '--fit': '160x' is not a size WxH with each side 1 to 8192; ignored";
    QTest::newRow("fit with a comma") << QByteArray("fit=160,128") << QString()
                                      << "option '--fit': '160,128' is not a size WxH with each "
                                         "side 1 to 8192; ignored";
    QTest::newRow("radix oct") << QByteArray("radix=oct\nrle=true") << QStringLiteral("rle=true")
                               << "option '--radix': 'oct' is not bin, hex or dec; ignored";
    QTest::newRow("pad without fit")
        << QByteArray("pad=true\nstretch=128x160") << QStringLiteral("stretch=128x160")
        << "option '--pad' needs '--fit'; ignored";
    QTest::newRow("rle with 7 per line")
        << QByteArray("rle=true\nper-line=7") << QStringLiteral("per-line=7")
        << "option '--rle' needs an even '--per-line', not 7; ignored";
    QTest::newRow("fit and stretch")
        << QByteArray("stretch=1x1\nfit=160x128") << QStringLiteral("fit=160x128")
        << "option '--stretch' cannot go with '--fit'; ignored";
    QTest::newRow("unknown key") << QByteArray("colour=red\ndither=ordered")
                                 << QStringLiteral("dither=ordered")
                                 << "unknown option '--colour'; ignored";
}

void SettingsStoreTest::badValueIgnored()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, kept);
    QFETCH(QString, problem);
    QVERIFY(writeFile(path(), "[table]\n" + stored + "\n"));

    QStringList problems;
    QCOMPARE(SettingsStore(path()).load(problems), settingsOf(kept));
    QCOMPARE(problems, QStringList{problem});
}

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "settingsstore_test.moc"
