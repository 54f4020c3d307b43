#include "info/help_launcher.h"
#include "info/help_page.h"
#include "info/version_info.h"
#include "support/recording_opener.h"
#include "support/scripted_prompter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace pictavo;
using pictavo::test::RecordingOpener;

namespace {

void touch(const QString &path)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<html></html>");
}

} // namespace

// Help page paths, where pages are found, the result codes and their warning, and the
// version strings.
class TestHelpPage : public QObject
{
    Q_OBJECT

private slots:
    void pagePaths_data();
    void pagePaths();
    void searchOrder();
    void installedTreeFromAnyDirectory();
    void resultCodes_data();
    void resultCodes();
    void versionMessage();
    void versionMessageOfEmptyBlock();
};

void TestHelpPage::pagePaths_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("japanese");
    QTest::addColumn<QString>("englishName");
    QTest::addColumn<QString>("japaneseName");
    QTest::newRow("main") << "main"
                          << "Help(&H)"
                          << "..\\manual\\pv-main.html"
                          << "..\\manual\\pv-main-j.html"
                          << "menuHelpInEng"
                          << "menuHelpInJap";
    QTest::newRow("import") << "inportfile"
                            << "Help(&H)"
                            << "..\\manual\\pv-inportfile.html"
                            << "..\\manual\\pv-inportfile-j.html"
                            << "menuHelpInEng"
                            << "menuHelpInJap";
    QTest::newRow("easy") << "easyfilter"
                          << "Help((&H)"
                          << "..\\manual\\pv-easyfilter.html"
                          << "..\\manual\\pv-easyfilter-j.html"
                          << "menuHelpInEnglish"
                          << "menuHelpInJapanese";
    QTest::newRow("expert") << "expertfilter"
                            << "Help(&H)"
                            << "..\\manual\\pv-expertfilter.html"
                            << "..\\manual\\pv-expertfilter-j.html"
                            << "menuHelpInEng"
                            << "menuHelpInJap";
    QTest::newRow("list") << "keywordlist"
                          << "Help((&H)"
                          << "..\\manual\\pv-keywordlist.html"
                          << "..\\manual\\pv-keywordlist-j.html"
                          << "menuHelpInEnglish"
                          << "menuHelpInJapanese";
    QTest::newRow("edit") << "keywordedit"
                          << "Help((&H)"
                          << "..\\manual\\pv-keywordedit.html"
                          << "..\\manual\\pv-keywordedit-j.html"
                          << "menuHelpInEnglish"
                          << "menuHelpInJapanese";
    QTest::newRow("assist") << "keywordassist"
                            << "Help((&H)"
                            << "..\\manual\\pv-keywordassist.html"
                            << "..\\manual\\pv-keywordassist-j.html"
                            << "menuHelpInEnglish"
                            << "menuHelpInJapanese";
    QTest::newRow("thumbnails") << "thumbnails"
                                << "Help(&H)"
                                << "..\\manual\\pv-thumbnails.html"
                                << "..\\manual\\pv-thumbnails-j.html"
                                << "menuHelpInEng"
                                << "menuHelpInJap";
}

void TestHelpPage::pagePaths()
{
    QFETCH(QString, page);
    QFETCH(QString, menu);
    QFETCH(QString, english);
    QFETCH(QString, japanese);
    QFETCH(QString, englishName);
    QFETCH(QString, japaneseName);
    QCOMPARE(helpMenuSpecs().size(), 8);
    const HelpMenuSpec *spec = helpMenuSpec(page);
    QVERIFY(spec);
    QCOMPARE(spec->menuCaption, menu);
    QCOMPARE(spec->englishName, englishName);
    QCOMPARE(spec->japaneseName, japaneseName);
    QCOMPARE(helpPagePath(page, HelpLanguage::English), english);
    QCOMPARE(helpPagePath(page, HelpLanguage::Japanese), japanese);

    // Each page of the manual folder that ships with the program is where the path says.
    for (const QString &path : {english, japanese}) {
        const QString shipped =
            QStringLiteral(PICTAVO_MANUAL_SOURCE "/") + path.section(QLatin1Char('\\'), -1);
        QVERIFY2(QFileInfo(shipped).isFile(), qPrintable(shipped));
    }
    QVERIFY(!helpMenuSpec(QStringLiteral("slide")));
}

