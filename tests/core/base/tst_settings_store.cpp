#include "base/settings_store.h"
#include "support/temporary_settings.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTest>
#include <memory>

using namespace pictavo;

namespace {

QJsonObject parse(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void missingFileReadsAbsent();
    void keyExistsCreatesNothing();
    void makeKeyCreatesParents();
    void makeKeyKeepsExistingValues();
    void eraseKeyRemovesTree();
    void eraseMissingKeyIsHarmless();
    void eraseRootIsRefused();
    void namesIgnoreAsciiCase();
    void namesKeepOtherCharactersDistinct();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void damagedFileReadsAbsent_data();
    void damagedFileReadsAbsent();
    void nonStringValuesReadAbsentAndAreDropped();
    void keyReplacesValueOfSameName();
    void fileIsValidJsonAfterWrites();
    void unusableFileFallsBackToMemory_data();
    void unusableFileFallsBackToMemory();
    void defaultPath_data();
    void defaultPath();

private:
    std::unique_ptr<TemporarySettings> m_settings;
    SettingsStore &store() { return SettingsStore::instance(); }
};

void TestSettingsStore::init()
{
    m_settings = std::make_unique<TemporarySettings>();
}

void TestSettingsStore::cleanup()
{
    m_settings.reset();
}

void TestSettingsStore::missingFileReadsAbsent()
{
    QVERIFY(!store().keyExists("\\software"));
    QVERIFY(!store().readString("\\software", "Left").has_value());
    QVERIFY(!store().readString("", "Left").has_value());
}

void TestSettingsStore::keyExistsCreatesNothing()
{
    QVERIFY(!store().keyExists("\\software\\Orbelin_PV"));
    QVERIFY(!m_settings->fileExists());

    store().makeKey("\\a");
    const QByteArray before = m_settings->bytes();
    QVERIFY(!store().keyExists("\\a\\b\\c"));
    QVERIFY(!store().readString("\\a\\b", "x"));
    QCOMPARE(m_settings->bytes(), before);
}

void TestSettingsStore::makeKeyCreatesParents()
{
    store().makeKey("\\software\\Orbelin_PV\\formMain");
    QVERIFY(store().keyExists("\\software"));
    QVERIFY(store().keyExists("\\software\\Orbelin_PV"));
    QVERIFY(store().keyExists("\\software\\Orbelin_PV\\formMain"));
    // A path without the leading backslash is taken from the root as well.
    QVERIFY(store().keyExists("software\\Orbelin_PV"));
    QCOMPARE(m_settings->json(), parse(R"({"software":{"Orbelin_PV":{"formMain":{}}}})"));
}

void TestSettingsStore::makeKeyKeepsExistingValues()
{
    store().writeString("\\k", "v", "1");
    const QByteArray before = m_settings->bytes();
    store().makeKey("\\k");
    QCOMPARE(store().readString("\\k", "v"), QString("1"));
    QCOMPARE(m_settings->bytes(), before);
}

void TestSettingsStore::eraseKeyRemovesTree()
{
    store().writeString("\\software\\Orbelin_PV\\formMain", "Left", "10");
    store().writeString("\\software\\Orbelin_PV\\formSelector", "Top", "20");
    store().writeString("\\software\\Orbelin_PV", "Direct", "x");
    store().writeString("\\software\\Other", "Keep", "y");

    store().eraseKey("\\software\\Orbelin_PV");

    QVERIFY(!store().keyExists("\\software\\Orbelin_PV"));
    QVERIFY(!store().keyExists("\\software\\Orbelin_PV\\formMain"));
    QVERIFY(!store().readString("\\software\\Orbelin_PV\\formMain", "Left"));
    QCOMPARE(store().readString("\\software\\Other", "Keep"), QString("y"));
    QCOMPARE(m_settings->json(), parse(R"({"software":{"Other":{"Keep":"y"}}})"));
}

void TestSettingsStore::eraseMissingKeyIsHarmless()
{
    store().eraseKey("\\software\\Orbelin_PV");
    QVERIFY(!m_settings->fileExists());

    store().writeString("\\software\\Orbelin_PV", "v", "1");
    store().eraseKey("\\software\\Orbelin_PV");
    const QByteArray before = m_settings->bytes();
    store().eraseKey("\\software\\Orbelin_PV");
    store().eraseKey("\\software\\Orbelin_PV\\deeper");
    QCOMPARE(m_settings->bytes(), before);
    QVERIFY(store().keyExists("\\software"));
}

void TestSettingsStore::eraseRootIsRefused()
{
    store().writeString("\\k", "v", "1");
    store().eraseKey("\\");
    store().eraseKey("");
    QCOMPARE(store().readString("\\k", "v"), QString("1"));
}

void TestSettingsStore::namesIgnoreAsciiCase()
{
    store().writeString("\\Software\\Orbelin_PV\\formMain", "Left", "1");
    QVERIFY(store().keyExists("\\SOFTWARE\\orbelin_pv\\FORMMAIN"));
    QCOMPARE(store().readString("\\software\\ORBELIN_PV\\formmain", "LEFT"), QString("1"));

    // Writing under another spelling updates the value and keeps the stored spelling.
    store().writeString("\\SOFTWARE\\orbelin_pv\\FormMain", "lEfT", "2");
    store().makeKey("\\software\\orbelin_PV");
    QCOMPARE(m_settings->json(), parse(R"({"Software":{"Orbelin_PV":{"formMain":{"Left":"2"}}}})"));

    store().eraseKey("\\SOFTWARE\\ORBELIN_PV\\FORMMAIN");
    QCOMPARE(m_settings->json(), parse(R"({"Software":{"Orbelin_PV":{}}})"));
}

void TestSettingsStore::namesKeepOtherCharactersDistinct()
{
    // Only ASCII letters are folded, whatever the locale.
    store().writeString("\\k", QStringLiteral("\u00c4"), "upper");
    QVERIFY(!store().readString("\\k", QStringLiteral("\u00e4")));
    store().writeString("\\k", "I", "i");
    QVERIFY(!store().readString("\\k", QStringLiteral("\u0131"))); // dotless i
    QCOMPARE(store().readString("\\k", "i"), QString("i"));
}

void TestSettingsStore::valuesRoundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("empty") << "";
    QTest::newRow("path") << "/home/user/写真/db";
    QTest::newRow("backslashes and quotes") << "C:\\photo \"db\"\\";
    QTest::newRow("line breaks") << "a\r\nb\tc";
    QTest::newRow("emoji") << QStringLiteral("\U0001F431");
    QTest::newRow("blanks kept") << "  x  ";
}

