#include "base/settings_store.h"
#include "filter/tformeasyfilter.h"
#include "filter/tformexpertfilter.h"
#include "import/tformselector.h"
#include "info/help_page.h"
#include "info/version_info.h"
#include "keyword/tformkeywordassist.h"
#include "keyword/tformkeywordedit.h"
#include "keyword/tformkeywordlist.h"
#include "main/main_window_album.h"
#include "main/tformmain.h"
#include "support/recording_opener.h"
#include "support/scripted_prompter.h"
#include "thumbnails/tformthumbnails.h"
#include "widgets/help_menu.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace pictavo;
using pictavo::test::RecordingOpener;

namespace {

QMenu *menuTitled(QMenuBar *bar, const QString &title)
{
    for (QAction *action : bar->actions())
        if (action->text() == title && action->menu())
            return action->menu();
    return nullptr;
}

} // namespace

// The Help menus as the windows carry them: their captions and item names, the page each
// item asks for, and what the user is told when the page cannot be opened.
class TestHelpMenus : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void everyHelpCommand_data();
    void everyHelpCommand();
    void windowsCarryTheirMenus();
    void versionInformations();

private:
    // Triggers both items of a Help menu with pages present, with a desktop that cannot
    // open them, and with no pages; checks what was opened and what was said.
    void checkMenu(QMenuBar *bar, const QString &page);

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompter m_prompter;
};

void TestHelpMenus::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    SettingsStore::instance().setFilePath(m_dir->filePath(QStringLiteral("settings.json")));
    m_prompter.calls.clear();
}

void TestHelpMenus::checkMenu(QMenuBar *bar, const QString &page)
{
    const HelpMenuSpec *spec = helpMenuSpec(page);
    QVERIFY(spec);
    QMenu *menu = menuTitled(bar, spec->menuCaption);
    QVERIFY2(menu, qPrintable(page));
    auto *english = menu->findChild<QAction *>(spec->englishName);
    auto *japanese = menu->findChild<QAction *>(spec->japaneseName);
    QVERIFY(english && japanese);
    QCOMPARE(menu->actions().indexOf(english), 0);
    QCOMPARE(menu->actions().indexOf(japanese), 1);
    QCOMPARE(english->text(), "in English(&E)");
    QCOMPARE(japanese->text(), "in Japanese(&J)");

    // A tree as installed elsewhere: the program in bin/, started from another folder.
    QTemporaryDir tree;
    const QString cwd = tree.filePath("home/user");
    const QString manual = tree.filePath("root/share/pictavo/manual");
    QVERIFY(QDir().mkpath(cwd) && QDir().mkpath(manual) &&
            QDir().mkpath(tree.filePath("root/bin")));
    const HelpLocations where = HelpLocations::forProgramIn(tree.filePath("root/bin"), cwd);
    RecordingOpener opener;
    HelpEnvironmentOverride environment(opener, where);

    const QStringList files{"pv-" + page + ".html", "pv-" + page + "-j.html"};
    const QList<QAction *> items{english, japanese};
    const QStringList relative{"..\\manual\\" + files[0], "..\\manual\\" + files[1]};
    auto warning = [&](int i, int code) {
        return QStringLiteral("Could not shellexecute \"%1\".\rReturn Code was %2 .")
            .arg(relative[i])
            .arg(code);
    };

    // Found nowhere: code 2, nothing handed to the desktop.
    for (int i = 0; i < 2; ++i) {
        items[i]->trigger();
        QCOMPARE(m_prompter.last().text, warning(i, kHelpNotFound));
        QCOMPARE(m_prompter.last().kind, Prompter::Kind::Warning);
    }
    QVERIFY(opener.opened.isEmpty());

    for (const QString &file : files) {
        QFile out(manual + "/" + file);
        QVERIFY(out.open(QIODevice::WriteOnly));
    }
    // Present, and the desktop has no program for it: code 31.
    opener.succeeds = false;
    for (int i = 0; i < 2; ++i) {
        items[i]->trigger();
        QCOMPARE(m_prompter.last().text, warning(i, kHelpNoOpener));
        QCOMPARE(opener.opened.last(), manual + "/" + files[i]);
    }
    // Present and opened: nothing said.
    opener.succeeds = true;
    const qsizetype said = m_prompter.calls.size();
    for (int i = 0; i < 2; ++i) {
        items[i]->trigger();
        QCOMPARE(opener.opened.last(), manual + "/" + files[i]);
    }
    QCOMPARE(m_prompter.calls.size(), said);
    QCOMPARE(opener.opened.size(), 4);

    // The same path from the current directory wins over the installed folder.
    QVERIFY(QDir().mkpath(tree.filePath("home/manual")));
    QFile local(tree.filePath("home/manual/") + files[1]);
    QVERIFY(local.open(QIODevice::WriteOnly));
    japanese->trigger();
    QCOMPARE(opener.opened.last(), tree.filePath("home/manual/") + files[1]);
}

