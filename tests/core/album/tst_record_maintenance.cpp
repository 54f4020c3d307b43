#include "album/record_maintenance.h"
#include "db/engine_error.h"
#include "db/query.h"
#include "db/table.h"
#include "support/photo_db_fixture.h"
#include "support/scripted_prompter.h"

#include "support/engine_error_text.h"

#include <QtTest>

using namespace pictavo;
using pictavo::test::errorOf;
using pictavo::test::PhotoDbFixture;

namespace {

const QStringList kKeywordRows{"select KEYWORD, COUNT from KEYWORD.DB"};
const QStringList kPhotoRows{"select NAME, KEYWORD, COUNT from PHOTODB.DB"};

QString newKeywordQuestion(const QString &keyword)
{
    return QLatin1Char('"') + keyword +
           QLatin1String("\" is a new keyword. Would you append it into the database?");
}

// The main window's wiring: an album Query whose every post is checked against its own
// keyword table.
struct Album
{
    explicit Album(const PhotoDbFixture &db)
    {
        keywords.setDatabaseName(db.dir());
        keywords.setTableName(QStringLiteral("KEYWORD.DB"));
        keywords.open();
        query.setDatabaseName(db.dir());
        query.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
        query.open();
        query.beforePost = [this](DataSet &album) { CheckNewKeywords(album, keywords, prompter); };
    }

    // The keywords each question was about, read back from the question texts.
    QStringList askedAbout() const
    {
        QStringList asked;
        for (const auto &call : prompter.calls) {
            if (call.kind != Prompter::Kind::Confirmation ||
                call.buttons != (Prompter::Yes | Prompter::No))
                return {QStringLiteral("unexpected box: ") + call.text};
            const QString tail = newKeywordQuestion(QString()).mid(1);
            if (!call.text.startsWith(QLatin1Char('"')) || !call.text.endsWith(tail))
                return {QStringLiteral("unexpected text: ") + call.text};
            asked << call.text.mid(1, call.text.size() - 1 - tail.size());
        }
        return asked;
    }

    ScriptedPrompter prompter;
    Table keywords;
    Query query;
};

} // namespace

Q_DECLARE_METATYPE(QList<Prompter::Button>)

class TestRecordMaintenance : public QObject
{
    Q_OBJECT

private slots:
    void questionText();
    void checkOnPost_data();
    void checkOnPost();
    void checkOnAppend();
    void everyPostIsChecked();
    void longKeywordOfferedWholeStoredCut();
    void closedKeywordTableAbortsPost();
    void countView();
    void countViewAsksAboutNewKeyword();
    void countViewFailureLeavesNoEdit();
};

void TestRecordMaintenance::questionText()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("p"), QStringLiteral("sky"), "1");
    Album album(db);
    album.query.edit();
    album.query.setValue(QStringLiteral("KEYWORD"), QStringLiteral("sea"));
    album.prompter.answer(Prompter::No);
    album.query.post();
    QCOMPARE(album.prompter.calls.size(), 1);
    const ScriptedPrompter::Call &call = album.prompter.last();
    QCOMPARE(call.type, ScriptedPrompter::CallType::Message);
    QCOMPARE(call.kind, Prompter::Kind::Confirmation);
    QCOMPARE(call.buttons, Prompter::Buttons(Prompter::Yes | Prompter::No));
    QCOMPARE(call.text,
             QStringLiteral("\"sea\" is a new keyword. Would you append it into the database?"));
}

