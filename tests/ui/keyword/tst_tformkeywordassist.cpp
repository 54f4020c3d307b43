#include "base/regutl.h"
#include "keyword/tformkeywordassist.h"
#include "keyword_windows.h"
#include "widgets/form_exists.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

using namespace pictavo;
using pictavo::test::KeywordWindows;

namespace {

// The list as the user sees it: each entry's text, "+" in front when it is checked.
QStringList shown(const TformKeywordAssist *form)
{
    QStringList items;
    for (const AssistEntry &entry : form->entries())
        items << (entry.checked ? "+" : "") + entry.text;
    return items;
}

TformKeywordAssist *assistant()
{
    TformKeywordAssist *found = nullptr;
    int count = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (auto *form = qobject_cast<TformKeywordAssist *>(window)) {
            found = form;
            ++count;
        }
    return count == 1 ? found : nullptr;
}

QString newKeywordQuestion(const QString &keyword)
{
    return "\"" + keyword + "\" is a new keyword. Would you append it into the database?";
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestFormKeywordAssist : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listAndEnter_data();
    void listAndEnter();
    void emptyKeywordTableKeepsEntries();
    void followsTheMainWindow();
    void geometryRestoredAfterClose();

private:
    // The main window over the records, the assistant made by its command.
    TformKeywordAssist *open(const QStringList &photos, const QStringList &keywords);
    std::unique_ptr<KeywordWindows> w;
};

void TestFormKeywordAssist::init()
{
    w = std::make_unique<KeywordWindows>();
}

void TestFormKeywordAssist::cleanup()
{
    QCOMPARE(w->prompter.pendingAnswers(), 0);
    w.reset();
    flushDeletes();
    QVERIFY(!FormExists("formKeywordAssist"));
}

TformKeywordAssist *TestFormKeywordAssist::open(const QStringList &photos,
                                                const QStringList &keywords)
{
    for (int i = 0; i < photos.size(); ++i)
        w->addPhoto(QString::number(i + 1).rightJustified(4, '0'), photos[i]);
    for (const QString &keyword : keywords)
        w->db.addKeyword(keyword, 3);
    w->open();
    if (FormExists("formKeywordAssist"))
        return nullptr;
    QTest::mouseClick(w->formMain->bitbtnAssistant, Qt::LeftButton);
    TformKeywordAssist *form = assistant();
    if (form && !QTest::qWaitForWindowExposed(form))
        return nullptr;
    return form;
}

void TestFormKeywordAssist::listAndEnter_data()
{
    QTest::addColumn<QStringList>("table");
    QTest::addColumn<QString>("record");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QStringList>("questions"); // of the post, each answered No
    QTest::addColumn<QString>("written");

    const QStringList acd{"apple", "cat", "dog"};
    QTest::newRow("apple, cat, dog")
        << acd << "dog,cat" << QStringList{"apple", "+cat", "+dog"} << QStringList() << "cat,dog";
    QTest::newRow("keyword the table lacks")
        << acd << "bird" << QStringList{"apple", "+bird", "cat", "dog"}
        << QStringList{newKeywordQuestion("bird")} << "bird";
    QTest::newRow("other letter case")
        << QStringList{"cat"} << "CAT" << QStringList{"+cat"} << QStringList() << "cat";
    QTest::newRow("cat twice") << QStringList{"apple", "cat"} << "cat,cat"
                               << QStringList{"apple", "+cat"} << QStringList() << "cat";
    QTest::newRow("case variants in the table: the first in list order")
        << QStringList{"cat", "Cat", "dog"} << "CAT,dog" << QStringList{"+Cat", "cat", "+dog"}
        << QStringList() << "Cat,dog";
    QTest::newRow("case variants in the table: the exact one wins")
        << QStringList{"CAT", "cat", "dog"} << "cat,dog" << QStringList{"CAT", "+cat", "+dog"}
        << QStringList() << "cat,dog";
    QTest::newRow("empty keyword")
        << QStringList{"cat", "dog"} << "cat,,dog" << QStringList{"+", "+cat", "+dog"}
        << QStringList() << "cat,dog";
    QTest::newRow("blank before a comma stays")
        << QStringList{"cat", "dog"} << " cat ,dog" << QStringList{"cat", "+cat ", "+dog"}
        << QStringList{newKeywordQuestion("cat ")} << "cat ,dog";
}

// The list mirrors the current record; Enter writes the checked entries in list order
// through the Album Query, whose post asks about keywords the Keyword Table lacks.
void TestFormKeywordAssist::listAndEnter()
{
    QFETCH(QStringList, table);
    QFETCH(QString, record);
    QFETCH(QStringList, list);
    QFETCH(QStringList, questions);
    QFETCH(QString, written);
    TformKeywordAssist *form = open({record, "other"}, table);
    QVERIFY(form);
    QCOMPARE(shown(form), list);
    for (int i = 0; i < questions.size(); ++i)
        w->prompter.answer(Prompter::No);
    QTest::mouseClick(form->bitbtnEnter, Qt::LeftButton);
    QCOMPARE(w->prompter.texts(), questions);
    QCOMPARE(w->photoKeywords(), QStringList({"0001=" + written, "0002=other"}));
    QCOMPARE(w->formMain->queryAlbum.state(), DataSet::State::Browse);
}

// With an empty Keyword Table the entries of earlier loads stay, with their check marks.
void TestFormKeywordAssist::emptyKeywordTableKeepsEntries()
{
    TformKeywordAssist *form = open({"x", "y"}, {});
    QVERIFY(form);
    QCOMPARE(shown(form), QStringList{"+x"});
    w->activateMain();
    w->formMain->queryAlbum.next();
    QCOMPARE(shown(form), QStringList({"+x", "+y"}));
    w->prompter.answer(Prompter::No);
    w->prompter.answer(Prompter::No);
    form->bitbtnEnter->click();
    QCOMPARE(w->prompter.texts(), QStringList({newKeywordQuestion("x"), newKeywordQuestion("y")}));
    QCOMPARE(w->photoKeywords(), QStringList({"0001=x", "0002=x,y"}));
}

// Moves the user makes in the main window reload the list; activating the assistant
// reloads it too, dropping check marks not entered. A move while the assistant is the
// active window does not reload. A delete reloads for the record that follows.
void TestFormKeywordAssist::followsTheMainWindow()
{
    TformKeywordAssist *form = open({"cat", "dog", "apple,dog"}, {"apple", "cat", "dog"});
    QVERIFY(form);
    QCOMPARE(shown(form), QStringList({"apple", "+cat", "dog"}));
    form->checklistboxKeywords->item(0)->setCheckState(Qt::Checked); // not entered
    w->activateMain();
    test::activate(form);
    QCOMPARE(shown(form), QStringList({"apple", "+cat", "dog"}));

    Query &album = w->formMain->queryAlbum;
    album.next(); // while the assistant is active
    QCOMPARE(shown(form), QStringList({"apple", "+cat", "dog"}));
    w->activateMain();
    album.next();
    QCOMPARE(shown(form), QStringList({"+apple", "cat", "+dog"}));
    album.prior();
    QCOMPARE(shown(form), QStringList({"apple", "cat", "+dog"}));

    w->db.addKeyword("bird", 1); // read at the next reload
    w->prompter.answer(Prompter::Ok);
    w->formMain->menuFileDeleteClick();
    QCOMPARE(w->photoKeywords(), QStringList({"0001=cat", "0003=apple,dog"}));
    // Reloaded (bird is listed) for the record that is current now.
    const QString current = album.asString("KEYWORD");
    QStringList expected{"apple", "bird", "cat", "dog"};
    for (QString &entry : expected)
        if (current.split(',').contains(entry))
            entry.prepend('+');
    QCOMPARE(shown(form), expected);
}

// Made 240 x 280 in the middle of the screen the first time; after Close (or Esc) the
// next command makes it again where it was and as large as it was.
void TestFormKeywordAssist::geometryRestoredAfterClose()
{
    TformKeywordAssist *form = open({"cat"}, {"cat"});
    QVERIFY(form);
    QCOMPARE(form->size(), QSize(240, 280));
    const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY(qAbs(form->frameGeometry().center().x() - middle.x()) <= 2);
    QVERIFY(qAbs(form->frameGeometry().center().y() - middle.y()) <= 2);
    QTest::mouseClick(w->formMain->bitbtnAssistant, Qt::LeftButton); // no second one
    QCOMPARE(assistant(), form);

    form->move(50, 60);
    form->resize(300, 330);
    QTest::mouseClick(form->bitbtnClose, Qt::LeftButton);
    flushDeletes();
    QVERIFY(!FormExists("formKeywordAssist"));
    const QString key = regutl::formKey(regutl::kSettingsKey, "formKeywordAssist");
    QCOMPARE(regutl::ReadString(key, "Left", ""), QString("50"));
    QCOMPARE(regutl::ReadString(key, "Height", ""), QString("330"));

    w->formMain->menuDisplayKeywordAssist->trigger();
    form = assistant();
    QVERIFY(form);
    QCOMPARE(form->pos(), QPoint(50, 60));
    QCOMPARE(form->size(), QSize(300, 330));
    QCOMPARE(shown(form), QStringList{"+cat"});
    // The buttons stand in the middle of the outer width.
    QCOMPARE(form->bitbtnEnter->x(),
             form->frameGeometry().width() / 2 - form->bitbtnEnter->width() / 2);

    form->move(70, 80);
    QTest::keyClick(form, Qt::Key_Escape);
    flushDeletes();
    QVERIFY(!FormExists("formKeywordAssist"));
    w->formMain->menuDisplayKeywordAssistClick();
    QVERIFY(assistant());
    QCOMPARE(assistant()->pos(), QPoint(70, 80));
    QCOMPARE(assistant()->size(), QSize(300, 330));
}

QTEST_MAIN(TestFormKeywordAssist)
#include "tst_tformkeywordassist.moc"
