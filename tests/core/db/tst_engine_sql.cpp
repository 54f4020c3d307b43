#include "db/database.h"
#include "db/engine_error.h"
#include "db/query.h"
#include "db/schema.h"
#include "db/statement_watcher.h"
#include "db/table.h"
#include "support/engine_error_text.h"
#include "support/photo_db_fixture.h"

#include <QtTest>
#include <sqlite3.h>

using namespace pictavo;
using pictavo::test::errorOf;
using pictavo::test::patternBytes;
using pictavo::test::PhotoDbFixture;

namespace {

// Says stop at its stopAt-th question, after trying to open another query meanwhile.
struct Watcher : StatementWatcher
{
    bool keepGoing(std::chrono::milliseconds) override
    {
        inside = errorOf([this] { other.open(); });
        return ++asked != stopAt;
    }
    void finished() override { ++ended; }
    int stopAt = 3, asked = 0, ended = 0;
    Query other;
    QString inside;
};

} // namespace

// Every statement the program writes or shows as an example, run on a real database.
class TestEngineSql : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void statements_data();
    void statements();
    void albumQueryFields();
    void sizeParameter();
    void workTable();
    void readOnlyResults();
    void compoundResultsListPhotosBySize();
    void nestedSourcesRunAsWritten();
    void readOnlyResultsHandOutTheirPhotos_data();
    void readOnlyResultsHandOutTheirPhotos();
    void refusedStatementsChangeNothing_data();
    void refusedStatementsChangeNothing();
    void stoppedStatementBringsBackThePreviousSet();

private:
    QStringList column(const QStringList &sql, const QString &field) const;
    std::unique_ptr<PhotoDbFixture> m_db;
};

void TestEngineSql::initTestCase()
{
    m_db = std::make_unique<PhotoDbFixture>();
    // SERIAL 1..5; primary order is (null,d) (DSC,c) (IMG,a,2) (IMG,a,5) (IMG,b,1).
    m_db->addPhoto(QStringLiteral("IMG"), QStringLiteral("b"), QStringLiteral("girl,sea"),
                   patternBytes(300, 1));
    m_db->addPhoto(QStringLiteral("IMG"), QStringLiteral("a"), QStringLiteral("girl"),
                   patternBytes(400, 2));
    m_db->addPhoto(QStringLiteral("DSC"), QStringLiteral("c"), QStringLiteral("Sea,x"),
                   patternBytes(500, 3));
    m_db->addPhoto(QString(), QStringLiteral("d"), QStringLiteral("x"), patternBytes(300, 4));
    m_db->addPhoto(QStringLiteral("IMG"), QStringLiteral("a"), QStringLiteral("boy"),
                   patternBytes(600, 5));
    m_db->addKeyword(QStringLiteral("sea"), 1);
    m_db->addKeyword(QStringLiteral("girl"), 2);
    m_db->addKeyword(QStringLiteral("Sea"), 1);
    m_db->addKeyword(QStringLiteral("x"), 2);
}

QStringList TestEngineSql::column(const QStringList &sql, const QString &field) const
{
    Query query;
    query.setDatabaseName(m_db->dir());
    query.setSql(sql);
    query.open();
    QStringList values;
    for (query.first(); !query.eof(); query.next())
        values << query.asString(field);
    return values;
}

