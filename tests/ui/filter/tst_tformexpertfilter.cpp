#include "filter_windows.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace pictavo;
using pictavo::test::FilterWindows;

namespace {

const QStringList kAllNames{"0003", "0001", "0002"}; // key order

} // namespace

// The expert filter window on a main window with three photos.
class TestFormExpertFilter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void showingCopiesTheStatement();
    void noStatement();
    void executeKeepsLinesAndClearsEasyFilter();
    void wrongStatement_data();
    void wrongStatement();
    void resetRunsNothing();
    void undecodableFirstPhotoIsNotAWrongStatement();
    void readOnlyResultShowsItsPhotos();
    void enterInEditorMakesNewLine();
    void stopBringsBackThePreviousSet();

private:
    void fillEasyFilter();
    std::unique_ptr<FilterWindows> w;
    TformExpertFilter *form = nullptr;
};

void TestFormExpertFilter::init()
{
    w = std::make_unique<FilterWindows>();
    w->addPhoto("IMG", "0001", "girl,sea");
    w->addPhoto("IMG", "0002", "girl");
    w->addPhoto("DSC", "0003", "sky");
    w->open();
    form = w->formExpertFilter.get();
}

void TestFormExpertFilter::cleanup()
{
    QCOMPARE(w->prompter.pendingAnswers(), 0);
    w.reset();
}

void TestFormExpertFilter::fillEasyFilter()
{
    TformEasyFilter &easy = *w->formEasyFilter;
    easy.editPrefix->setText("IMG");
    easy.editName->setText("0");
    easy.comboboxKeyWord1->setEditText("sea");
    easy.checkboxNot1->setChecked(true);
    easy.menuOptionBoolOR->trigger();
    easy.menuOptionBoolNOT->trigger();
}

void TestFormExpertFilter::showingCopiesTheStatement()
{
    form->show();
    QCOMPARE(form->editorLines(), QStringList{"select * from PHOTODB.DB ;"});
    QCOMPARE(form->focusWidget(), form->memoSQL);
    form->hide();
    // After an easy-filter query: its three lines, the first ending in a blank.
    w->formEasyFilter->show();
    w->formEasyFilter->comboboxKeyWord1->setEditText("girl");
    w->formEasyFilter->bitbtnExecute->click();
    w->formEasyFilter->hide();
    form->memoSQL->setPlainText("edits not executed are lost");
    form->show();
    QCOMPARE(form->editorLines(),
             QStringList({"SELECT * FROM PHOTODB.DB ", "WHERE KEYWORD LIKE \"%girl%\"", ";"}));
    QCOMPARE(w->prompter.calls.size(), 0);
}

void TestFormExpertFilter::noStatement()
{
    fillEasyFilter();
    form->show();
    form->memoSQL->clear();
    form->bitbtnExecute->click();
    QCOMPARE(w->prompter.texts(), QStringList{"No SQL statement."});
    QCOMPARE(w->prompter.last().kind, Prompter::Kind::Warning);
    QCOMPARE(w->prompter.last().buttons, Prompter::Buttons(Prompter::Ok));
    // Nothing else changes.
    QVERIFY(w->formMain->queryAlbum.active());
    QCOMPARE(w->formMain->queryAlbum.sql(), QStringList{"select * from PHOTODB.DB ;"});
    QCOMPARE(w->formEasyFilter->editPrefix->text(), QStringLiteral("IMG"));
    QVERIFY(w->formEasyFilter->menuOptionBoolNOT->isChecked());
    QVERIFY(form->isVisible());
}

void TestFormExpertFilter::executeKeepsLinesAndClearsEasyFilter()
{
    fillEasyFilter();
    form->show();
    const QStringList lines{"select *", "", "  from PHOTODB.DB where KEYWORD like \"%girl%\"  ",
                            ""};
    form->memoSQL->setPlainText(lines.join('\n'));
    form->menuFileExecute->trigger();
    QCOMPARE(w->prompter.calls.size(), 0);
    QCOMPARE(w->formMain->queryAlbum.sql(), lines); // blank lines included
    QCOMPARE(w->gridNames(), QStringList({"0001", "0002"}));
    QCOMPARE(w->counter(), QStringLiteral("2"));
    QVERIFY(form->isVisible());
    QCOMPARE(form->editorLines(), lines);

    TformEasyFilter &easy = *w->formEasyFilter;
    QVERIFY(easy.editPrefix->text().isEmpty());
    QVERIFY(easy.editName->text().isEmpty());
    QVERIFY(easy.comboboxKeyWord1->currentText().isEmpty());
    QVERIFY(!easy.checkboxNot1->isChecked());
    QVERIFY(easy.menuOptionBoolAND->isChecked());
    QCOMPARE(easy.radiogroupItemIndex(), 0);
    QVERIFY(!easy.menuOptionBoolNOT->isChecked());
    QVERIFY(!easy.checkboxBoolNOT->isChecked());

    // Reopening shows exactly the lines that ran.
    form->hide();
    form->show();
    QCOMPARE(form->editorLines(), lines);
}

