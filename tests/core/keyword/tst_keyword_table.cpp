#include "db/engine_error.h"
#include "db/table.h"
#include "keyword/keyword_table.h"
#include "support/photo_db_fixture.h"

#include "support/engine_error_text.h"

#include <QtTest>

using namespace pictavo;
using pictavo::test::errorOf;
using pictavo::test::PhotoDbFixture;

namespace {

void openKeywords(Table &table, const QString &dir)
{
    table.setDatabaseName(dir);
    table.setTableName(QStringLiteral("KEYWORD.DB"));
    table.open();
}

const QStringList kKeywordRows{"select KEYWORD, COUNT from KEYWORD.DB"};

} // namespace

class TestKeywordTable : public QObject
{
    Q_OBJECT

private slots:
    void findKeyword_data();
    void findKeyword();
    void findStandsOnRow();
    void longKeywordKnownByFirst32();
    void addKeyword();
    void addFailures_data();
    void addFailures();
    void closedTable();
    void readInKeyOrder();
    void readOpensClosedTable();
};

void TestKeywordTable::findKeyword_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<bool>("found");

    QTest::newRow("exact") << "Sky" << true;
    QTest::newRow("small letters") << "sky" << false;
    QTest::newRow("capitals") << "SKY" << false;
    QTest::newRow("prefix") << "Sk" << false;
    QTest::newRow("longer") << "Skyline" << false;
    QTest::newRow("trailing blank counts") << "Sky " << false;
    QTest::newRow("blank inside") << "New York" << true;
    QTest::newRow("star") << "*" << true;
    QTest::newRow("japanese") << QStringLiteral("猫") << true;
    QTest::newRow("like pattern is text") << "%" << false;
    QTest::newRow("double quote") << "say \"hi\"" << true;
    QTest::newRow("empty") << "" << false;
}

void TestKeywordTable::findKeyword()
{
    QFETCH(QString, keyword);
    QFETCH(bool, found);
    PhotoDbFixture db;
    for (const char *stored : {"*", "New York", "Sky", "say \"hi\""})
        db.addKeyword(QString::fromUtf8(stored), 3);
    db.addKeyword(QStringLiteral("猫"), 1);
    Table table;
    openKeywords(table, db.dir());
    QCOMPARE(FindKeyword(table, keyword), found);
    if (found)
        QCOMPARE(table.asString(QStringLiteral("KEYWORD")), keyword);
}

void TestKeywordTable::findStandsOnRow()
{
    PhotoDbFixture db;
    db.addKeyword(QStringLiteral("a"), 1);
    db.addKeyword(QStringLiteral("b"), 2);
    db.addKeyword(QStringLiteral("c"), 3);
    Table table;
    openKeywords(table, db.dir());
    QVERIFY(FindKeyword(table, QStringLiteral("c")));
    QCOMPARE(table.recNo(), 2);
    QCOMPARE(table.asInteger(QStringLiteral("COUNT")), 3);
    QVERIFY(FindKeyword(table, QStringLiteral("b")));
    QCOMPARE(table.recNo(), 1);
    // A miss leaves the table where it stood.
    QVERIFY(!FindKeyword(table, QStringLiteral("z")));
    QCOMPARE(table.recNo(), 1);
    QCOMPARE(table.asString(QStringLiteral("KEYWORD")), QStringLiteral("b"));
}

void TestKeywordTable::longKeywordKnownByFirst32()
{
    const QString long40 = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789WXYZ");
    const QString first32 = long40.left(32);
    QCOMPARE(long40.size(), 40);

    PhotoDbFixture db;
    db.addKeyword(first32, 5);
    Table table;
    openKeywords(table, db.dir());
    QVERIFY(FindKeyword(table, long40));
    QCOMPARE(table.asString(QStringLiteral("KEYWORD")), first32);
    // Any tail beyond the 32nd character is ignored, but the first 32 must match.
    QVERIFY(FindKeyword(table, first32 + QStringLiteral("something else")));
    QVERIFY(!FindKeyword(table, long40.left(31)));

    PhotoDbFixture other;
    Table fresh;
    openKeywords(fresh, other.dir());
    AddKeyword(fresh, long40, 1);
    QCOMPARE(other.rows(kKeywordRows), QStringList{first32 + QStringLiteral("|1")});
    QVERIFY(FindKeyword(fresh, long40));
    // The limit counts characters, not bytes or UTF-16 units.
    const QString wide = QString(40, QChar(0x732B));
    AddKeyword(fresh, wide, 2);
    QVERIFY(FindKeyword(fresh, wide));
    QCOMPARE(fresh.asString(QStringLiteral("KEYWORD")), wide.left(32));
    QString astral;
    for (int i = 0; i < 40; ++i)
        astral += QStringLiteral("\U0001F5FB");
    AddKeyword(fresh, astral, 3);
    QVERIFY(FindKeyword(fresh, astral));
    QCOMPARE(fresh.asString(QStringLiteral("KEYWORD")), astral.left(64));
}