void TestEngineSql::statements_data()
{
    QTest::addColumn<QStringList>("sql");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("expected");
    const QStringList keyOrder{"4", "3", "2", "5", "1"};
    QTest::newRow("album") << QStringList{"select * from PHOTODB.DB ;"} << "SERIAL" << keyOrder;
    QTest::newRow("reset") << QStringList{"select * from PHOTODB.DB;"} << "SERIAL" << keyOrder;
    QTest::newRow("upper case") << QStringList{"SELECT * FROM PHOTODB.DB;"} << "SERIAL" << keyOrder;
    QTest::newRow("lower-case file name")
        << QStringList{"select * from photodb.db where KEYWORD like \"%girl%\";"} << "SERIAL"
        << QStringList{"2", "1"};
    QTest::newRow("serial lines") << QStringList{"SELECT * FROM PHOTODB.DB WHERE SERIAL=", "5", ";"}
                                  << "KEYWORD" << QStringList{"boy"};
    QTest::newRow("easy filter") << QStringList{"SELECT * FROM PHOTODB.DB ",
                                                "WHERE PREFIX LIKE \"IMG%\" AND KEYWORD LIKE "
                                                "\"%girl%\" AND NOT(KEYWORD LIKE \"%sea%\")",
                                                ";"}
                                 << "SERIAL" << QStringList{"2"};
    QTest::newRow("double not") << QStringList{"SELECT * FROM PHOTODB.DB ",
                                               "WHERE NOT(NOT(KEYWORD LIKE \"%x%\"))", ";"}
                                << "NAME" << QStringList{"d", "c"};
    // A comment ends a select item or stands anywhere between words.
    QTest::newRow("comments")
        << QStringList{"select NAME, SERIAL -- the record's number", "from /* the photos */",
                       "PHOTODB.DB where KEYWORD like \"%girl%\" -- girls only", ";"}
        << "SERIAL" << QStringList{"2", "1"};
    QTest::newRow("comment after a computed item")
        << QStringList{"select upper(NAME) as N -- shouted", "from PHOTODB.DB where SERIAL=3;"}
        << "N" << QStringList{"C"};
    QTest::newRow("like counts letter case")
        << QStringList{"select * from PHOTODB.DB where KEYWORD like \"%Sea%\""} << "SERIAL"
        << QStringList{"3"};
    QTest::newRow("like lower case")
        << QStringList{"select * from PHOTODB.DB where KEYWORD like \"%sea%\""} << "SERIAL"
        << QStringList{"1"};
    QTest::newRow("underscore wildcard")
        << QStringList{"select * from PHOTODB.DB where KEYWORD like \"_\""} << "SERIAL"
        << QStringList{"4"};
    QTest::newRow("keyword column") << QStringList{"select KEYWORD from PHOTODB.DB;"} << "KEYWORD"
                                    << QStringList{"x", "Sea,x", "girl", "boy", "girl,sea"};
    QTest::newRow("keyword table") << QStringList{"select * from KEYWORD.DB;"} << "KEYWORD"
                                   << QStringList{"Sea", "girl", "sea", "x"};
    QTest::newRow("keywords by count")
        << QStringList{"select KEYWORD,KEYWORD.DB.\"COUNT\" from KEYWORD.DB order by "
                       "KEYWORD.DB.\"COUNT\" desc,KEYWORD;"}
        << "KEYWORD" << QStringList{"girl", "x", "Sea", "sea"};
    QTest::newRow("single-quoted constant")
        << QStringList{"select * from PHOTODB.DB where NAME='a'"} << "SERIAL"
        << QStringList{"2", "5"};
    QTest::newRow("explicit order") << QStringList{"select * from PHOTODB.DB order by SERIAL desc"}
                                    << "SERIAL" << QStringList{"5", "4", "3", "2", "1"};
    QTest::newRow("order before limit")
        << QStringList{"select * from PHOTODB.DB limit 2"} << "SERIAL" << QStringList{"4", "3"};
    QTest::newRow("alias")
        << QStringList{"select p.NAME as N from PHOTODB.DB p where p.PREFIX=\"IMG\""} << "N"
        << QStringList{"a", "a", "b"};
    QTest::newRow("quoted table") << QStringList{"select * from \"photodb.DB\" where SERIAL>3"}
                                  << "SERIAL" << QStringList{"4", "5"};
}

void TestEngineSql::statements()
{
    QFETCH(QStringList, sql);
    QFETCH(QString, field);
    QFETCH(QStringList, expected);
    QCOMPARE(column(sql, field), expected);
}

void TestEngineSql::albumQueryFields()
{
    Query query;
    query.setDatabaseName(m_db->dir());
    query.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    query.open();
    QStringList names;
    for (int f = 0; f < query.fieldCount(); ++f)
        names << query.field(f).name;
    QCOMPARE(names, QStringList({"PREFIX", "NAME", "EXT", "SERIAL", "KEYWORD", "COUNT",
                                 "IMAGE_SIZE", "MEMO", "IMAGE", "THUMBNAIL"}));
    QVERIFY(query.isLive());
    query.last();
    QCOMPARE(query.asInteger(QStringLiteral("SERIAL")), 1);
    QCOMPARE(query.blobSize(QStringLiteral("IMAGE")), 300);
    QCOMPARE(query.readBlob(QStringLiteral("IMAGE")), patternBytes(300, 1));
    QVERIFY(query.isNull(QStringLiteral("THUMBNAIL")));
    QVERIFY(query.readBlob(QStringLiteral("THUMBNAIL")).isEmpty());
    QVERIFY(query.isNull(QStringLiteral("MEMO")));
}

