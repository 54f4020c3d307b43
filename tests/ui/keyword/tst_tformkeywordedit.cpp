#include "keyword_windows.h"
#include "support/jpeg_fixtures.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <sqlite3.h>

using namespace pictavo;
using pictavo::test::KeywordWindows;

namespace {

QStringList listItems(const QListWidget *list)
{
    QStringList items;
    for (int row = 0; row < list->count(); ++row)
        items << list->item(row)->text();
    return items;
}

void select(QListWidget *list, const QString &text)
{
    const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(found.size() == 1, qPrintable(text));
    list->setCurrentItem(found.first());
}

bool buttonsEnabled(const TformKeywordEdit &form)
{
    return form.bitbtnReplace->isEnabled() && form.bitbtnAppend->isEnabled() &&
           form.bitbtnRemove->isEnabled() && form.bitbtnClose->isEnabled();
}

// A trigger that refuses to change the Keyword String of the record named name.
void refuseChangeOf(const QString &dir, const QString &name)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open((dir + "/photodb.db").toUtf8().constData(), &db), SQLITE_OK);
    const QByteArray sql = "CREATE TRIGGER refuse BEFORE UPDATE OF KEYWORD ON photodb_record WHEN "
                           "OLD.NAME = '" +
                           name.toUtf8() + "' BEGIN SELECT RAISE(ABORT, 'refused'); END;";
    const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QCOMPARE(rc, SQLITE_OK);
}

const QStringList kPhotos{"0001=bobcat,cat", "0002=cat,cat", "0003=dog", "0004=Cat,sky"};

} // namespace

// The keyword edit window over a main window with four photos.
class TestFormKeywordEdit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void replaceEverywhere();
    void warnings_data();
    void warnings();
    void notFunctional();
    void failingReplaceChangesNothing();
    void listsRefilledOnActivation();
    void modalFromMainWindow();

private:
    void fill(bool withPhotos = true);
    std::unique_ptr<KeywordWindows> w;
    TformKeywordEdit *form = nullptr;
};

void TestFormKeywordEdit::init()
{
    w = std::make_unique<KeywordWindows>();
}

void TestFormKeywordEdit::cleanup()
{
    QCOMPARE(w->prompter.pendingAnswers(), 0);
    w.reset();
}

void TestFormKeywordEdit::fill(bool withPhotos)
{
    if (withPhotos)
        for (const QString &photo : kPhotos)
            w->addPhoto(photo.section('=', 0, 0), photo.section('=', 1));
    for (const char *keyword : {"cat", "dog", "sky", "Cat", "bobcat"})
        w->db.addKeyword(keyword, 7);
    w->open();
    form = w->formKeywordEdit.get();
    form->FormActivate();
}

// The first occurrence in every record, also inside a longer keyword and in records the
// main window does not show; the main window's query then runs again from its first record.
void TestFormKeywordEdit::replaceEverywhere()
{
    fill();
    Query &album = w->formMain->queryAlbum;
    album.close();
    album.setSql({"select * from PHOTODB.DB where KEYWORD LIKE \"%bobcat%\" or NAME = \"0003\""});
    album.open();
    album.last();
    QCOMPARE(album.recordCount(), 2);
    const QStringList keywordTable = w->keywordRows();
    const QStringList lists = listItems(form->listboxOldKeyword);
    QCOMPARE(lists, QStringList({"Cat", "bobcat", "cat", "dog", "sky"}));

    select(form->listboxOldKeyword, "cat");
    form->editNewKeyword->setText("dog");
    QTest::mouseClick(form->bitbtnReplace, Qt::LeftButton);

    QCOMPARE(w->prompter.calls.size(), 0); // not even the new-keyword question
    QCOMPARE(w->photoKeywords(),
             QStringList({"0001=bobdog,cat", "0002=dog,cat", "0003=dog", "0004=Cat,sky"}));
    // Opened again: the record that no longer holds bobcat has left the set, and the
    // first record is current.
    QVERIFY(album.active());
    QCOMPARE(album.recordCount(), 1);
    QCOMPARE(album.recNo(), 0);
    QCOMPARE(album.asString("NAME"), QString("0003"));
    QCOMPARE(w->formMain->editCounter->text(), QString("1"));
    QCOMPARE(w->formMain->dbgridAlbum->model()->rowCount(), 1);
    // Neither the Keyword Table nor the lists change until a rebuild and an activation.
    QCOMPARE(w->keywordRows(), keywordTable);
    QCOMPARE(listItems(form->listboxOldKeyword), lists);
    QCOMPARE(listItems(form->listboxRemoveKeyword), lists);
    QCOMPARE(form->progressbarProcessing->value(), 0);
    QVERIFY(buttonsEnabled(*form));

    // A text no record holds visits every record and changes none; commas go in as typed.
    select(form->listboxOldKeyword, "sky");
    form->editNewKeyword->setText("blue,sky");
    form->menuFileReplace->trigger();
    select(form->listboxOldKeyword, "bobcat");
    form->menuFileReplace->trigger();
    QCOMPARE(w->prompter.calls.size(), 0);
    QCOMPARE(w->photoKeywords(),
             QStringList({"0001=bobdog,cat", "0002=dog,cat", "0003=dog", "0004=Cat,blue,sky"}));
}

