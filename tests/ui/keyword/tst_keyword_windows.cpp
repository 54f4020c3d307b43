#include "base/regutl.h"
#include "base/settings_store.h"
#include "keyword/tformkeywordlist.h"
#include "keyword/tformupdatekeyword.h"
#include "main/main_window_album.h"
#include "main/tformmain.h"
#include "support/jpeg_fixtures.h"
#include "support/keyword_db.h"
#include "support/photo_db_fixture.h"
#include "support/scripted_prompter.h"
#include "support/temporary_settings.h"
#include "widgets/album_model.h"
#include "widgets/db_navigator.h"

#include <QAction>
#include <QDir>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <memory>

using namespace pictavo;
using namespace pictavo::test;

namespace {

const QString kPostMessage = QStringLiteral(
    "Could not post data.  Check the value of the \"Count\" field.  It must have the value.");

// The main window on a photo database with the two keyword windows made and registered as
// start-up does it.
struct KeywordWindows
{
    explicit KeywordWindows(const QStringList &keywordStrings, const QStringList &keywordTable)
    {
        // Real pictures: the main window shows the first one when it opens the database.
        writeKeywordStrings(db.dir(), keywordStrings, fixtures::makeJpeg(16, 16));
        writeKeywordRows(db.dir(), keywordTable);
        regutl::MakeKey(regutl::kSettingsKey);
        SettingsStore::instance().writeStrings(QStringLiteral("\\software\\Orbelin_PV\\formMain"),
                                               {{QStringLiteral("Database_Name"), db.dir()}});
        formMain = std::make_unique<TformMain>(prompter);
        album = std::make_unique<MainWindowAlbum>(*formMain);
        formUpdateKeyword = std::make_unique<TformUpdateKeyword>(*album, prompter);
        formKeywordList = std::make_unique<TformKeywordList>(*album, prompter);
        formKeywordList->setUpdateKeyword(formUpdateKeyword.get());
        formMain->setKeywordList(formKeywordList.get());
    }
    ~KeywordWindows()
    {
        formKeywordList.reset();
        formUpdateKeyword.reset();
        album.reset();
        formMain.reset();
    }

    // What the list's grid shows, row by row: "Keyword|Count".
    QStringList grid() const
    {
        const QAbstractItemModel *model = formKeywordList->dbgridKeyword->model();
        QStringList rows;
        for (int row = 0; row < model->rowCount(); ++row)
            rows << model->index(row, 0).data().toString() + QLatin1Char('|') +
                        model->index(row, 1).data().toString();
        return rows;
    }
    int rowOf(const QString &keyword) const
    {
        return int(grid().indexOf(
            QRegularExpression(QRegularExpression::escape(keyword) + QStringLiteral("\\|.*"))));
    }
    // Types into a cell of the list as the grid's editor would hand it over.
    bool type(int row, int column, const QString &text)
    {
        QAbstractItemModel *model = formKeywordList->dbgridKeyword->model();
        return model->setData(model->index(row, column), text);
    }
    void click(DbNavigator::Button button) { formKeywordList->dbnavigatorKeyword->click(button); }

    TemporarySettings settings;
    PhotoDbFixture db;
    ScriptedPrompter prompter;
    std::unique_ptr<TformMain> formMain;
    std::unique_ptr<MainWindowAlbum> album;
    std::unique_ptr<TformUpdateKeyword> formUpdateKeyword;
    std::unique_ptr<TformKeywordList> formKeywordList;
};

QList<QProgressBar *> barsOf(const TformUpdateKeyword &form)
{
    return {form.progressbarRecord, form.progressbarUnique, form.progressbarKeywordCount};
}

bool workTableExists(const QString &dir)
{
    return !QDir(dir).entryList({QStringLiteral("work.db")}, QDir::Files).isEmpty();
}

// Runs check inside the loop of the modal window once it is visible.
void whenShown(QWidget *window, std::function<void()> check)
{
    auto *timer = new QTimer(window);
    QObject::connect(timer, &QTimer::timeout, window, [timer, window, check] {
        if (!window->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        check();
    });
    timer->start(10);
}

} // namespace

class TestKeywordWindows : public QObject
{
    Q_OBJECT

private slots:
    void rebuildWindowEnds();
    void rebuildFailureLeavesTableAndOk();
    void editsInTheList_data();
    void editsInTheList();
    void editorOpenedAndLeftChangesNothing();
    void duplicateKeywordTwoMessages();
    void deleteAsksFirst();
    void ordersAndCheckMarksKept();
    void updateKeywordFromTheList();
    void openedFromTheMainWindow();
    void buttonsCentred();
};

void TestKeywordWindows::rebuildWindowEnds()
{
    KeywordWindows w({"*", "cat,dog", "dog,cat,cat"}, {"bird|9", "cat|40"});
    Table work; // left by an earlier run
    work.setDatabaseName(w.db.dir());
    work.setTableName(QStringLiteral("work.db"));
    work.createTable({{QStringLiteral("KEYWORD"), FieldType::String, 32, true}}, {});
    QCOMPARE(w.formMain->tableKeyword.recordCount(), 2);

    TformUpdateKeyword &form = *w.formUpdateKeyword;
    form.show();
    QVERIFY(!form.bitbtnOK->isEnabled()); // from the showing on, until the end
    QTRY_VERIFY(form.bitbtnOK->isEnabled());
    QCOMPARE(keywordRows(w.db.dir()), (QStringList{"*|1", "cat|3", "dog|2"}));
    QVERIFY(!workTableExists(w.db.dir()));
    for (const QProgressBar *bar : barsOf(form))
        QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(form.progressbarRecord->maximum(), 3);
    QCOMPARE(form.progressbarKeywordCount->maximum(), 3);
    QCOMPARE(w.prompter.texts().join("/"), QString());
    // The main window's keyword table, used by the new-keyword check, reads the new rows.
    QCOMPARE(w.formMain->tableKeyword.recordCount(), 3);

    form.bitbtnOK->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Accepted));
}