void TestFormExpertFilter::wrongStatement_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("bad syntax") << QStringList{"select * form PHOTODB.DB;"};
    QTest::newRow("no such field") << QStringList{"select * from PHOTODB.DB where COLOUR = 1;"};
    QTest::newRow("no such table") << QStringList{"select * from ALBUM.DB;"};
    QTest::newRow("blank lines only") << QStringList{"", "  ", ""};
    QTest::newRow("a statement that writes") << QStringList{"delete from PHOTODB.DB"};
    QTest::newRow("two statements")
        << QStringList{"select * from PHOTODB.DB;", "delete from PHOTODB.DB;"};
}

void TestFormExpertFilter::wrongStatement()
{
    QFETCH(QStringList, lines);
    fillEasyFilter();
    form->show();
    QVERIFY(!w->formMain->imageViewArea->isHidden());
    form->memoSQL->setPlainText(lines.join('\n'));
    form->bitbtnExecute->click();
    QCOMPARE(w->prompter.texts(), QStringList{"Wrong SQL statement."}); // not the engine's text
    QCOMPARE(w->prompter.last().kind, Prompter::Kind::Warning);
    const Query &album = w->formMain->queryAlbum;
    QVERIFY(!album.active());
    QCOMPARE(album.sql(), lines);
    QVERIFY(w->formMain->imageViewArea->isHidden());
    QCOMPARE(w->counter(), QStringLiteral("0"));
    QCOMPARE(w->gridNames(), QStringList());
    QVERIFY(w->formEasyFilter->editPrefix->text().isEmpty());
    QVERIFY(!w->formEasyFilter->menuOptionBoolNOT->isChecked());
    QVERIFY(form->isVisible());
    QCOMPARE(w->db.rows({"select NAME from PHOTODB.DB"}).size(), 3); // nothing written

    // The failed statement is there to correct when the window opens again.
    form->hide();
    form->show();
    QCOMPARE(form->editorLines(), lines);
    // The main window now treats the database as not open.
    w->formMain->menuDisplayEasyFilter->trigger();
    QCOMPARE(w->prompter.texts().last(), QStringLiteral("No database."));
    QVERIFY(!w->formEasyFilter->isVisible());
}

void TestFormExpertFilter::resetRunsNothing()
{
    form->show();
    form->memoSQL->setPlainText("select * from PHOTODB.DB where PREFIX = \"DSC\";");
    form->bitbtnExecute->click();
    QCOMPARE(w->gridNames(), QStringList{"0003"});
    fillEasyFilter();
    form->bitbtnReset->click();
    QCOMPARE(form->editorLines(), QStringList{"select * from PHOTODB.DB;"});
    QCOMPARE(w->gridNames(), QStringList{"0003"});
    QCOMPARE(w->formEasyFilter->editPrefix->text(), QStringLiteral("IMG"));
    form->memoSQL->clear();
    form->menuFileReset->trigger();
    form->menuFileExecute->trigger();
    QCOMPARE(w->gridNames(), kAllNames);
    QCOMPARE(w->counter(), QStringLiteral("3"));
    QCOMPARE(w->prompter.calls.size(), 0);
}

void TestFormExpertFilter::undecodableFirstPhotoIsNotAWrongStatement()
{
    w->db.addPhoto("Z", "0009", "png", QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(100, 'x'));
    fillEasyFilter();
    form->show();
    form->memoSQL->setPlainText("select * from PHOTODB.DB where PREFIX = \"Z\";");
    form->bitbtnExecute->click();
    QCOMPARE(w->prompter.texts(), QStringList{"Not a JPEG file: starts with 0x89 0x50"});
    QCOMPARE(w->prompter.last().kind, Prompter::Kind::Error);
    QVERIFY(w->formMain->queryAlbum.active());
    QCOMPARE(w->counter(), QStringLiteral("1"));
    QVERIFY(w->formEasyFilter->editPrefix->text().isEmpty());
}

