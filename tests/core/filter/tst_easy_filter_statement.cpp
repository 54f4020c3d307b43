#include "db/query.h"
#include "filter/easy_filter_statement.h"
#include "support/photo_db_fixture.h"

#include <QtTest>

using namespace pictavo;
using pictavo::test::PhotoDbFixture;

Q_DECLARE_METATYPE(pictavo::EasyFilterEntries)

namespace {

// Entries built up one setting at a time, so each table row reads like the window.
struct Entries
{
    EasyFilterEntries e;
    Entries &prefix(const QString &text) { return e.prefix = text, *this; }
    Entries &name(const QString &text) { return e.name = text, *this; }
    Entries &keyword(int box, const QString &text, bool isNot = false)
    {
        e.keyword[box - 1] = text;
        e.notKeyword[box - 1] = isNot;
        return *this;
    }
    Entries &notBox(int box) { return e.notKeyword[box - 1] = true, *this; }
    Entries &ticked(const QStringList &items) { return e.tickedKeywords = items, *this; }
    Entries &orJoin() { return e.useAnd = false, *this; }
    Entries &notAll() { return e.notAll = true, *this; }
    operator EasyFilterEntries() const { return e; }
};

const QString kFirst = QStringLiteral("SELECT * FROM PHOTODB.DB ");
const QString kLast = QStringLiteral(";");

QStringList where(const QString &condition)
{
    return {kFirst, QStringLiteral("WHERE ") + condition, kLast};
}

} // namespace

// The statement of the easy filter, line by line, and what it selects.
class TestEasyFilterStatement : public QObject
{
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
    void selects_data();
    void selects();
    void anyTypedTextIsMatchedAsItself();
};