void TestKeywordWindows::rebuildFailureLeavesTableAndOk()
{
    KeywordWindows w({"ant,bee", "cat,dog"}, {"bee|9", "owl|2"});
    refuseKeyword(w.db.dir(), QStringLiteral("cat"), QStringLiteral("database or disk is full"));
    TformUpdateKeyword &form = *w.formUpdateKeyword;
    form.show();
    QTRY_VERIFY(form.bitbtnOK->isEnabled());
    QCOMPARE(w.prompter.calls.size(), 1);
    QCOMPARE(w.prompter.last().kind, Prompter::Kind::Error);
    QCOMPARE(w.prompter.last().text, QStringLiteral("database or disk is full"));
    QCOMPARE(keywordRows(w.db.dir()), (QStringList{"bee|9", "owl|2"}));
    QVERIFY(!workTableExists(w.db.dir()));
    QVERIFY(!form.running());
    form.bitbtnOK->click();
    QVERIFY(!form.isVisible());

    // Shown again once the table takes writes, it rebuilds again.
    refuseKeyword(w.db.dir(), QString(), QString());
    form.show();
    QTRY_VERIFY(form.bitbtnOK->isEnabled());
    QCOMPARE(keywordRows(w.db.dir()), (QStringList{"ant|1", "bee|1", "cat|1", "dog|1"}));
    QCOMPARE(w.prompter.calls.size(), 1);
}

void TestKeywordWindows::editsInTheList_data()
{
    QTest::addColumn<QString>("keyword"); // typed into the Keyword column; empty: not typed
    QTest::addColumn<QString>("count");   // typed into the Count column; null: not typed
    QTest::addColumn<bool>("insert");     // a new row rather than the row of "cat"
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("text changed: count 0")
        << "kitten" << QString() << false << QStringList{"dog|3", "kitten|0"};
    QTest::newRow("text and count 9 typed") << "kitten"
                                            << "9" << false << QStringList{"dog|3", "kitten|9"};
    QTest::newRow("count only typed") << ""
                                      << "12" << false << QStringList{"cat|12", "dog|3"};
    QTest::newRow("count emptied: 0") << ""
                                      << "" << false << QStringList{"cat|0", "dog|3"};
    QTest::newRow("new row without a count: 0")
        << "emu" << QString() << true << QStringList{"cat|7", "dog|3", "emu|0"};
    QTest::newRow("new row with a count") << "emu"
                                          << "5" << true << QStringList{"cat|7", "dog|3", "emu|5"};
}

void TestKeywordWindows::editsInTheList()
{
    QFETCH(QString, keyword);
    QFETCH(QString, count);
    QFETCH(bool, insert);
    QFETCH(QStringList, rows);
    KeywordWindows w({}, {"cat|7", "dog|3"});
    w.formKeywordList->show();
    QCOMPARE(w.grid(), (QStringList{"cat|7", "dog|3"}));
    int row = 0;
    if (insert) {
        w.click(DbNavigator::Insert);
        row = w.grid().size() - 1;
    }
    if (!keyword.isEmpty())
        QVERIFY(w.type(row, 0, keyword));
    if (!count.isNull())
        w.type(row, 1, count);
    w.click(DbNavigator::Post);
    QCOMPARE(w.prompter.texts(), QStringList());
    QCOMPARE(keywordRows(w.db.dir()), rows);
}

