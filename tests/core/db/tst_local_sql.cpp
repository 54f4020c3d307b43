#include "db/engine_error.h"
#include "db/local_sql.h"

#include <QtTest>

using namespace pictavo;

class TestLocalSql : public QObject
{
    Q_OBJECT

private slots:
    void tablesAndShape_data();
    void tablesAndShape();
    void refusals_data();
    void refusals();
    void selectItems();
    void doubleQuotedConstants();
};

void TestLocalSql::tablesAndShape_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("tables"); // file|alias
    QTest::addColumn<bool>("live");

    const QStringList photo{QStringLiteral("PHOTODB.DB|PHOTODB.DB")};
    QTest::newRow("album") << "select * from PHOTODB.DB ;" << photo << true;
    QTest::newRow("reset") << "SELECT * FROM PHOTODB.DB;" << photo << true;
    QTest::newRow("mixed case") << "select *\nfrom PhotoDB.DB\nwhere IMAGE_SIZE=:SIZE\n;"
                                << QStringList{QStringLiteral("PhotoDB.DB|PHOTODB.DB")} << true;
    QTest::newRow("serial") << "SELECT * FROM PHOTODB.DB WHERE SERIAL=\n5\n;" << photo << true;
    QTest::newRow("quoted work") << "select distinct KEYWORD from \"WORK.DB\";"
                                 << QStringList{QStringLiteral("WORK.DB|WORK.DB")} << false;
    QTest::newRow("count order") << "select KEYWORD,KEYWORD.DB.\"COUNT\" from KEYWORD.DB order by "
                                    "KEYWORD.DB.\"COUNT\" desc,KEYWORD;"
                                 << QStringList{QStringLiteral("KEYWORD.DB|KEYWORD.DB")} << true;
    QTest::newRow("user alias") << "select p.NAME from PHOTODB.DB p where p.COUNT>0"
                                << QStringList{QStringLiteral("PHOTODB.DB|p")} << true;
    QTest::newRow("as alias") << "select p.NAME from PHOTODB.DB as p"
                              << QStringList{QStringLiteral("PHOTODB.DB|p")} << true;
    QTest::newRow("aggregate") << "select count(*) from PHOTODB.DB" << photo << false;
    QTest::newRow("count column is no aggregate")
        << "select COUNT from PHOTODB.DB" << photo << true;
    QTest::newRow("group") << "select KEYWORD from PHOTODB.DB group by KEYWORD" << photo << false;
    QTest::newRow("two tables") << "select * from PHOTODB.DB, KEYWORD.DB"
                                << QStringList{QStringLiteral("PHOTODB.DB|PHOTODB.DB"),
                                               QStringLiteral("KEYWORD.DB|KEYWORD.DB")}
                                << false;
    QTest::newRow("subquery in where")
        << "select * from PHOTODB.DB where KEYWORD in (select KEYWORD from KEYWORD.DB)"
        << QStringList{QStringLiteral("PHOTODB.DB|PHOTODB.DB"),
                       QStringLiteral("KEYWORD.DB|KEYWORD.DB")}
        << true;
    QTest::newRow("union") << "select NAME from PHOTODB.DB union select KEYWORD from KEYWORD.DB"
                           << QStringList{QStringLiteral("PHOTODB.DB|PHOTODB.DB"),
                                          QStringLiteral("KEYWORD.DB|KEYWORD.DB")}
                           << false;
    QTest::newRow("comment and no extension")
        << "select * -- all of it\nfrom photodb /* the photos */"
        << QStringList{QStringLiteral("photodb.db|PHOTODB")} << true;
}

void TestLocalSql::tablesAndShape()
{
    QFETCH(QString, sql);
    QFETCH(QStringList, tables);
    QFETCH(bool, live);
    const LocalStatement st = LocalSql::parse(sql);
    QStringList found;
    for (const TableReference &ref : st.tables)
        found << ref.fileName + QLatin1Char('|') + ref.alias;
    QCOMPARE(found, tables);
    QCOMPARE(st.isLive(), live);
}

