#include "db/table.h"
#include "filter_windows.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace pictavo;
using pictavo::test::FilterWindows;

namespace {

const QStringList kAllNames{"0004", "0001", "0002", "0003", "0005"};     // key order
const QStringList kKeywords{"Tree", "girl", "say \"hi\"", "sea", "sky"}; // binary order

QStringList comboItems(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QStringList listItems(const QListWidget *list, bool tickedOnly = false)
{
    QStringList items;
    for (int row = 0; row < list->count(); ++row)
        if (!tickedOnly || list->item(row)->checkState() == Qt::Checked)
            items << list->item(row)->text();
    return items;
}

void tick(QListWidget *list, const QStringList &texts)
{
    for (const QString &text : texts) {
        const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(text));
        found.first()->setCheckState(Qt::Checked);
    }
}

} // namespace

// The easy filter window on a main window with five photos.
class TestFormEasyFilter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void query_data();
    void query();
    void enterQueriesAndEscCloses();
    void refusedStatementLeavesWindowOpen();
    void undecodableFirstPhotoStillCounts();
    void optionsStayInStep_data();
    void optionsStayInStep();
    void clearAll_data();
    void clearAll();
    void keywordLists();

private:
    std::unique_ptr<FilterWindows> w;
    TformEasyFilter *form = nullptr;
};

void TestFormEasyFilter::init()
{
    w = std::make_unique<FilterWindows>();
    w->addPhoto("IMG", "0001", "girl,sea");
    w->addPhoto("IMG", "0002", "girl");
    w->addPhoto("IMG", "0003", "sea");
    w->addPhoto("DSC", "0004", "sky");
    w->addPhoto("P", "0005", "say \"hi\"");
    w->open();
    form = w->formEasyFilter.get();
}

void TestFormEasyFilter::cleanup()
{
    QCOMPARE(w->prompter.pendingAnswers(), 0);
    w.reset();
}

void TestFormEasyFilter::query_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("keyword1");
    QTest::addColumn<bool>("not1");
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<bool>("orJoin");
    QTest::addColumn<bool>("notAll");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("nothing entered, NOT on")
        << ""
        << "" << false << QStringList() << false << true << kAllNames;
    QTest::newRow("prefix and typed keyword")
        << "IMG"
        << "girl" << false << QStringList() << false << false << QStringList{"0001", "0002"};
    QTest::newRow("typed keyword negated")
        << "IMG"
        << "girl" << true << QStringList() << false << false << QStringList{"0003"};
    QTest::newRow("ticked under OR and overall NOT")
        << ""
        << "" << false << QStringList{"girl", "sky"} << true << true << QStringList{"0003", "0005"};
    QTest::newRow("typed double quotes")
        << ""
        << "\"hi\"" << false << QStringList() << false << false << QStringList{"0005"};
    QTest::newRow("ticked keyword with double quotes")
        << ""
        << "" << false << QStringList{"say \"hi\""} << false << false << QStringList{"0005"};
    QTest::newRow("no match") << "X"
                              << "" << false << QStringList() << false << false << QStringList();
}

void TestFormEasyFilter::query()
{
    QFETCH(QString, prefix);
    QFETCH(QString, keyword1);
    QFETCH(bool, not1);
    QFETCH(QStringList, ticked);
    QFETCH(bool, orJoin);
    QFETCH(bool, notAll);
    QFETCH(QStringList, names);
    w->db.addKeyword("girl", 3);
    w->db.addKeyword("say \"hi\"", 1);
    w->db.addKeyword("sky", 1);
    form->show();
    form->editPrefix->setText(prefix);
    form->comboboxKeyWord1->setEditText(keyword1);
    form->checkboxNot1->setChecked(not1);
    tick(form->checklistboxKeyWords, ticked);
    if (orJoin)
        form->radioBoolOR->click();
    if (notAll)
        form->checkboxBoolNOT->click();

    form->bitbtnExecute->click();
    QCOMPARE(w->prompter.calls.size(), 0);
    QCOMPARE(w->gridNames(), names);
    QCOMPARE(w->counter(), QString::number(names.size()));
    QCOMPARE(w->formMain->imageViewArea->isHidden(), names.isEmpty());
    QCOMPARE(w->formMain->queryAlbum.sql().size(),
             prefix.isEmpty() && keyword1.isEmpty() && ticked.isEmpty() ? 2 : 3);
    // The window stays open with its entries as they were.
    QVERIFY(form->isVisible());
    QCOMPARE(form->editPrefix->text(), prefix);
    QCOMPARE(form->comboboxKeyWord1->currentText(), keyword1);
    QCOMPARE(listItems(form->checklistboxKeyWords, true), ticked);
    QCOMPARE(form->radiogroupItemIndex(), orJoin ? 1 : 0);
    QCOMPARE(form->checkboxBoolNOT->isChecked(), notAll);
}