void TestRecordMaintenance::checkOnPost_data()
{
    using B = QList<Prompter::Button>;
    QTest::addColumn<QString>("keywordString");
    QTest::addColumn<B>("answers");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QStringList>("keywordRows");
    QTest::addColumn<QString>("postError");

    const auto Y = Prompter::Yes;
    const auto N = Prompter::No;
    // The Keyword Table holds sky|5 before each row.
    QTest::newRow("known only") << "sky" << B{} << QStringList{} << QStringList{"sky|5"} << "";
    QTest::newRow("one new, yes") << "sky,sea" << B{Y} << QStringList{"sea"}
                                  << QStringList{"sea|1", "sky|5"} << "";
    QTest::newRow("one new, no") << "sky,sea" << B{N} << QStringList{"sea"} << QStringList{"sky|5"}
                                 << "";
    QTest::newRow("each new in turn") << "a,sky,b,c" << B{Y, N, Y} << QStringList{"a", "b", "c"}
                                      << QStringList{"a|1", "c|1", "sky|5"} << "";
    QTest::newRow("repeat after yes asks once")
        << "sea,sea" << B{Y} << QStringList{"sea"} << QStringList{"sea|1", "sky|5"} << "";
    QTest::newRow("repeat after no asks again")
        << "sea,sea" << B{N, N} << QStringList{"sea", "sea"} << QStringList{"sky|5"} << "";
    QTest::newRow("letter case counts")
        << "Sky" << B{Y} << QStringList{"Sky"} << QStringList{"Sky|1", "sky|5"} << "";
    QTest::newRow("blank before comma kept")
        << " sea , sky " << B{Y} << QStringList{"sea "} << QStringList{"sea |1", "sky|5"} << "";
    QTest::newRow("trailing comma")
        << "sea," << B{Y} << QStringList{"sea"} << QStringList{"sea|1", "sky|5"} << "";
    QTest::newRow("star is a keyword")
        << "*" << B{Y} << QStringList{"*"} << QStringList{"*|1", "sky|5"} << "";
    // An empty keyword is never in the table, so it is asked about; it cannot be stored.
    QTest::newRow("empty keyword, no")
        << "sky,,sky" << B{N} << QStringList{""} << QStringList{"sky|5"} << "";
    QTest::newRow("empty keyword, yes")
        << "sky,,sky" << B{Y} << QStringList{""} << QStringList{"sky|5"}
        << "Field 'KEYWORD' must have a value.";
    QTest::newRow("keywords before the failure stay")
        << "sea,,sky" << B{Y, Y} << QStringList{"sea", ""} << QStringList{"sea|1", "sky|5"}
        << "Field 'KEYWORD' must have a value.";
    QTest::newRow("blanks only") << "   " << B{N} << QStringList{""} << QStringList{"sky|5"} << "";
    QTest::newRow("empty asks nothing") << "" << B{} << QStringList{} << QStringList{"sky|5"}
                                        << "Field 'KEYWORD' must have a value.";
}

void TestRecordMaintenance::checkOnPost()
{
    QFETCH(QString, keywordString);
    QFETCH(QList<Prompter::Button>, answers);
    QFETCH(QStringList, asked);
    QFETCH(QStringList, keywordRows);
    QFETCH(QString, postError);

    PhotoDbFixture db;
    db.addKeyword(QStringLiteral("sky"), 5);
    db.addPhoto(QString(), QStringLiteral("p"), QStringLiteral("sky"), "1");
    Album album(db);
    for (Prompter::Button button : answers)
        album.prompter.answer(button);
    album.query.edit();
    album.query.setValue(QStringLiteral("KEYWORD"), keywordString);
    QCOMPARE(errorOf([&] { album.query.post(); }), postError);

    QCOMPARE(album.askedAbout(), asked);
    QCOMPARE(album.prompter.pendingAnswers(), 0);
    QCOMPARE(db.rows(kKeywordRows), keywordRows);
    if (postError.isEmpty()) {
        QCOMPARE(album.query.state(), DataSet::State::Browse);
        QCOMPARE(db.rows(kPhotoRows), QStringList{"p|" + keywordString + "|0"});
    } else {
        QCOMPARE(album.query.state(), DataSet::State::Edit);
        QCOMPARE(db.rows(kPhotoRows), QStringList{"p|sky|0"});
    }
    // The keyword table is left browsing, ready for the next post.
    QCOMPARE(album.keywords.state(), DataSet::State::Browse);
}

void TestRecordMaintenance::checkOnAppend()
{
    PhotoDbFixture db;
    Album album(db);
    album.prompter.answer(Prompter::Yes);
    album.query.append();
    album.query.setValue(QStringLiteral("NAME"), QStringLiteral("new"));
    album.query.setValue(QStringLiteral("KEYWORD"), QStringLiteral("beach,sun"));
    album.query.setValue(QStringLiteral("COUNT"), 0);
    album.query.setValue(QStringLiteral("IMAGE_SIZE"), 1);
    album.query.setBlob(QStringLiteral("IMAGE"), "x");
    album.prompter.answer(Prompter::No);
    album.query.post();
    QCOMPARE(album.askedAbout(), QStringList({"beach", "sun"}));
    QCOMPARE(db.rows(kKeywordRows), QStringList{"beach|1"});
    QCOMPARE(db.rows(kPhotoRows), QStringList{"new|beach,sun|0"});
}

void TestRecordMaintenance::everyPostIsChecked()
{
    // A keyword declined once is asked about at every later post of a record carrying it,
    // even when the post changes another field.
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("p"), QStringLiteral("sea"), "1");
    Album album(db);
    album.prompter.answer(Prompter::No);
    album.query.edit();
    album.query.setValue(QStringLiteral("NAME"), QStringLiteral("q"));
    album.query.post();
    album.prompter.answer(Prompter::Yes);
    album.query.edit();
    album.query.setValue(QStringLiteral("MEMO"), QStringLiteral("memo"));
    album.query.post();
    album.query.edit();
    album.query.setValue(QStringLiteral("NAME"), QStringLiteral("r"));
    album.query.post();
    QCOMPARE(album.askedAbout(), QStringList({"sea", "sea"}));
    QCOMPARE(db.rows(kKeywordRows), QStringList{"sea|1"});
    QCOMPARE(db.rows(kPhotoRows), QStringList{"r|sea|0"});
}