void TestHelpMenus::everyHelpCommand_data()
{
    QTest::addColumn<QString>("page");
    for (const char *page : {"main", "inportfile", "easyfilter", "expertfilter", "keywordlist",
                             "keywordedit", "keywordassist", "thumbnails"})
        QTest::newRow(page) << QString::fromLatin1(page);
}

// All sixteen commands, through the helper every window calls.
void TestHelpMenus::everyHelpCommand()
{
    QFETCH(QString, page);
    QMenuBar bar;
    const HelpMenuItems items = addHelpMenu(&bar, m_prompter, page);
    QVERIFY(items.menu && items.english && items.japanese);
    checkMenu(&bar, page);
}

void TestHelpMenus::windowsCarryTheirMenus()
{
    TformMain formMain(m_prompter);
    MainWindowAlbum album(formMain);
    TformSelector formSelector(album, m_prompter, &formMain);
    TformEasyFilter formEasyFilter(album, m_prompter, &formMain);
    TformExpertFilter formExpertFilter(album, m_prompter, &formMain);
    TformKeywordList formKeywordList(album, m_prompter, &formMain);
    TformKeywordEdit formKeywordEdit(album, m_prompter, &formMain);
    TformKeywordAssist formKeywordAssist(album, m_prompter, &formMain);
    TformThumbnails formThumbnails(album, m_prompter, &formMain);

    checkMenu(formMain.menuBar(), "main");
    QCOMPARE(formMain.menuHelpInEng->objectName(), "menuHelpInEng");
    checkMenu(formSelector.menuBar, "inportfile");
    QCOMPARE(formSelector.menuHelpInJap->objectName(), "menuHelpInJap");
    checkMenu(formEasyFilter.menuBar, "easyfilter");
    QCOMPARE(formEasyFilter.menuHelpInJapanese->objectName(), "menuHelpInJapanese");
    checkMenu(formExpertFilter.menuBar, "expertfilter");
    QCOMPARE(formExpertFilter.menuHelpInEng->objectName(), "menuHelpInEng");
    checkMenu(formKeywordList.menuBar, "keywordlist");
    checkMenu(formKeywordEdit.menuBar, "keywordedit");
    checkMenu(formKeywordAssist.menuBar, "keywordassist");
    checkMenu(formThumbnails.menuBar, "thumbnails");

    // The expert filter's Japanese item asks for its own page.
    RecordingOpener opener;
    HelpEnvironmentOverride environment(opener, HelpLocations{m_dir->path(), {}, {}});
    formExpertFilter.menuHelpInJap->trigger();
    QCOMPARE(m_prompter.last().text,
             "Could not shellexecute \"..\\manual\\pv-expertfilter-j.html\".\rReturn Code was 2 .");
    // Help is the last menu of every window.
    for (QMenuBar *bar :
         {formMain.menuBar(), formSelector.menuBar, formEasyFilter.menuBar,
          formExpertFilter.menuBar, formKeywordList.menuBar, formKeywordEdit.menuBar,
          formKeywordAssist.menuBar, formThumbnails.menuBar})
        QVERIFY(bar->actions().last()->text().startsWith("Help("));
}

void TestHelpMenus::versionInformations()
{
    TformMain formMain(m_prompter);
    QMenu *help = menuTitled(formMain.menuBar(), "Help(&H)");
    QVERIFY(help);
    const QList<QAction *> items = help->actions();
    QCOMPARE(items.size(), 4);
    QVERIFY(items[2]->isSeparator());
    QCOMPARE(items[3], formMain.menuHelpVersion);
    QCOMPARE(items[3]->text(), "Version Informations(&A)");
    items[3]->trigger();
    QCOMPARE(m_prompter.calls.size(), 1);
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Information);
    QCOMPARE(m_prompter.last().buttons, Prompter::Buttons(Prompter::Ok));
    const QStringList lines = m_prompter.last().text.split('\r');
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0], "Pictavo");
    QCOMPARE(lines[1], "A photo dabase utility");
    QCOMPARE(lines[2], "Version 1.0.2.12");
    QCOMPARE(lines[3], "Copyright " + ReadVersionString("LegalCopyright"));
    QCOMPARE(lines[4], "Homepage " + ReadVersionString("Homepage"));
}

QTEST_MAIN(TestHelpMenus)
#include "tst_help_menus.moc"