void TestEasyFilterStatement::lines_data()
{
    QTest::addColumn<EasyFilterEntries>("entries");
    QTest::addColumn<QStringList>("expected");
    const QStringList everything{kFirst, kLast};

    QTest::newRow("worked example 1")
        << EasyFilterEntries(Entries().prefix("IMG").keyword(1, "girl").keyword(2, "sea", true))
        << where(R"(PREFIX LIKE "IMG%" AND KEYWORD LIKE "%girl%" AND NOT(KEYWORD LIKE "%sea%"))");
    QTest::newRow("worked example 2")
        << EasyFilterEntries(Entries().keyword(1, "cat").ticked({"bird", "dog"}).orJoin().notAll())
        << where(R"(NOT(KEYWORD LIKE "%cat%" OR KEYWORD LIKE "%bird%" OR KEYWORD LIKE "%dog%"))");
    QTest::newRow("nothing entered, AND") << EasyFilterEntries(Entries()) << everything;
    QTest::newRow("nothing entered, OR and NOT on")
        << EasyFilterEntries(Entries().orJoin().notAll()) << everything;
    QTest::newRow("NOT boxes ticked beside empty boxes form nothing")
        << EasyFilterEntries(Entries().notBox(1).notBox(2).notBox(3).notAll()) << everything;
    QTest::newRow("name box only")
        << EasyFilterEntries(Entries().name("A")) << where(R"(NAME LIKE "A%")");
    QTest::newRow("typed and also ticked gives two terms")
        << EasyFilterEntries(Entries().keyword(1, "sea").ticked({"sea"}))
        << where(R"(KEYWORD LIKE "%sea%" AND KEYWORD LIKE "%sea%")");
    QTest::newRow("NOT binds one term under OR")
        << EasyFilterEntries(
               Entries().keyword(1, "a").keyword(2, "x", true).keyword(3, "b").orJoin())
        << where(R"(KEYWORD LIKE "%a%" OR NOT(KEYWORD LIKE "%x%") OR KEYWORD LIKE "%b%")");
    QTest::newRow("overall NOT wraps a single term")
        << EasyFilterEntries(Entries().prefix("A").notAll()) << where(R"(NOT(PREFIX LIKE "A%"))");
    QTest::newRow("overall NOT over a NOT term")
        << EasyFilterEntries(Entries().keyword(2, "x", true).notAll())
        << where(R"(NOT(NOT(KEYWORD LIKE "%x%")))");
    QTest::newRow("a lone blank is a prefix")
        << EasyFilterEntries(Entries().prefix(" ")) << where(R"(PREFIX LIKE " %")");
    QTest::newRow("blanks are not trimmed")
        << EasyFilterEntries(Entries().keyword(3, " sea ")) << where(R"(KEYWORD LIKE "% sea %")");
    QTest::newRow("every source in order")
        << EasyFilterEntries(Entries()
                                 .keyword(3, "k3")
                                 .ticked({"t1", "t2"})
                                 .keyword(1, "k1", true)
                                 .name("N")
                                 .prefix("P")
                                 .keyword(2, "k2"))
        << where(R"(PREFIX LIKE "P%" AND NAME LIKE "N%" AND NOT(KEYWORD LIKE "%k1%") AND )"
                 R"(KEYWORD LIKE "%k2%" AND KEYWORD LIKE "%k3%" AND KEYWORD LIKE "%t1%" AND )"
                 R"(KEYWORD LIKE "%t2%")");
    QTest::newRow("wildcards kept")
        << EasyFilterEntries(Entries().prefix("IMG_0%").keyword(1, "s_a"))
        << where(R"(PREFIX LIKE "IMG_0%%" AND KEYWORD LIKE "%s_a%")");
    QTest::newRow("double quotes doubled everywhere")
        << EasyFilterEntries(
               Entries().prefix("a\"").name("\"n").keyword(1, "say \"hi\"").ticked({"\""}))
        << where(R"(PREFIX LIKE "a""%" AND NAME LIKE """n%" AND KEYWORD LIKE "%say ""hi""%" AND )"
                 R"(KEYWORD LIKE "%""%")");
    QTest::newRow("single quote left alone")
        << EasyFilterEntries(Entries().keyword(1, "it's")) << where(R"(KEYWORD LIKE "%it's%")");
}

void TestEasyFilterStatement::lines()
{
    QFETCH(EasyFilterEntries, entries);
    QFETCH(QStringList, expected);
    QCOMPARE(buildEasyFilterStatement(entries), expected);
}

void TestEasyFilterStatement::selects_data()
{
    QTest::addColumn<EasyFilterEntries>("entries");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("everything") << EasyFilterEntries(Entries().orJoin().notAll())
                                << QStringList{"0007", "0001", "0002", "0003", "0004", "q1"};
    QTest::newRow("worked example 1")
        << EasyFilterEntries(Entries().prefix("IMG").keyword(1, "girl").keyword(2, "sea", true))
        << QStringList{"0002"};
    QTest::newRow("letter case counts")
        << EasyFilterEntries(Entries().keyword(1, "Sea")) << QStringList{"0004"};
    QTest::newRow("a keyword inside a longer one")
        << EasyFilterEntries(Entries().keyword(1, "sea")) << QStringList{"0007", "0001", "0003"};
    QTest::newRow("OR under overall NOT")
        << EasyFilterEntries(Entries().ticked({"girl", "sea"}).orJoin().notAll())
        << QStringList{"0004", "q1"};
    QTest::newRow("underscore matches one letter")
        << EasyFilterEntries(Entries().prefix("_SC")) << QStringList{"0007"};
    QTest::newRow("typed double quotes match themselves")
        << EasyFilterEntries(Entries().keyword(1, "say \"hi\"")) << QStringList{"q1"};
    QTest::newRow("a lone double quote") << EasyFilterEntries(Entries().keyword(2, "\"").notAll())
                                         << QStringList{"0007", "0001", "0002", "0003", "0004"};
    QTest::newRow("prefix and name")
        << EasyFilterEntries(Entries().prefix("P").name("q")) << QStringList{"q1"};
}

void TestEasyFilterStatement::selects()
{
    QFETCH(EasyFilterEntries, entries);
    QFETCH(QStringList, names);
    PhotoDbFixture db;
    const QByteArray image("\xFF\xD8 not decoded here");
    db.addPhoto("IMG", "0001", "girl,seaside", image);
    db.addPhoto("IMG", "0002", "girl", image);
    db.addPhoto("IMG", "0003", "sea", image);
    db.addPhoto("IMG", "0004", "Sea", image);
    db.addPhoto("DSC", "0007", "sea,sky", image);
    db.addPhoto("P", "q1", "say \"hi\",tree", image);

    Query query;
    query.setDatabaseName(db.dir());
    query.setSql(buildEasyFilterStatement(entries));
    query.open();
    QStringList found;
    for (query.first(); !query.eof(); query.next())
        found << query.asString(QStringLiteral("NAME"));
    QCOMPARE(found, names);
}

// Whatever is typed (quotes, semicolons, comment marks, parameter marks) the statement
// opens, and a keyword without wildcards selects exactly the records whose Keyword
// String contains it, letter case counting.
void TestEasyFilterStatement::anyTypedTextIsMatchedAsItself()
{
    const QString alphabet = QStringLiteral("ab\"';-/*():?\\ \u00e4Aq");
    QRandomGenerator random(8122026);
    const auto text = [&](int maxLength) {
        QString t;
        const int length = 1 + random.bounded(maxLength);
        for (int i = 0; i < length; ++i)
            t += alphabet[random.bounded(int(alphabet.size()))];
        return t;
    };
    PhotoDbFixture db;
    QStringList keywords;
    for (int i = 0; i < 40; ++i) {
        keywords << text(8);
        db.addPhoto(QString(), QStringLiteral("n%1").arg(i), keywords.last(), "x");
    }
    for (int round = 0; round < 300; ++round) {
        // Short texts, so that many of them are found.
        const QString typed = round % 2 ? text(2) : keywords[random.bounded(40)].mid(1, 3);
        Query query;
        query.setDatabaseName(db.dir());
        query.setSql(buildEasyFilterStatement(Entries().keyword(1, typed)));
        query.open();
        QStringList found;
        for (query.first(); !query.eof(); query.next())
            found << query.asString(QStringLiteral("KEYWORD"));
        QStringList expected;
        for (const QString &keyword : keywords)
            if (keyword.contains(typed))
                expected << keyword;
        found.sort();
        expected.sort();
        QVERIFY2(found == expected, qPrintable(typed));
    }
}

QTEST_GUILESS_MAIN(TestEasyFilterStatement)
#include "tst_easy_filter_statement.moc"