// A statement whose result cannot be edited (DISTINCT here) still shows each record's
// photo as the user moves through it.
void TestFormExpertFilter::readOnlyResultShowsItsPhotos()
{
    form->show();
    form->memoSQL->setPlainText("select distinct * from PHOTODB.DB order by NAME desc;");
    form->bitbtnExecute->click();
    QCOMPARE(w->prompter.calls.size(), 0);
    Query &album = w->formMain->queryAlbum;
    QVERIFY(!album.isLive());
    QCOMPARE(w->counter(), QStringLiteral("3"));
    QByteArray previous;
    for (int row = 0; row < album.recordCount(); ++row) {
        album.moveTo(row);
        QVERIFY(!w->formMain->imageViewArea->isHidden());
        const QByteArray shown = w->formMain->imageTmp.jpeg();
        QVERIFY(!shown.isEmpty() && shown != previous);
        QCOMPARE(shown.size(), album.asInteger(QStringLiteral("IMAGE_SIZE")));
        previous = shown;
    }
    QCOMPARE(w->prompter.calls.size(), 0);
}

void TestFormExpertFilter::enterInEditorMakesNewLine()
{
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form));
    form->memoSQL->moveCursor(QTextCursor::End);
    QTest::keyClick(form->memoSQL, Qt::Key_Return);
    QTest::keyClicks(form->memoSQL, "x");
    QCOMPARE(form->editorLines(), QStringList({"select * from PHOTODB.DB ;", "x"}));
    QVERIFY(form->isVisible());
    // Elsewhere Enter reaches Close, the default button; Esc closes too.
    form->bitbtnReset->setFocus();
    QTest::keyClick(form->bitbtnReset, Qt::Key_Return);
    QVERIFY(!form->isVisible());
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form));
    QTest::keyClick(form->memoSQL, Qt::Key_Escape);
    QVERIFY(!form->isVisible());
    QCOMPARE(w->prompter.calls.size(), 0);
}

void TestFormExpertFilter::stopBringsBackThePreviousSet()
{
    form->show();
    const QStringList setA{"select * from PHOTODB.DB where KEYWORD like \"%girl%\";"};
    form->memoSQL->setPlainText(setA.join('\n'));
    form->bitbtnExecute->click();
    w->formMain->queryAlbum.moveTo(1);
    fillEasyFilter();
    // 3^24 rows; once the busy window offers Stop, modal, the user takes it.
    QString endless = "select count(*) from PHOTODB.DB t0";
    for (int i = 1; i < 24; ++i)
        endless += QStringLiteral(",\nPHOTODB.DB t%1").arg(i);
    form->memoSQL->setPlainText(endless);
    TformProcessing &busy = *w->formProcessing;
    bool offered = false;
    QTimer user;
    connect(&user, &QTimer::timeout, &busy, [&] {
        offered = offered || (busy.isVisible() && busy.windowModality() == Qt::ApplicationModal);
        if (offered)
            QTest::mouseClick(busy.bitbtnStop, Qt::LeftButton);
    });
    user.start(20);
    form->bitbtnExecute->click();
    QVERIFY(offered && !busy.isVisible());
    QCOMPARE(w->prompter.texts(), QStringList{"The query was stopped."});
    QCOMPARE(w->prompter.last().kind, Prompter::Kind::Information);
    // Set A as shown before, and the easy filter still describing it.
    QCOMPARE(w->formMain->queryAlbum.sql(), setA);
    QCOMPARE(w->gridNames(), QStringList({"0001", "0002"}));
    QCOMPARE(w->counter(), QStringLiteral("2"));
    QCOMPARE(w->formMain->queryAlbum.recNo(), 1);
    QVERIFY(!w->formMain->imageViewArea->isHidden());
    QCOMPARE(w->formEasyFilter->editPrefix->text(), QStringLiteral("IMG"));
}

QTEST_MAIN(TestFormExpertFilter)
#include "tst_tformexpertfilter.moc"