void TestKeywordTable::addKeyword()
{
    PhotoDbFixture db;
    db.addKeyword(QStringLiteral("sky"), 7);
    Table table;
    openKeywords(table, db.dir());
    AddKeyword(table, QStringLiteral("Sky"), 1);
    AddKeyword(table, QStringLiteral("sea"), 0);
    AddKeyword(table, QStringLiteral(" blank "), 2147483647);
    QCOMPARE(table.state(), DataSet::State::Browse);
    QCOMPARE(table.asString(QStringLiteral("KEYWORD")), QStringLiteral(" blank "));
    QCOMPARE(db.rows(kKeywordRows), QStringList({" blank |2147483647", "Sky|1", "sea|0", "sky|7"}));
    QVERIFY(FindKeyword(table, QStringLiteral("Sky")));
    QVERIFY(FindKeyword(table, QStringLiteral("sky")));
    QCOMPARE(table.asInteger(QStringLiteral("COUNT")), 7);
}

void TestKeywordTable::addFailures_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("message");

    QTest::newRow("already there") << "sky" << qint64(1) << "Key violation.";
    QTest::newRow("same first 32")
        << QStringLiteral("x").repeated(32) + "tail" << qint64(1) << "Key violation.";
    QTest::newRow("empty") << "" << qint64(1) << "Field 'KEYWORD' must have a value.";
    QTest::newRow("count out of range")
        << "new" << qint64(4294967296) << "'4294967296' is not a valid integer value.";
}

void TestKeywordTable::addFailures()
{
    QFETCH(QString, keyword);
    QFETCH(qint64, count);
    QFETCH(QString, message);
    PhotoDbFixture db;
    db.addKeyword(QStringLiteral("sky"), 4);
    db.addKeyword(QStringLiteral("x").repeated(32), 9);
    const QStringList before = db.rows(kKeywordRows);
    Table table;
    openKeywords(table, db.dir());
    QVERIFY(FindKeyword(table, QStringLiteral("sky")));
    QCOMPARE(errorOf([&] { AddKeyword(table, keyword, count); }), message);
    QCOMPARE(db.rows(kKeywordRows), before);
    // The failed row is not left pending: the table browses and the next lookup and
    // append work.
    QCOMPARE(table.state(), DataSet::State::Browse);
    QCOMPARE(table.recordCount(), 2);
    QVERIFY(FindKeyword(table, QStringLiteral("sky")));
    AddKeyword(table, QStringLiteral("sea"), 1);
    QCOMPARE(db.rows(kKeywordRows).size(), 3);
}

void TestKeywordTable::closedTable()
{
    PhotoDbFixture db;
    db.addKeyword(QStringLiteral("sky"), 1);
    Table table;
    table.setDatabaseName(db.dir());
    table.setTableName(QStringLiteral("KEYWORD.DB"));
    const QString closed = QStringLiteral("Cannot perform this operation on a closed dataset.");
    QCOMPARE(errorOf([&] { FindKeyword(table, QStringLiteral("sky")); }), closed);
    QCOMPARE(errorOf([&] { AddKeyword(table, QStringLiteral("sea"), 1); }), closed);
    QCOMPARE(db.rows(kKeywordRows), QStringList{"sky|1"});
}

void TestKeywordTable::readInKeyOrder()
{
    PhotoDbFixture db;
    // Added out of order; the primary index orders by binary value of the text.
    for (const QString &keyword :
         {QStringLiteral("b"), QStringLiteral("B"), QStringLiteral("a"), QStringLiteral("Z"),
          QStringLiteral("A"), QStringLiteral("é"), QStringLiteral("*"), QStringLiteral("a b"),
          QStringLiteral("ab"), QStringLiteral("猫"), QStringLiteral("10"), QStringLiteral("9")})
        db.addKeyword(keyword, 1);
    Table table;
    openKeywords(table, db.dir());
    const QStringList expected{"*",
                               "10",
                               "9",
                               "A",
                               "B",
                               "Z",
                               "a",
                               "a b",
                               "ab",
                               "b",
                               QStringLiteral("é"),
                               QStringLiteral("猫")};
    QCOMPARE(readAllKeywords(table), expected);
    QVERIFY(table.active());
    // A second read gives the same, wherever the table stood.
    QVERIFY(FindKeyword(table, QStringLiteral("B")));
    QCOMPARE(readAllKeywords(table), expected);
}

void TestKeywordTable::readOpensClosedTable()
{
    PhotoDbFixture db;
    Table table;
    table.setDatabaseName(db.dir());
    table.setTableName(QStringLiteral("KEYWORD.DB"));
    QCOMPARE(readAllKeywords(table), QStringList());
    QVERIFY(table.active());
    AddKeyword(table, QStringLiteral("sea"), 1);
    QCOMPARE(readAllKeywords(table), QStringList{"sea"});
}

QTEST_GUILESS_MAIN(TestKeywordTable)
#include "tst_keyword_table.moc"