void TestFormEasyFilter::enterQueriesAndEscCloses()
{
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form));
    form->editPrefix->setFocus();
    QTest::keyClicks(form->editPrefix, "DSC");
    QTest::keyClick(form->editPrefix, Qt::Key_Return);
    QCOMPARE(w->gridNames(), QStringList{"0004"});
    // Enter in a keyword box runs the query too, and adds nothing to its list.
    form->editPrefix->clear();
    form->comboboxKeyWord2->setFocus();
    QTest::keyClicks(form->comboboxKeyWord2, "sea");
    QTest::keyClick(form->comboboxKeyWord2, Qt::Key_Return);
    QCOMPARE(w->gridNames(), QStringList({"0001", "0003"}));
    QCOMPARE(form->comboboxKeyWord2->count(), 0);
    QVERIFY(form->isVisible());
    QTest::keyClick(form->comboboxKeyWord2, Qt::Key_Escape);
    QVERIFY(!form->isVisible());
    QCOMPARE(form->comboboxKeyWord2->currentText(), QStringLiteral("sea")); // kept for next time
    QCOMPARE(w->prompter.calls.size(), 0);
}

void TestFormEasyFilter::refusedStatementLeavesWindowOpen()
{
    form->show();
    QVERIFY(QFile::remove(QDir(w->db.dir()).filePath("photodb.db")));
    form->editPrefix->setText("IMG");
    form->menuFileExecute->trigger();
    QCOMPARE(
        w->prompter.texts(),
        QStringList{
            QStringLiteral("Table \"PHOTODB.DB\" does not exist in \"%1\".").arg(w->db.dir())});
    QCOMPARE(w->prompter.last().kind, Prompter::Kind::Error);
    const Query &album = w->formMain->queryAlbum;
    QVERIFY(!album.active());
    QCOMPARE(album.sql(),
             QStringList({"SELECT * FROM PHOTODB.DB ", "WHERE PREFIX LIKE \"IMG%\"", ";"}));
    QCOMPARE(w->counter(), QStringLiteral("5")); // not refreshed
    QVERIFY(form->isVisible());
    QCOMPARE(form->editPrefix->text(), QStringLiteral("IMG"));
}

void TestFormEasyFilter::undecodableFirstPhotoStillCounts()
{
    w->db.addPhoto("Z", "0009", "png", QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(100, 'x'));
    form->show();
    form->editPrefix->setText("Z");
    form->bitbtnExecute->click();
    // The statement ran; only showing its photo failed, and that is reported as such.
    QCOMPARE(w->prompter.texts(), QStringList{"Not a JPEG file: starts with 0x89 0x50"});
    QVERIFY(w->formMain->queryAlbum.active());
    QCOMPARE(w->gridNames(), QStringList{"0009"});
    QCOMPARE(w->counter(), QStringLiteral("1"));
}

void TestFormEasyFilter::optionsStayInStep_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("andTicked");
    QTest::addColumn<bool>("notTicked");

    QTest::newRow("at start") << QStringList() << true << false;
    QTest::newRow("OR from the menu") << QStringList{"menuOR"} << false << false;
    QTest::newRow("OR twice from the menu") << QStringList{"menuOR", "menuOR"} << false << false;
    QTest::newRow("AND again from the menu") << QStringList{"menuAND"} << true << false;
    QTest::newRow("AND after OR") << QStringList{"menuOR", "menuAND"} << true << false;
    QTest::newRow("OR from the radio group") << QStringList{"radioOR"} << false << false;
    QTest::newRow("OR with the arrow key") << QStringList{"keyDown"} << false << false;
    QTest::newRow("radio back to AND") << QStringList{"menuOR", "radioAND"} << true << false;
    QTest::newRow("NOT from the menu") << QStringList{"menuNOT"} << true << true;
    QTest::newRow("NOT twice from the menu") << QStringList{"menuNOT", "menuNOT"} << true << false;
    QTest::newRow("NOT from the box") << QStringList{"boxNOT"} << true << true;
    QTest::newRow("box on, menu off") << QStringList{"boxNOT", "menuNOT"} << true << false;
    QTest::newRow("menu on, box off")
        << QStringList{"menuNOT", "boxNOT", "radioOR"} << false << false;
}

void TestFormEasyFilter::optionsStayInStep()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, andTicked);
    QFETCH(bool, notTicked);
    form->show();
    for (const QString &step : steps) {
        if (step == "menuOR")
            form->menuOptionBoolOR->trigger();
        else if (step == "menuAND")
            form->menuOptionBoolAND->trigger();
        else if (step == "radioOR")
            form->radioBoolOR->click();
        else if (step == "radioAND")
            form->radioBoolAND->click();
        else if (step == "keyDown") {
            QVERIFY(QTest::qWaitForWindowActive(form));
            form->radioBoolAND->setFocus();
            QTest::keyClick(form->radioBoolAND, Qt::Key_Down);
        } else if (step == "menuNOT")
            form->menuOptionBoolNOT->trigger();
        else if (step == "boxNOT")
            form->checkboxBoolNOT->click();
    }
    QCOMPARE(form->menuOptionBoolAND->isChecked(), andTicked);
    QCOMPARE(form->menuOptionBoolOR->isChecked(), !andTicked);
    QCOMPARE(form->radioBoolAND->isChecked(), andTicked);
    QCOMPARE(form->radioBoolOR->isChecked(), !andTicked);
    QCOMPARE(form->menuOptionBoolNOT->isChecked(), notTicked);
    QCOMPARE(form->checkboxBoolNOT->isChecked(), notTicked);
    QCOMPARE(form->entries().useAnd, andTicked);
    QCOMPARE(form->entries().notAll, notTicked);
}