// The relative path counts from the current directory first, then from the program's
// folder; the installed manual folder comes last.
void TestHelpPage::searchOrder()
{
    QTemporaryDir root;
    const QString cwd = root.filePath("work/cwd");
    const QString program = root.filePath("app/bin");
    const QString manual = root.filePath("share/manual");
    QVERIFY(QDir().mkpath(cwd) && QDir().mkpath(program) && QDir().mkpath(manual));
    const HelpLocations where{cwd, program, manual};
    const QString path = helpPagePath(QStringLiteral("main"), HelpLanguage::Japanese);

    QCOMPARE(locateHelpPage(path, where), QString());
    touch(manual + "/pv-main-j.html");
    QCOMPARE(locateHelpPage(path, where), manual + "/pv-main-j.html");
    touch(root.filePath("app/manual/pv-main-j.html"));
    QCOMPARE(locateHelpPage(path, where), root.filePath("app/manual/pv-main-j.html"));
    touch(root.filePath("work/manual/pv-main-j.html"));
    QCOMPARE(locateHelpPage(path, where), root.filePath("work/manual/pv-main-j.html"));
    // A folder of that name is no page; the search goes on.
    QVERIFY(QDir().mkpath(root.filePath("work/manual/pv-main.html")));
    touch(manual + "/pv-main.html");
    QCOMPARE(locateHelpPage(helpPagePath(QStringLiteral("main"), HelpLanguage::English), where),
             manual + "/pv-main.html");
}

void TestHelpPage::installedTreeFromAnyDirectory()
{
    QTemporaryDir prefix;
    QTemporaryDir elsewhere;
    touch(prefix.filePath(QStringLiteral("share/pictavo/manual/pv-keywordedit.html")));
    QVERIFY(QDir().mkpath(prefix.filePath("bin")));
    const HelpLocations where =
        HelpLocations::forProgramIn(prefix.filePath("bin"), elsewhere.path());
    RecordingOpener opener;
    const QString path = helpPagePath(QStringLiteral("keywordedit"), HelpLanguage::English);
    QCOMPARE(openHelpPage(path, where, opener), kHelpOpened);
    QCOMPARE(opener.opened, QStringList{prefix.filePath(
                                QStringLiteral("share/pictavo/manual/pv-keywordedit.html"))});
    // The version message names the manual found the same way, or none.
    QCOMPARE(manualAddress(where), "none");
    touch(prefix.filePath(QStringLiteral("share/pictavo/manual/index.html")));
    QCOMPARE(manualAddress(where),
             "file://" + prefix.filePath(QStringLiteral("share/pictavo/manual/index.html")));
}

void TestHelpPage::resultCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("warning");
    const QString path = "..\\manual\\pv-main.html";
    QTest::newRow("not found") << 2
                               << "Could not shellexecute \"..\\manual\\pv-main.html\".\r"
                                  "Return Code was 2 .";
    QTest::newRow("no program") << 31
                                << "Could not shellexecute \"..\\manual\\pv-main.html\".\r"
                                   "Return Code was 31 .";
    QTest::newRow("32 fails") << 32
                              << "Could not shellexecute \"..\\manual\\pv-main.html\".\r"
                                 "Return Code was 32 .";
    QTest::newRow("0 fails") << 0
                             << "Could not shellexecute \"..\\manual\\pv-main.html\".\r"
                                "Return Code was 0 .";
    QTest::newRow("33 succeeds") << 33 << QString();
    QTest::newRow("42 succeeds") << 42 << QString();
}

void TestHelpPage::resultCodes()
{
    QFETCH(int, code);
    QFETCH(QString, warning);
    ScriptedPrompter prompter;
    CheckShellExecute(prompter, code, "..\\manual\\pv-main.html");
    if (warning.isEmpty()) {
        QVERIFY(prompter.calls.isEmpty());
        return;
    }
    QCOMPARE(prompter.calls.size(), 1);
    QCOMPARE(prompter.calls[0].kind, Prompter::Kind::Warning);
    QCOMPARE(prompter.calls[0].buttons, Prompter::Buttons(Prompter::Ok));
    QCOMPARE(prompter.calls[0].text, warning);
}

void TestHelpPage::versionMessage()
{
    const QStringList lines = pictavo::versionMessage().split(QLatin1Char('\r'));
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0], "Pictavo");
    QCOMPARE(lines[1], "A photo dabase utility");
    QCOMPARE(lines[2], "Version 1.0.2.12");
    QVERIFY(lines[3].startsWith("Copyright ") && lines[3].size() > 10);
    // No web address is made up: the line shows the manual the Help menu opens.
    QCOMPARE(lines[4], "Homepage " + manualAddress(HelpLocations::ofThisProgram()));
    QVERIFY(!lines[4].contains("http"));
    QVERIFY(!pictavo::versionMessage().contains(QLatin1Char('\n')));
    QCOMPARE(ReadVersionString("FileVersion"), "1.0.2.12");
    QCOMPARE(ReadVersionString("NoSuchName"), QString());
    QCOMPARE(ReadVersionString(QString()), QString());
    QCOMPARE(ReadVersionString("fileversion"), QString());
}

void TestHelpPage::versionMessageOfEmptyBlock()
{
    QStringList asked;
    const QString text = pictavo::versionMessage([&asked](const QString &name) {
        asked << name;
        return QString();
    });
    QCOMPARE(text, "\r\rVersion \rCopyright \rHomepage ");
    QCOMPARE(asked, (QStringList{"ProductName", "FileDescription", "FileVersion", "LegalCopyright",
                                 "Homepage"}));
}

QTEST_GUILESS_MAIN(TestHelpPage)
#include "tst_help_page.moc"
