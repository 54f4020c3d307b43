#include "db/engine_error.h"
#include "db/query.h"
#include "db/table.h"
#include "support/photo_db_fixture.h"

#include <QtTest>
#include <sqlite3.h>

using namespace pictavo;
using pictavo::test::patternBytes;
using pictavo::test::PhotoDbFixture;

namespace {

// Runs SQL on the Photo Table's file as plain sqlite3 would, and returns the rows of the
// last statement, fields joined by '|', blobs in hex.
QStringList plainSql(const QString &dir, const QByteArray &sql, const QByteArray &blob = {})
{
    sqlite3 *db = nullptr;
    sqlite3_open((dir + QStringLiteral("/photodb.db")).toUtf8().constData(), &db);
    QStringList rows;
    const char *tail = sql.constData();
    while (tail && *tail) {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, tail, -1, &statement, &tail) != SQLITE_OK) {
            rows = QStringList{QString::fromUtf8(sqlite3_errmsg(db))};
            break;
        }
        if (!statement)
            break;
        if (sqlite3_bind_parameter_count(statement) > 0)
            sqlite3_bind_blob(statement, 1, blob.constData(), int(blob.size()), SQLITE_TRANSIENT);
        rows.clear();
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            QStringList fields;
            for (int c = 0; c < sqlite3_column_count(statement); ++c)
                fields << (sqlite3_column_type(statement, c) == SQLITE_BLOB
                               ? QString::fromLatin1(
                                     QByteArray(static_cast<const char *>(
                                                    sqlite3_column_blob(statement, c)),
                                                sqlite3_column_bytes(statement, c))
                                         .toHex())
                               : QString::fromUtf8(reinterpret_cast<const char *>(
                                     sqlite3_column_text(statement, c))));
            rows << fields.join(QLatin1Char('|'));
        }
        if (rc != SQLITE_DONE)
            rows = QStringList{QString::fromUtf8(sqlite3_errmsg(db))};
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return rows;
}

} // namespace

// The Photo Table keeps its photos apart from its records, under one name for SQL.
class TestEngineLayout : public QObject
{
    Q_OBJECT

private slots:
    void plainSqlReadsAndWritesThroughOneName();
    void aWriteThatFailsHalfWayChangesNothing();
};

// What plain sqlite3 reads, adds, changes and deletes through "photodb" is what the
// program reads, byte for byte, and the other way round.
void TestEngineLayout::plainSqlReadsAndWritesThroughOneName()
{
    PhotoDbFixture db;
    const QByteArray stored = patternBytes(70000, 1);
    const qint64 first = db.addPhoto("IMG", "a", "sea", stored);
    QCOMPARE(
        plainSql(db.dir(), "SELECT SERIAL, NAME, KEYWORD, IMAGE FROM photodb"),
        QStringList{
            QStringLiteral("%1|a|sea|%2").arg(first).arg(QString::fromLatin1(stored.toHex()))});

    const QByteArray added = patternBytes(5000, 2);
    const QByteArray replaced = patternBytes(300, 3);
    plainSql(db.dir(),
             "INSERT INTO photodb(PREFIX,NAME,EXT,KEYWORD,COUNT,IMAGE_SIZE,IMAGE) "
             "VALUES('IMG','b','.jpg','cat',0,5000,?)",
             added);
    QCOMPARE(plainSql(db.dir(), "INSERT INTO photodb(NAME,KEYWORD,COUNT,IMAGE_SIZE) "
                                "VALUES('c','*',0,0)"),
             QStringList{"NOT NULL constraint failed: photodb_image.IMAGE"});
    Query query;
    query.setDatabaseName(db.dir());
    query.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    query.open();
    QCOMPARE(query.recordCount(), 2);
    query.last();
    QCOMPARE(query.asString("NAME"), QStringLiteral("b"));
    QVERIFY(query.readBlob("IMAGE") == added);
    QVERIFY(query.isNull("THUMBNAIL"));
    const qint64 second = query.asInteger("SERIAL");
    query.close();

    plainSql(db.dir(), "UPDATE photodb SET IMAGE=?, KEYWORD='dog' WHERE NAME='b'", replaced);
    plainSql(db.dir(), "UPDATE photodb SET SERIAL=SERIAL+100 WHERE NAME='a'");
    plainSql(db.dir(), "UPDATE photodb SET THUMBNAIL=x'01' WHERE NAME='a'");
    QCOMPARE(db.rows({"select SERIAL, KEYWORD, length(IMAGE), length(THUMBNAIL) from PHOTODB.DB"}),
             QStringList({QStringLiteral("%1|sea|70000|1").arg(first + 100),
                          QStringLiteral("%1|dog|300|").arg(second)}));
    query.open();
    QVERIFY(query.readBlob("IMAGE") == stored);
    query.close();
    plainSql(db.dir(), "DELETE FROM photodb WHERE NAME='a'");
    QCOMPARE(plainSql(db.dir(), "SELECT (SELECT count(*) FROM photodb_image), (SELECT count(*) "
                                "FROM photodb_thumbnail), (SELECT count(*) FROM photodb_record), "
                                "(SELECT n FROM photodb_record_count)"),
             QStringList{"1|0|1|1"});
}

// A post writes the record and its photo together: when the photo's part fails (here a
// trigger refuses it), neither the record nor the photo changed, and the data set stays
// in its edit state.
void TestEngineLayout::aWriteThatFailsHalfWayChangesNothing()
{
    PhotoDbFixture db;
    const QByteArray stored = patternBytes(9000, 4);
    db.addPhoto("IMG", "a", "sea", stored);
    plainSql(db.dir(), "CREATE TRIGGER refuse BEFORE INSERT ON photodb_image WHEN NEW.IMAGE=x'00' "
                       "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    const QStringList before = db.rows({"select * from PHOTODB.DB"});
    Table table;
    table.setDatabaseName(db.dir());
    table.setTableName(QStringLiteral("PHOTODB.DB"));
    table.open();
    table.edit();
    table.setValue(QStringLiteral("KEYWORD"), QStringLiteral("lake"));
    table.setBlob(QStringLiteral("IMAGE"), QByteArray(1, '\0'));
    QVERIFY_THROWS_EXCEPTION(EngineError, table.post());
    QCOMPARE(table.state(), DataSet::State::Edit);
    table.cancel();
    table.append();
    table.setValue(QStringLiteral("NAME"), QStringLiteral("b"));
    table.setValue(QStringLiteral("KEYWORD"), QStringLiteral("*"));
    table.setValue(QStringLiteral("COUNT"), 0);
    table.setValue(QStringLiteral("IMAGE_SIZE"), 1);
    table.setBlob(QStringLiteral("IMAGE"), QByteArray(1, '\0'));
    QVERIFY_THROWS_EXCEPTION(EngineError, table.post());
    table.cancel();
    table.close();
    QCOMPARE(db.rows({"select * from PHOTODB.DB"}), before);
    QCOMPARE(plainSql(db.dir(), "SELECT count(*) FROM photodb_record"), QStringList{"1"});
    table.open();
    QVERIFY(table.readBlob(QStringLiteral("IMAGE")) == stored);
}

QTEST_GUILESS_MAIN(TestEngineLayout)
#include "tst_engine_layout.moc"