void TestFormEasyFilter::clearAll_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("All Clear button") << "button";
    QTest::newRow("Clear(&C) menu item") << "menu";
    QTest::newRow("called by another window") << "call";
}

void TestFormEasyFilter::clearAll()
{
    QFETCH(QString, command);
    for (const QString &keyword : kKeywords)
        w->db.addKeyword(keyword, 1);
    form->show();
    form->editPrefix->setText("IMG");
    form->editName->setText(" ");
    QComboBox *boxes[] = {form->comboboxKeyWord1, form->comboboxKeyWord2, form->comboboxKeyWord3};
    for (QComboBox *box : boxes)
        box->setEditText("x");
    for (QCheckBox *box : {form->checkboxNot1, form->checkboxNot2, form->checkboxNot3})
        box->setChecked(true);
    tick(form->checklistboxKeyWords, {"girl", "sky"});
    form->menuOptionBoolOR->trigger();
    form->menuOptionBoolNOT->trigger();

    if (command == "button")
        form->bitbtnClear->click();
    else if (command == "menu")
        form->menuEditClear->trigger();
    else
        form->ClearAll();
    QVERIFY(form->editPrefix->text().isEmpty());
    QVERIFY(form->editName->text().isEmpty());
    for (QComboBox *box : boxes) {
        QVERIFY(box->currentText().isEmpty());
        QCOMPARE(comboItems(box), kKeywords); // the drop-down lists stay
    }
    for (QCheckBox *box : {form->checkboxNot1, form->checkboxNot2, form->checkboxNot3})
        QVERIFY(!box->isChecked());
    QCOMPARE(listItems(form->checklistboxKeyWords), kKeywords);
    QCOMPARE(listItems(form->checklistboxKeyWords, true), QStringList());
    QVERIFY(form->menuOptionBoolAND->isChecked());
    QVERIFY(!form->menuOptionBoolOR->isChecked());
    QCOMPARE(form->radiogroupItemIndex(), 0);
    QVERIFY(!form->menuOptionBoolNOT->isChecked());
    QVERIFY(!form->checkboxBoolNOT->isChecked());
    QCOMPARE(form->entries().tickedKeywords, QStringList());
}

void TestFormEasyFilter::keywordLists()
{
    // The first showing with an empty Keyword Table leaves the lists empty.
    form->show();
    QCOMPARE(form->comboboxKeyWord1->count(), 0);
    QCOMPARE(form->checklistboxKeyWords->count(), 0);
    form->hide();

    for (const QString &keyword : kKeywords)
        w->db.addKeyword(keyword, 1);
    form->comboboxKeyWord1->setEditText("typed");
    form->show();
    for (QComboBox *box : {form->comboboxKeyWord1, form->comboboxKeyWord2, form->comboboxKeyWord3})
        QCOMPARE(comboItems(box), kKeywords);
    QCOMPARE(listItems(form->checklistboxKeyWords), kKeywords);
    QCOMPARE(form->comboboxKeyWord1->currentText(), QStringLiteral("typed"));
    QCOMPARE(form->comboboxKeyWord2->currentText(), QString());

    // Each showing reloads the lists: ticks are lost, typed text stays.
    tick(form->checklistboxKeyWords, {"sea"});
    form->hide();
    w->db.addKeyword("beach", 1);
    form->show();
    const QStringList withBeach{"Tree", "beach", "girl", "say \"hi\"", "sea", "sky"};
    QCOMPARE(comboItems(form->comboboxKeyWord3), withBeach);
    QCOMPARE(listItems(form->checklistboxKeyWords), withBeach);
    QCOMPARE(listItems(form->checklistboxKeyWords, true), QStringList());
    QCOMPARE(form->comboboxKeyWord1->currentText(), QStringLiteral("typed"));

    // An emptied Keyword Table leaves the lists, ticks included, as they were.
    tick(form->checklistboxKeyWords, {"sea"});
    form->hide();
    Table keywords;
    keywords.setDatabaseName(w->db.dir());
    keywords.setTableName("KEYWORD.DB");
    keywords.emptyTable();
    form->show();
    QCOMPARE(listItems(form->checklistboxKeyWords), withBeach);
    QCOMPARE(listItems(form->checklistboxKeyWords, true), QStringList{"sea"});
    QCOMPARE(comboItems(form->comboboxKeyWord2), withBeach);

    // Without an open Album Query nothing is loaded.
    form->hide();
    w->db.addKeyword("new", 1);
    w->formMain->queryAlbum.close();
    form->show();
    QCOMPARE(listItems(form->checklistboxKeyWords), withBeach);
    QCOMPARE(w->prompter.calls.size(), 0);
}

QTEST_MAIN(TestFormEasyFilter)
#include "tst_tformeasyfilter.moc"