void TestFormKeywordEdit::warnings_data()
{
    QTest::addColumn<bool>("photos");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("newText");
    QTest::addColumn<QString>("warning");

    QTest::newRow("nothing selected, all else wrong too") << false << ""
                                                          << ""
                                                          << "Old Keyword is not selected.";
    QTest::newRow("nothing selected") << true << ""
                                      << "dog"
                                      << "Old Keyword is not selected.";
    QTest::newRow("new keyword empty, no record") << false << "cat"
                                                  << ""
                                                  << "New Keyword is empty.";
    QTest::newRow("new keyword empty") << true << "cat"
                                       << ""
                                       << "New Keyword is empty.";
    QTest::newRow("no record") << false << "cat"
                               << "dog"
                               << "No record.";
}

// The three checks in their order, each a warning that changes nothing.
void TestFormKeywordEdit::warnings()
{
    QFETCH(bool, photos);
    QFETCH(QString, selected);
    QFETCH(QString, newText);
    QFETCH(QString, warning);
    fill(photos);
    const QStringList before = w->photoKeywords();
    if (!selected.isEmpty())
        select(form->listboxOldKeyword, selected);
    form->editNewKeyword->setText(newText);
    QTest::mouseClick(form->bitbtnReplace, Qt::LeftButton);
    QCOMPARE(w->prompter.texts(), QStringList{warning});
    QCOMPARE(w->prompter.last().kind, Prompter::Kind::Warning);
    QCOMPARE(w->photoKeywords(), before);
    QVERIFY(buttonsEnabled(*form));
}

// Append and Remove, by button or menu, whatever is typed or selected.
void TestFormKeywordEdit::notFunctional()
{
    fill();
    form->editAppendKeyword->setText("new");
    select(form->listboxRemoveKeyword, "dog");
    select(form->listboxOldKeyword, "cat");
    form->editNewKeyword->setText("dog");
    QTest::mouseClick(form->bitbtnAppend, Qt::LeftButton);
    QTest::mouseClick(form->bitbtnRemove, Qt::LeftButton);
    form->menuFileAppend->trigger();
    form->menuFileRemove->trigger();
    QCOMPARE(w->prompter.texts(), QStringList(4, "Not functional.  Sorry."));
    QCOMPARE(w->photoKeywords(), kPhotos);
    QCOMPARE(w->keywordRows().size(), 5);
}

// A replace that fails part-way (after 0001 and 0002 were written, on 0004) shows the
// engine's text and leaves every record as it was and the window usable.
void TestFormKeywordEdit::failingReplaceChangesNothing()
{
    fill();
    refuseChangeOf(w->db.dir(), "0004");
    w->db.addKeyword("at", 1);
    form->FormActivate();
    select(form->listboxOldKeyword, "at");
    form->editNewKeyword->setText("og");
    QTest::mouseClick(form->bitbtnReplace, Qt::LeftButton);
    QCOMPARE(w->prompter.texts(), QStringList{"refused"});
    QCOMPARE(w->prompter.last().kind, Prompter::Kind::Error);
    QCOMPARE(w->photoKeywords(), kPhotos);
    QVERIFY(buttonsEnabled(*form));
    QCOMPARE(form->progressbarProcessing->value(), 0);
    QVERIFY(w->formMain->queryAlbum.active());
}

// Each activation refills both lists in key order; an empty Keyword Table leaves them as
// they were. The selection is kept while its keyword is listed.
void TestFormKeywordEdit::listsRefilledOnActivation()
{
    fill();
    select(form->listboxOldKeyword, "dog");
    w->db.addKeyword("apple", 1);
    QCOMPARE(listItems(form->listboxOldKeyword).size(), 5); // not before an activation
    form->FormActivate();
    const QStringList six{"Cat", "apple", "bobcat", "cat", "dog", "sky"};
    QCOMPARE(listItems(form->listboxOldKeyword), six);
    QCOMPARE(listItems(form->listboxRemoveKeyword), six);
    QCOMPARE(form->listboxOldKeyword->selectedItems().value(0)->text(), QString("dog"));

    // Another database, whose Keyword Table is empty.
    test::PhotoDbFixture other;
    other.addPhoto("X", "1", "cat", fixtures::makeJpeg(8, 8));
    Query &album = w->formMain->queryAlbum;
    album.close();
    album.setDatabaseName(other.dir());
    album.open();
    form->FormActivate();
    QCOMPARE(listItems(form->listboxOldKeyword), six);
    QCOMPARE(listItems(form->listboxRemoveKeyword), six);
    // And the replace works on that database.
    form->editNewKeyword->setText("x");
    select(form->listboxOldKeyword, "cat");
    form->menuFileReplace->trigger();
    QCOMPARE(other.rows({"select KEYWORD from PHOTODB.DB"}), QStringList{"x"});
    QCOMPARE(w->photoKeywords(), kPhotos);
}

// The main window's command shows the window modally; becoming active fills it.
void TestFormKeywordEdit::modalFromMainWindow()
{
    {
        ScriptedPrompter unused;
        TformMain bare(unused);
        QVERIFY(!bare.menuDisplayKeywordEdit->isVisible()); // no window yet, no command
    }
    fill();
    QVERIFY(w->formMain->menuDisplayKeywordEdit->isVisible());
    QCOMPARE(w->formMain->menuDisplayKeywordEdit->text(), QString("Keyword Edit(&D)"));
    form->listboxOldKeyword->clear();
    bool seen = false;
    QTimer::singleShot(0, form, [&] {
        seen = form->isVisible() && form->isModal();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QCOMPARE(listItems(form->listboxOldKeyword).size(), 5);
        QTest::mouseClick(form->bitbtnClose, Qt::LeftButton);
    });
    w->formMain->menuDisplayKeywordEdit->trigger();
    QVERIFY(seen);
    QVERIFY(!form->isVisible());
}

QTEST_MAIN(TestFormKeywordEdit)
#include "tst_tformkeywordedit.moc"