// An editor opened by its key and left without typing leaves the record alone, in the
// list and in the main window's grid; the first key typed starts the edit.
void TestKeywordWindows::editorOpenedAndLeftChangesNothing()
{
    KeywordWindows w({"cat"}, {"cat|7", "dog|3"});
    // Opens the first row's cell editor by its key, then presses `key` in it.
    const auto openAndPress = [](QTableView *view, int column, Qt::Key key) {
        view->setFocus();
        view->setCurrentIndex(view->model()->index(0, column));
        QTest::keyClick(view, Qt::Key_F2);
        QTest::keyClick(view->focusWidget(), key);
    };
    w.formKeywordList->show();
    QTableView *list = w.formKeywordList->dbgridKeyword;
    QVERIFY(QTest::qWaitForWindowActive(w.formKeywordList.get()));
    for (const int column : {0, 1}) {
        openAndPress(list, column, Qt::Key_Down);
        QTRY_COMPARE(list->currentIndex().row(), 1);
        QCOMPARE(w.formKeywordList->queryKeyword.state(), DataSet::State::Browse);
        QCOMPARE(keywordRows(w.db.dir()), (QStringList{"cat|7", "dog|3"}));
    }
    openAndPress(list, 0, Qt::Key_X);
    QCOMPARE(w.formKeywordList->queryKeyword.state(), DataSet::State::Edit);
    QCOMPARE(w.grid()[0], "cat|0");
    w.click(DbNavigator::Cancel);
    w.formKeywordList->hide();

    w.formMain->show();
    QVERIFY(QTest::qWaitForWindowActive(w.formMain.get()));
    openAndPress(w.formMain->dbgridAlbum, 3, Qt::Key_Escape);
    QCOMPARE(w.formMain->queryAlbum.state(), DataSet::State::Browse);
    QVERIFY(!w.formMain->RecordModified);
    QCOMPARE(w.prompter.texts(), QStringList());
}

void TestKeywordWindows::duplicateKeywordTwoMessages()
{
    KeywordWindows w({}, {"cat|7", "dog|3"});
    w.formKeywordList->show();
    w.click(DbNavigator::Insert);
    QVERIFY(w.type(2, 0, QStringLiteral("dog")));
    w.click(DbNavigator::Post);
    QCOMPARE(w.prompter.texts(), (QStringList{kPostMessage, "Key violation."}));
    QCOMPARE(w.prompter.calls[0].kind, Prompter::Kind::Information);
    QCOMPARE(w.prompter.calls[1].kind, Prompter::Kind::Error);
    QCOMPARE(w.formKeywordList->queryKeyword.state(), DataSet::State::Insert);
    QCOMPARE(keywordRows(w.db.dir()), (QStringList{"cat|7", "dog|3"}));

    // A row changed into an empty keyword: the same message, then the field's own.
    w.click(DbNavigator::Cancel);
    QVERIFY(w.type(0, 0, QString(" ")));
    w.type(0, 0, QString());
    w.click(DbNavigator::Post);
    QCOMPARE(w.prompter.texts().mid(2),
             (QStringList{kPostMessage, "Field 'KEYWORD' must have a value."}));
    QCOMPARE(w.formKeywordList->queryKeyword.state(), DataSet::State::Edit);
    QCOMPARE(keywordRows(w.db.dir()), (QStringList{"cat|7", "dog|3"}));
}

void TestKeywordWindows::deleteAsksFirst()
{
    KeywordWindows w({}, {"cat|7", "dog|3"});
    w.formKeywordList->show();
    w.prompter.answer(Prompter::Cancel);
    w.click(DbNavigator::Delete);
    QCOMPARE(keywordRows(w.db.dir()), (QStringList{"cat|7", "dog|3"}));
    w.prompter.answer(Prompter::Ok);
    w.click(DbNavigator::Delete);
    QCOMPARE(keywordRows(w.db.dir()), QStringList{"dog|3"});
    QCOMPARE(w.prompter.texts(), (QStringList{"Delete record?", "Delete record?"}));
    QCOMPARE(w.prompter.last().kind, Prompter::Kind::Confirmation);
}