void TestEngineSql::sizeParameter()
{
    Query query;
    query.setDatabaseName(m_db->dir());
    query.setSql({"select *", "from PhotoDB.DB", "where IMAGE_SIZE=:SIZE", ";"});
    try {
        query.open();
        QFAIL("opened without a value for SIZE");
    } catch (const EngineError &error) {
        QCOMPARE(error.text(), QStringLiteral("Parameter 'SIZE' has no value."));
    }
    query.setParam(QStringLiteral("SIZE"), 300);
    query.open();
    QCOMPARE(query.recordCount(), 2);
    QCOMPARE(query.asInteger(QStringLiteral("SERIAL")), 4);
    query.next();
    QCOMPARE(query.readBlob(QStringLiteral("IMAGE")), patternBytes(300, 1));
}

void TestEngineSql::workTable()
{
    Table work;
    work.setDatabaseName(m_db->dir());
    work.setTableName(QStringLiteral("work.db"));
    work.createTable({{QStringLiteral("KEYWORD"), FieldType::String, 32, true}}, {});
    work.open();
    for (const char *keyword : {"k", "COUNT", "k", "K", "say \"hi\""}) {
        work.append();
        work.setValue(QStringLiteral("KEYWORD"), QString::fromUtf8(keyword));
        work.post();
    }
    work.close();
    QCOMPARE(column({"select distinct KEYWORD from \"WORK.DB\";"}, "KEYWORD"),
             QStringList({"k", "COUNT", "K", "say \"hi\""}));
    QCOMPARE(column({"select KEYWORD from \"WORK.DB\" where KEYWORD=\"k\";"}, "KEYWORD").size(), 2);
    // A double-quoted value is a constant even when it spells a column name.
    QCOMPARE(column({"select KEYWORD from \"WORK.DB\" where KEYWORD=\"COUNT\";"}, "KEYWORD"),
             QStringList{"COUNT"});
    QCOMPARE(
        column({"select KEYWORD from \"WORK.DB\" where KEYWORD=\"say \"\"hi\"\"\";"}, "KEYWORD"),
        QStringList{"say \"hi\""});
    work.deleteTable();
    QVERIFY(!QFileInfo::exists(m_db->dir() + QStringLiteral("/work.db")));
}

void TestEngineSql::readOnlyResultsHandOutTheirPhotos_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("fields");
    QTest::addColumn<QList<int>>("serials"); // of the records, in order
    const QString like = QStringLiteral("P.KEYWORD like \"%\" || K.KEYWORD || \"%\"");
    QTest::newRow("distinct, key selected")
        << "select distinct * from PHOTODB.DB order by SERIAL desc" << 10
        << QList<int>{5, 4, 3, 2, 1};
    QTest::newRow("join: a photo once per keyword it matches")
        << "select P.SERIAL, P.IMAGE, K.KEYWORD from PHOTODB.DB P, KEYWORD.DB K where " + like +
               " order by P.SERIAL, K.KEYWORD"
        << 3 << QList<int>{1, 1, 2, 3, 3, 4};
    QTest::newRow("distinct join, key selected")
        << "select distinct P.* from PHOTODB.DB P, KEYWORD.DB K where " + like +
               " order by P.SERIAL"
        << 10 << QList<int>{1, 2, 3, 4};
    QTest::newRow("union, key selected")
        << "select * from PHOTODB.DB where SERIAL <= 2 union select * from PHOTODB.DB "
           "where SERIAL >= 4 order by SERIAL"
        << 10 << QList<int>{1, 2, 4, 5};
    QTest::newRow("except, key selected")
        << "select * from PHOTODB.DB except select * from PHOTODB.DB where PREFIX = \"IMG\" "
           "order by SERIAL"
        << 10 << QList<int>{3, 4};
    QTest::newRow("union all, no key needed")
        << "select SERIAL, IMAGE from PHOTODB.DB where SERIAL = 3 union all "
           "select SERIAL, IMAGE from PHOTODB.DB where SERIAL > 3 order by 1 desc"
        << 2 << QList<int>{5, 4, 3};
}

// A result that is not live still shows its photos when each row tells which record the
// photo is of; the row ids that make this possible are not fields of the result.
void TestEngineSql::readOnlyResultsHandOutTheirPhotos()
{
    QFETCH(QString, sql);
    QFETCH(int, fields);
    QFETCH(QList<int>, serials);
    const QList<QByteArray> photos{patternBytes(300, 1), patternBytes(400, 2), patternBytes(500, 3),
                                   patternBytes(300, 4), patternBytes(600, 5)};
    Query query;
    query.setDatabaseName(m_db->dir());
    query.setSql({sql});
    query.open();
    QVERIFY(!query.isLive());
    QCOMPARE(query.fieldCount(), fields);
    QCOMPARE(query.recordCount(), serials.size());
    for (int i = 0; i < serials.size(); ++i) {
        query.moveTo(i);
        QCOMPARE(query.asInteger(QStringLiteral("SERIAL")), serials[i]);
        QVERIFY(query.readBlob(QStringLiteral("IMAGE")) == photos[serials[i] - 1]);
    }
}