void TestLocalSql::refusals_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("message");
    QTest::newRow("delete") << "delete from PHOTODB.DB"
                            << "Only a SELECT statement can be opened as a query: delete";
    QTest::newRow("drop") << "drop table PHOTODB.DB"
                          << "Only a SELECT statement can be opened as a query: drop";
    QTest::newRow("pragma") << "PRAGMA case_sensitive_like=OFF"
                            << "Only a SELECT statement can be opened as a query: PRAGMA";
    QTest::newRow("attach") << "attach database 'x' as y"
                            << "Only a SELECT statement can be opened as a query: attach";
    QTest::newRow("two statements") << "select * from PHOTODB.DB; delete from PHOTODB.DB"
                                    << "Only one SQL statement can be opened at a time.";
    QTest::newRow("empty") << "  \n "
                           << "Empty SQL statement.";
    QTest::newRow("unbalanced double quote") << "select * from PHOTODB.DB where NAME=\"abc"
                                             << "Unterminated string in SQL statement: \"abc";
    QTest::newRow("unbalanced single quote") << "select * from PHOTODB.DB where NAME='a''b"
                                             << "Unterminated string in SQL statement: 'a''b";
    QTest::newRow("unbalanced parenthesis") << "select * from PHOTODB.DB where NOT(NAME=1"
                                            << "Unbalanced parentheses in SQL statement.";
}

void TestLocalSql::refusals()
{
    QFETCH(QString, sql);
    QFETCH(QString, message);
    try {
        LocalSql::parse(sql);
        QFAIL("no error");
    } catch (const EngineError &error) {
        QCOMPARE(error.text(), message);
    }
}

void TestLocalSql::selectItems()
{
    const LocalStatement st = LocalSql::parse(QStringLiteral(
        "select *, p.*, NAME, KEYWORD.DB.\"COUNT\", NAME AS n, upper(NAME) u from PHOTODB.DB p"));
    QCOMPARE(st.items.size(), 6);
    QCOMPARE(st.items[0].kind, SelectItem::Star);
    QCOMPARE(st.items[1].kind, SelectItem::QualifiedStar);
    QCOMPARE(st.items[1].qualifier, QStringLiteral("p"));
    QCOMPARE(st.items[2].kind, SelectItem::Column);
    QCOMPARE(st.items[3].kind, SelectItem::Column);
    QCOMPARE(st.items[3].qualifier, QStringLiteral("KEYWORD.DB"));
    QCOMPARE(st.items[3].column, QStringLiteral("COUNT"));
    QCOMPARE(st.items[4].alias, QStringLiteral("n"));
    QCOMPARE(st.items[5].kind, SelectItem::Expression);
    QCOMPARE(st.items[5].alias, QStringLiteral("u"));
}

void TestLocalSql::doubleQuotedConstants()
{
    QCOMPARE(LocalSql::doubleToSingleQuoted(QStringLiteral("\"%sea%\"")),
             QStringLiteral("'%sea%'"));
    QCOMPARE(LocalSql::doubleToSingleQuoted(QStringLiteral("\"say \"\"hi\"\"\"")),
             QStringLiteral("'say \"hi\"'"));
    QCOMPARE(LocalSql::doubleToSingleQuoted(QStringLiteral("\"it's\"")), QStringLiteral("'it''s'"));
    const LocalStatement st = LocalSql::parse(
        QStringLiteral("select KEYWORD.DB.\"COUNT\" from KEYWORD.DB where KEYWORD=\"COUNT\""));
    int identifiers = 0;
    int constants = 0;
    for (int i = 0; i < st.tokens.size(); ++i) {
        if (st.tokens[i].kind != SqlToken::DoubleString)
            continue;
        (st.isQuotedIdentifier(i) ? identifiers : constants)++;
    }
    QCOMPARE(identifiers, 1);
    QCOMPARE(constants, 1);
}

QTEST_GUILESS_MAIN(TestLocalSql)
#include "tst_local_sql.moc"