void TestKeywordWindows::ordersAndCheckMarksKept()
{
    KeywordWindows w({}, {"ant|2", "bee|9", "cat|2", "Dog|5", "emu|9"});
    TformKeywordList &form = *w.formKeywordList;
    form.show();
    QVERIFY(form.menuOptionOrderByKeyword->isChecked());
    QVERIFY(!form.menuOptionOrderByCount->isChecked());
    QCOMPARE(w.grid(), (QStringList{"Dog|5", "ant|2", "bee|9", "cat|2", "emu|9"}));

    form.menuOptionOrderByCount->trigger();
    QVERIFY(!form.menuOptionOrderByKeyword->isChecked());
    QVERIFY(form.menuOptionOrderByCount->isChecked());
    const QStringList byCount{"bee|9", "emu|9", "Dog|5", "ant|2", "cat|2"};
    QCOMPARE(w.grid(), byCount);

    form.bitbtnClose->click();
    QVERIFY(!form.isVisible());
    w.formKeywordList->show();
    QCOMPARE(w.grid(), byCount);
    QVERIFY(form.menuOptionOrderByCount->isChecked());
    QVERIFY(!form.menuOptionOrderByKeyword->isChecked());

    // Rows can be edited in this order too.
    QVERIFY(w.type(w.rowOf("Dog"), 1, QStringLiteral("1")));
    w.click(DbNavigator::Post);
    QCOMPARE(keywordRows(w.db.dir()), (QStringList{"Dog|1", "ant|2", "bee|9", "cat|2", "emu|9"}));
    QCOMPARE(w.prompter.calls.size(), 0);

    form.menuOptionOrderByKeyword->trigger();
    QVERIFY(form.menuOptionOrderByKeyword->isChecked());
    QVERIFY(!form.menuOptionOrderByCount->isChecked());
    QCOMPARE(w.grid(), (QStringList{"Dog|1", "ant|2", "bee|9", "cat|2", "emu|9"}));
}

void TestKeywordWindows::updateKeywordFromTheList()
{
    KeywordWindows w({"sky,sea", "sky"}, {"sky|50", "tree|4"});
    TformKeywordList &form = *w.formKeywordList;
    form.show();
    QCOMPARE(w.grid(), (QStringList{"sky|50", "tree|4"}));
    bool modal = false;
    whenShown(w.formUpdateKeyword.get(), [&] {
        modal = w.formUpdateKeyword->isModal();
        // OK closes the window once the rebuild has enabled it.
        QTimer *poll = new QTimer(w.formUpdateKeyword.get());
        QObject::connect(poll, &QTimer::timeout, [poll, &w] {
            if (w.formUpdateKeyword->bitbtnOK->isEnabled()) {
                poll->stop();
                poll->deleteLater();
                w.formUpdateKeyword->bitbtnOK->click();
            }
        });
        poll->start(10);
    });
    QVERIFY(form.menuFileUpdateKeyword->isVisible());
    form.menuFileUpdateKeyword->trigger();
    QVERIFY(modal);
    QVERIFY(!w.formUpdateKeyword->isVisible());
    QCOMPARE(w.grid(), (QStringList{"sea|1", "sky|2"}));
    QCOMPARE(w.prompter.calls.size(), 0);
}

void TestKeywordWindows::openedFromTheMainWindow()
{
    KeywordWindows w({}, {"cat|7"});
    QVERIFY(w.formMain->menuDisplayKeywordList->isVisible());
    QStringList seen;
    whenShown(w.formKeywordList.get(), [&] {
        if (w.formKeywordList->isModal())
            seen = w.grid();
        w.formKeywordList->menuFileClose->trigger();
    });
    w.formMain->menuDisplayKeywordList->trigger();
    QCOMPARE(seen, QStringList{"cat|7"});
    QVERIFY(!w.formKeywordList->isVisible());
    QCOMPARE(w.formKeywordList->result(), int(QDialog::Rejected));

    TformMain bare(w.prompter); // a main window without the list offers no command
    QVERIFY(!bare.menuDisplayKeywordList->isVisible());
    // Without a database the list is not shown on whatever folder is current.
    bare.queryAlbum.close();
    bare.queryAlbum.setDatabaseName(QString());
    bare.setKeywordList(w.formKeywordList.get());
    whenShown(w.formKeywordList.get(), [&] { w.formKeywordList->menuFileClose->trigger(); });
    w.prompter.calls.clear();
    bare.menuDisplayKeywordList->trigger();
    QCOMPARE(w.prompter.texts(), QStringList{"No database."});
    QCOMPARE(w.prompter.last().kind, Prompter::Kind::Warning);
}

void TestKeywordWindows::buttonsCentred()
{
    KeywordWindows w({}, {});
    TformKeywordList &form = *w.formKeywordList;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.panelButtons->width(), 345);
    QCOMPARE(form.panelBottom->height(), 41);
    for (const int width : {600, 401, 345, 200}) {
        form.resize(width, 300);
        QTRY_COMPARE(form.panelBottom->width(), form.width());
        const int left = form.panelBottom->width() / 2 - 345 / 2;
        QCOMPARE(form.panelButtons->x(), std::max(0, left));
    }
}

QTEST_MAIN(TestKeywordWindows)
#include "tst_keyword_windows.moc"