void TestSettingsStore::valuesRoundTrip()
{
    QFETCH(QString, value);
    store().writeString("\\software\\Orbelin_PV\\formMain", "Database_Name", value);
    const std::optional<QString> read =
        store().readString("\\software\\Orbelin_PV\\formMain", "Database_Name");
    QVERIFY(read.has_value());
    QCOMPARE(*read, value);
}

void TestSettingsStore::damagedFileReadsAbsent_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("not json") << QByteArray("{not json");
    QTest::newRow("truncated") << QByteArray(R"({"software":{"Orbelin_PV":{"formMain":)");
    QTest::newRow("array") << QByteArray(R"([{"software":{}}])");
    QTest::newRow("string") << QByteArray(R"("software")");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("binary") << QByteArray("\xff\xfe\x00\x01", 4);
}

void TestSettingsStore::damagedFileReadsAbsent()
{
    QFETCH(QByteArray, content);
    m_settings->setBytes(content);
    QVERIFY(!store().keyExists("\\software"));
    QVERIFY(!store().readString("\\software\\Orbelin_PV\\formMain", "Left"));
    // Reading leaves the file as it is; the next write makes a good one.
    QCOMPARE(m_settings->bytes(), content);
    store().makeKey("\\software\\Orbelin_PV");
    QCOMPARE(m_settings->json(), parse(R"({"software":{"Orbelin_PV":{}}})"));
}

void TestSettingsStore::nonStringValuesReadAbsentAndAreDropped()
{
    m_settings->setBytes(
        R"({"k":{"n":5,"s":"x","b":true,"a":["y"],"z":null,"o":{"t":"u","f":1.5}}})");
    QCOMPARE(store().readString("\\k", "s"), QString("x"));
    for (const char *name : {"n", "b", "a", "z", "o"})
        QVERIFY2(!store().readString("\\k", name), name);
    QVERIFY(!store().keyExists("\\k\\a"));
    QVERIFY(!store().keyExists("\\k\\s"));
    QCOMPARE(store().readString("\\k\\o", "t"), QString("u"));

    store().writeString("\\k", "new", "1");
    QCOMPARE(m_settings->json(), parse(R"({"k":{"s":"x","new":"1","o":{"t":"u"}}})"));
}

void TestSettingsStore::keyReplacesValueOfSameName()
{
    store().writeString("\\k", "b", "text");
    store().makeKey("\\k\\b\\c");
    QVERIFY(store().keyExists("\\k\\b\\c"));
    QVERIFY(!store().readString("\\k", "b"));

    store().writeString("\\k", "B", "again");
    QVERIFY(!store().keyExists("\\k\\b"));
    QCOMPARE(store().readString("\\k", "b"), QString("again"));
}