void TestRecordMaintenance::longKeywordOfferedWholeStoredCut()
{
    const QString long40 = QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyzABCD");
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("p"), QStringLiteral("sky"), "1");
    Album album(db);
    album.prompter.answer(Prompter::Yes);
    album.query.edit();
    album.query.setValue(QStringLiteral("KEYWORD"), long40 + QStringLiteral(",sky"));
    album.prompter.answer(Prompter::Yes);
    album.query.post();
    QCOMPARE(album.askedAbout(), QStringList({long40, "sky"}));
    QCOMPARE(db.rows(kKeywordRows), QStringList({long40.left(32) + "|1", "sky|1"}));
    // Later posts look it up by the same 32 characters and ask nothing.
    album.query.edit();
    album.query.setValue(QStringLiteral("NAME"), QStringLiteral("q"));
    album.query.post();
    QCOMPARE(album.prompter.calls.size(), 2);
    QCOMPARE(db.rows(kPhotoRows), QStringList{"q|" + long40 + ",sky|0"});
}

void TestRecordMaintenance::closedKeywordTableAbortsPost()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("p"), QStringLiteral("sky"), "1");
    Album album(db);
    album.keywords.close();
    album.query.edit();
    album.query.setValue(QStringLiteral("KEYWORD"), QStringLiteral("sea"));
    QCOMPARE(errorOf([&] { album.query.post(); }),
             QStringLiteral("Cannot perform this operation on a closed dataset."));
    QCOMPARE(album.query.state(), DataSet::State::Edit);
    QCOMPARE(album.query.asString(QStringLiteral("KEYWORD")), QStringLiteral("sea"));
    QCOMPARE(album.prompter.calls.size(), 0);
    QCOMPARE(db.rows(kPhotoRows), QStringList{"p|sky|0"});
    // The record still being edited posts once the table is open again.
    album.keywords.open();
    album.prompter.answer(Prompter::Yes);
    album.query.post();
    QCOMPARE(db.rows(kPhotoRows), QStringList{"p|sea|0"});
    QCOMPARE(db.rows(kKeywordRows), QStringList{"sea|1"});
}

void TestRecordMaintenance::countView()
{
    PhotoDbFixture db;
    db.addKeyword(QStringLiteral("sky"), 2);
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("sky"), "1");
    db.addPhoto(QString(), QStringLiteral("b"), QStringLiteral("sky"), "2");
    Album album(db);
    album.query.moveTo(1);
    CountView(album.query);
    CountView(album.query);
    album.query.first();
    CountView(album.query);
    QCOMPARE(album.query.state(), DataSet::State::Browse);
    QCOMPARE(album.query.recNo(), 0);
    QCOMPARE(db.rows(kPhotoRows), QStringList({"a|sky|1", "b|sky|2"}));
    QCOMPARE(db.rows(kKeywordRows), QStringList{"sky|2"});
    QCOMPARE(album.prompter.calls.size(), 0);
}

void TestRecordMaintenance::countViewAsksAboutNewKeyword()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("sky,sea"), "1");
    Album album(db);
    album.prompter.answer(Prompter::No);
    album.prompter.answer(Prompter::Yes);
    CountView(album.query);
    QCOMPARE(album.askedAbout(), QStringList({"sky", "sea"}));
    QCOMPARE(db.rows(kPhotoRows), QStringList{"a|sky,sea|1"});
    QCOMPARE(db.rows(kKeywordRows), QStringList{"sea|1"});
}

// The user started no edit: a count that cannot be written leaves none behind.
void TestRecordMaintenance::countViewFailureLeavesNoEdit()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("sky"), "1");
    Album album(db);
    album.keywords.close();
    QCOMPARE(errorOf([&] { CountView(album.query); }),
             QStringLiteral("Cannot perform this operation on a closed dataset."));
    QCOMPARE(album.query.state(), DataSet::State::Browse);
    QCOMPARE(album.query.asInteger(QStringLiteral("COUNT")), 0);
    QCOMPARE(db.rows(kPhotoRows), QStringList{"a|sky|0"});
}

QTEST_GUILESS_MAIN(TestRecordMaintenance)
#include "tst_record_maintenance.moc"