// Each SELECT of a compound statement lists its photos by size, as a single SELECT
// does, rather than reading them all into the result.
void TestEngineSql::compoundResultsListPhotosBySize()
{
    Query query;
    query.setDatabaseName(m_db->dir());
    query.setSql({QStringLiteral("select NAME, IMAGE from PHOTODB.DB where SERIAL < 3"),
                  QStringLiteral("union all select NAME, IMAGE from photodb.db"),
                  QStringLiteral("where KEYWORD = \"boy\" order by 1, 2 desc;")});
    query.open();
    QVERIFY(!query.isLive());
    QCOMPARE(query.fieldCount(), 2);
    QStringList rows;
    for (int i = 0; i < query.recordCount(); ++i) {
        query.moveTo(i);
        rows << query.asString(QStringLiteral("NAME")) + QLatin1Char('|') +
                    QString::number(query.blobSize(QStringLiteral("IMAGE")));
    }
    QCOMPARE(rows, QStringList({"a|600", "a|400", "b|300"}));
    // UNION compares whole rows: without the key a row may stand for several records.
    query.setSql({QStringLiteral("select NAME, IMAGE from PHOTODB.DB union"),
                  QStringLiteral("select NAME, IMAGE from PHOTODB.DB where SERIAL = 1;")});
    query.open();
    QCOMPARE(query.recordCount(), 5);
    QCOMPARE(errorOf([&] { query.readBlob(QStringLiteral("IMAGE")); }),
             QStringLiteral("Field 'IMAGE' cannot be read from a read-only result."));

    // UNION drops repeated rows; INTERSECT and EXCEPT work across files.
    QCOMPARE(column({"select KEYWORD from KEYWORD.DB union select KEYWORD from PHOTODB.DB",
                     "where SERIAL >= 4 order by KEYWORD;"},
                    "KEYWORD"),
             QStringList({"Sea", "boy", "girl", "sea", "x"}));
    QCOMPARE(column({"select KEYWORD from PHOTODB.DB intersect select KEYWORD from KEYWORD.DB;"},
                    "KEYWORD"),
             QStringList({"girl", "x"}));
    QCOMPARE(column({"select NAME from PHOTODB.DB except select NAME from PHOTODB.DB",
                     "where PREFIX = \"IMG\" order by NAME;"},
                    "NAME"),
             QStringList({"c", "d"}));
}

// A subquery in FROM: its columns are SQLite's to tell, and photos that come out of it
// are kept as their sizes.
void TestEngineSql::nestedSourcesRunAsWritten()
{
    Query query;
    query.setDatabaseName(m_db->dir());
    query.setSql({QStringLiteral("select * from (select * from PHOTODB.DB) where SERIAL = 3;")});
    query.open();
    QVERIFY(!query.isLive());
    QCOMPARE(query.fieldCount(), 10);
    QCOMPARE(query.recordCount(), 1);
    QCOMPARE(query.asString(QStringLiteral("NAME")), QStringLiteral("c"));
    QCOMPARE(query.blobSize(QStringLiteral("IMAGE")), 500);
    QVERIFY(query.isNull(QStringLiteral("THUMBNAIL")));

    query.setSql({QStringLiteral("select K.KEYWORD, X.NAME, X.IMAGE from KEYWORD.DB K,"),
                  QStringLiteral("(select NAME, KEYWORD, IMAGE from PHOTODB.DB) X"),
                  QStringLiteral("where X.KEYWORD = K.KEYWORD order by 1;")});
    query.open();
    QStringList rows;
    for (int i = 0; i < query.recordCount(); ++i) {
        query.moveTo(i);
        rows << query.asString(QStringLiteral("KEYWORD")) + QLatin1Char('|') +
                    query.asString(QStringLiteral("NAME")) + QLatin1Char('|') +
                    QString::number(query.blobSize(QStringLiteral("IMAGE")));
    }
    QCOMPARE(rows, QStringList({"girl|a|400", "x|d|300"}));
}