void TestSettingsStore::fileIsValidJsonAfterWrites()
{
    store().makeKey("\\software\\Orbelin_PV");
    store().writeString("\\software\\Orbelin_PV\\formMain", "Left", "-5");
    store().writeStrings("\\software\\Orbelin_PV\\formMain",
                         {{"Top", "7"}, {"Panel_Layout", "Right"}, {"Database_Name", ""}});
    store().writeString("\\software\\Orbelin_PV\\formSelector", "Width", "640");
    store().eraseKey("\\software\\Orbelin_PV\\formSelector");

    const QJsonObject json = m_settings->json();
    QVERIFY(onlyStringsAndObjects(json));
    QCOMPARE(json, parse(R"({"software":{"Orbelin_PV":{"formMain":
        {"Left":"-5","Top":"7","Panel_Layout":"Right","Database_Name":""}}}})"));
    // QSaveFile leaves no temporary file behind.
    QCOMPARE(QDir(QFileInfo(m_settings->path()).absolutePath()).entryList(QDir::Files),
             QStringList{"settings.json"});
}

void TestSettingsStore::unusableFileFallsBackToMemory_data()
{
    QTest::addColumn<bool>("parentIsFile");
    QTest::addColumn<QString>("expectedStart");
    // The parent "directory" is a file: neither the directory nor the file can be made.
    QTest::newRow("cannot be written") << true << "Pictavo cannot save its settings to \"%1\". ";
    // A directory where the file should be: it exists but cannot be read, and must not be
    // replaced by an empty store.
    QTest::newRow("cannot be read") << false << "Pictavo cannot read its settings from \"%1\": ";
}

void TestSettingsStore::unusableFileFallsBackToMemory()
{
    QFETCH(bool, parentIsFile);
    QFETCH(QString, expectedStart);
    const QString path = m_settings->path();
    if (parentIsFile) {
        QFile blocker(QFileInfo(path).absolutePath());
        QVERIFY(QDir().mkpath(QFileInfo(blocker.fileName()).absolutePath()));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    } else {
        QVERIFY(QDir().mkpath(path + "/inside"));
    }

    // Nothing throws; the keys live on in memory for the rest of the run.
    store().makeKey("\\software\\Orbelin_PV");
    store().writeString("\\software\\Orbelin_PV\\formMain", "Wait_Time", "7");
    QVERIFY(store().inMemory());
    QCOMPARE(store().readString("\\software\\Orbelin_PV\\formMain", "Wait_Time"), "7");
    store().eraseKey("\\software\\Orbelin_PV\\formMain");
    QVERIFY(!store().keyExists("\\software\\Orbelin_PV\\formMain"));
    QVERIFY(store().keyExists("\\software\\Orbelin_PV"));

    // The reason is given once, with a blank between its sentences.
    const QString problem = store().takeProblem();
    QVERIFY2(problem.startsWith(expectedStart.arg(path)), qPrintable(problem));
    QVERIFY2(problem.contains("\rIt "), qPrintable(problem));
    QVERIFY2(!problem.contains(".The"), qPrintable(problem));
    QCOMPARE(store().takeProblem(), QString());
    // The blocker and the unreadable directory are left as they were.
    QCOMPARE(QFileInfo(QFileInfo(path).absolutePath()).isFile(), parentIsFile);
    if (!parentIsFile)
        QVERIFY(QFileInfo(path + "/inside").isDir());
}

void TestSettingsStore::defaultPath_data()
{
    QTest::addColumn<QByteArray>("pictavoSettings");
    QTest::addColumn<QByteArray>("xdgConfigHome");
    QTest::addColumn<QString>("expected");

    const QString home = QDir::homePath();
    QTest::newRow("explicit wins")
        << QByteArray("/tmp/s.json") << QByteArray("/xdg") << "/tmp/s.json";
    QTest::newRow("xdg") << QByteArray() << QByteArray("/xdg") << "/xdg/pictavo/settings.json";
    QTest::newRow("relative xdg ignored")
        << QByteArray() << QByteArray("rel") << home + "/.config/pictavo/settings.json";
    QTest::newRow("neither") << QByteArray() << QByteArray()
                             << home + "/.config/pictavo/settings.json";
}

void TestSettingsStore::defaultPath()
{
    QFETCH(QByteArray, pictavoSettings);
    QFETCH(QByteArray, xdgConfigHome);
    QFETCH(QString, expected);

    const QByteArray savedXdg = qgetenv("XDG_CONFIG_HOME");
    const bool hadXdg = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qputenv("PICTAVO_SETTINGS", pictavoSettings); // an empty value counts as unset
    if (xdgConfigHome.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", xdgConfigHome);

    const QString path = SettingsStore::defaultPath();

    if (hadXdg)
        qputenv("XDG_CONFIG_HOME", savedXdg);
    else
        qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(path, expected);
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settings_store.moc"