void TestEngineSql::readOnlyResults()
{
    Query query;
    query.setDatabaseName(m_db->dir());
    query.setSql({QStringLiteral("select distinct NAME, IMAGE from PHOTODB.DB")});
    query.open();
    QVERIFY(!query.isLive());
    QCOMPARE(query.recordCount(), 5);
    for (const auto &attempt : std::initializer_list<std::function<void()>>{
             [&] { query.edit(); }, [&] { query.append(); }, [&] { query.remove(); }}) {
        try {
            attempt();
            QFAIL("a read-only result was changed");
        } catch (const EngineError &error) {
            QCOMPARE(error.text(), QStringLiteral("Cannot modify a read-only dataset."));
        }
    }
    // Without the table's key a distinct row may stand for several records: the blob is
    // listed by its size only.
    QVERIFY(query.blobSize(QStringLiteral("IMAGE")) > 0);
    QCOMPARE(errorOf([&] { query.readBlob(QStringLiteral("IMAGE")); }),
             QStringLiteral("Field 'IMAGE' cannot be read from a read-only result."));

    query.setSql({QStringLiteral("select count(*) as N, sum(IMAGE_SIZE) from PHOTODB.DB")});
    query.open();
    QCOMPARE(query.asInteger(QStringLiteral("N")), 5);
    QCOMPARE(query.valueAt(0, 1).toLongLong(), 2100);
}

void TestEngineSql::refusedStatementsChangeNothing_data()
{
    QTest::addColumn<QStringList>("sql");
    QTest::newRow("delete") << QStringList{"delete from PHOTODB.DB"};
    QTest::newRow("drop") << QStringList{"drop table PHOTODB.DB"};
    QTest::newRow("second statement")
        << QStringList{"select * from PHOTODB.DB;", "delete from PHOTODB.DB;"};
    QTest::newRow("attach") << QStringList{"ATTACH DATABASE 'x.db' AS x"};
    QTest::newRow("pragma") << QStringList{"PRAGMA case_sensitive_like=OFF"};
    QTest::newRow("update") << QStringList{"update PHOTODB.DB set NAME='z'"};
    QTest::newRow("missing table") << QStringList{"select * from NOSUCH.DB"};
    QTest::newRow("bad column") << QStringList{"select NOSUCH from PHOTODB.DB"};
}

void TestEngineSql::refusedStatementsChangeNothing()
{
    QFETCH(QStringList, sql);
    Query query;
    query.setDatabaseName(m_db->dir());
    query.setSql(sql);
    QVERIFY_THROWS_EXCEPTION(EngineError, query.open());
    QVERIFY(!query.active());
    QCOMPARE(column({"select * from PHOTODB.DB"}, "NAME"), QStringList({"d", "c", "a", "a", "b"}));
    QCOMPARE(column({"select * from PHOTODB.DB where KEYWORD like \"%Sea%\""}, "NAME"),
             QStringList{"c"});
    QVERIFY(!QFileInfo::exists(m_db->dir() + QStringLiteral("/x.db")));
}

void TestEngineSql::stoppedStatementBringsBackThePreviousSet()
{
    const QStringList setA{"select * from PHOTODB.DB where PREFIX = \"IMG\";"};
    Query album;
    album.setDatabaseName(m_db->dir());
    album.setSql(setA);
    album.open();
    album.moveTo(2);
    Watcher watcher;
    watcher.other.setDatabaseName(m_db->dir());
    watcher.other.setSql(setA);
    album.setWatcher(&watcher);
    QStringList endless{"select count(*) from PHOTODB.DB"}; // 5^20 rows
    for (int i = 1; i < 20; ++i)
        endless << QStringLiteral(", PHOTODB.DB t%1").arg(i);
    QCOMPARE(errorOf([&] { album.openInstead(endless); }), "The query was stopped.");
    // Nothing could start on the connection meanwhile, not even another opening.
    QCOMPARE(watcher.inside, QStringLiteral("Another query of this database is still running."));
    QCOMPARE(watcher.asked, 3);
    QCOMPARE(watcher.ended, 2); // the stopped opening, and the one that brought set A back
    QCOMPARE(album.sql(), setA);
    QCOMPARE(album.recordCount(), 3);
    QCOMPARE(album.recNo(), 2);
    QCOMPARE(album.asString("SERIAL"), QStringLiteral("1"));
    // No read transaction is left to lock out another process's writes.
    QVERIFY(sqlite3_get_autocommit(Database::forDirectory(m_db->dir())->handle()));
}

QTEST_GUILESS_MAIN(TestEngineSql)
#include "tst_engine_sql.moc"
