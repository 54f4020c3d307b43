#include "db/database.h"
#include "db/engine_error.h"
#include "db/query.h"
#include "db/schema.h"
#include "db/table.h"
#include "support/file_permissions.h"
#include "support/photo_db_fixture.h"

#include <QtTest>
#include <sqlite3.h>

using namespace pictavo;
using pictavo::test::patternBytes;
using pictavo::test::PhotoDbFixture;

namespace {

QString openError(const QString &dir, const QStringList &sql)
{
    Query query;
    query.setDatabaseName(dir);
    query.setSql(sql);
    try {
        query.open();
    } catch (const EngineError &error) {
        return error.text();
    }
    return QStringLiteral("(opened)");
}

// Reads a setting of a table file with a connection of its own.
QString pragma(const QString &path, const char *name)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db, QByteArray("PRAGMA ").append(name).constData(), -1, &stmt, nullptr);
    QString value;
    if (sqlite3_step(stmt) == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

} // namespace

// Table files on disk: how they are created, found and refused.
class TestEngineFiles : public QObject
{
    Q_OBJECT

private slots:
    void createdSchema();
    void createdFileSettings();
    void fileNamesIgnoreLetterCase();
    void badDirectoriesAndFiles();
    void damagedTableFile();
    void createReplacesAndDeleteRemoves();
    void photoReadAheadIsFreshAfterAnyWrite();
};

void TestEngineFiles::createdSchema()
{
    PhotoDbFixture db;
    const auto database = Database::forDirectory(db.dir());
    const Database::TableFile &photo = database->attach(QStringLiteral("PHOTODB.DB"));
    QStringList fields;
    for (const FieldDef &f : photo.info.fields)
        fields << QStringLiteral("%1:%2:%3:%4")
                      .arg(f.name)
                      .arg(int(f.type))
                      .arg(f.size)
                      .arg(f.required);
    const auto s = [](FieldType t) { return QString::number(int(t)); };
    QCOMPARE(
        fields,
        QStringList(
            {"PREFIX:" + s(FieldType::String) + ":32:0", "NAME:" + s(FieldType::String) + ":32:1",
             "EXT:" + s(FieldType::String) + ":4:0", "SERIAL:" + s(FieldType::AutoInc) + ":0:1",
             "KEYWORD:" + s(FieldType::String) + ":255:1",
             "COUNT:" + s(FieldType::Integer) + ":0:1",
             "IMAGE_SIZE:" + s(FieldType::Integer) + ":0:1", "MEMO:" + s(FieldType::Memo) + ":0:0",
             "IMAGE:" + s(FieldType::Blob) + ":0:1", "THUMBNAIL:" + s(FieldType::Blob) + ":0:0"}));
    QCOMPARE(photo.info.primaryKey, QStringList({"PREFIX", "NAME", "EXT", "SERIAL"}));
    const Database::TableFile &keyword = database->attach(QStringLiteral("KEYWORD.DB"));
    QCOMPARE(keyword.info.fields.size(), 2);
    QCOMPARE(keyword.info.primaryKey, QStringList{"KEYWORD"});
    QCOMPARE(keyword.fileName, QStringLiteral("keyword.db"));
}

void TestEngineFiles::createdFileSettings()
{
    PhotoDbFixture db;
    const QString path = db.dir() + QStringLiteral("/photodb.db");
    QCOMPARE(pragma(path, "page_size"), QStringLiteral("4096"));
    QCOMPARE(pragma(path, "auto_vacuum"), QStringLiteral("2"));
    QCOMPARE(pragma(path, "journal_mode"), QStringLiteral("delete"));
    // Duplicates are found through an index on the size.
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(raw, "EXPLAIN QUERY PLAN SELECT rowid FROM photodb WHERE IMAGE_SIZE=5", -1,
                       &stmt, nullptr);
    QVERIFY(sqlite3_step(stmt) == SQLITE_ROW);
    const QString plan =
        QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 3)));
    sqlite3_finalize(stmt);
    sqlite3_close(raw);
    QVERIFY2(plan.contains(QStringLiteral("USING COVERING INDEX photodb_image_size")) ||
                 plan.contains(QStringLiteral("USING INDEX photodb_image_size")),
             qPrintable(plan));
}

void TestEngineFiles::fileNamesIgnoreLetterCase()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), "1");
    QVERIFY(QFile::rename(db.dir() + QStringLiteral("/photodb.db"),
                          db.dir() + QStringLiteral("/PhotoDB.DB")));
    QCOMPARE(db.rows({"select NAME from photodb.db"}), QStringList{"a"});
    QCOMPARE(db.rows({"select NAME from \"PHOTODB.DB\""}), QStringList{"a"});
}

void TestEngineFiles::badDirectoriesAndFiles()
{
    QTemporaryDir tmp;
    const QString missing = tmp.path() + QStringLiteral("/no/such/dir");
    QCOMPARE(openError(missing, {"select * from PHOTODB.DB"}),
             QStringLiteral("Directory \"%1\" does not exist.").arg(missing));
    QCOMPARE(openError(tmp.path(), {"select * from PHOTODB.DB"}),
             QStringLiteral("Table \"PHOTODB.DB\" does not exist in \"%1\".").arg(tmp.path()));
    QVERIFY(!QFileInfo::exists(tmp.path() + QStringLiteral("/photodb.db"))); // nothing created

    QFile text(tmp.path() + QStringLiteral("/photodb.db"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write(QByteArray(4096, 'x'));
    text.close();
    QCOMPARE(openError(tmp.path(), {"select * from PHOTODB.DB"}),
             QStringLiteral("Could not open table \"PHOTODB.DB\": file is not a database"));
    QVERIFY(text.open(QIODevice::WriteOnly | QIODevice::Truncate));
    text.close();
    QCOMPARE(openError(tmp.path(), {"select * from PHOTODB.DB"}),
             QStringLiteral("Could not open table \"PHOTODB.DB\": the file holds no table."));

    // A directory that cannot be read.
    QDir(tmp.path()).mkdir(QStringLiteral("locked"));
    QFile::setPermissions(tmp.path() + QStringLiteral("/locked"), QFileDevice::WriteOwner);
    const test::FilePermissionsApply permissions;
    if (!permissions.active())
        QSKIP("file permissions cannot be made to bind this process");
    const QString locked = tmp.path() + QStringLiteral("/locked");
    QCOMPARE(openError(locked, {"select * from PHOTODB.DB"}),
             QStringLiteral("Directory \"%1\" cannot be read.").arg(locked));
}

void TestEngineFiles::damagedTableFile()
{
    PhotoDbFixture db;
    for (int i = 0; i < 20; ++i)
        db.addPhoto(QString(), QStringLiteral("n%1").arg(i), QStringLiteral("k"),
                    patternBytes(20000, i));
    const QString path = db.dir() + QStringLiteral("/photodb.db");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        // Everything after the schema page: the tables' trees and the photos.
        file.seek(4096);
        file.write(QByteArray(int(file.size() - 4096), char(0xA5)));
    }
    const QString error = openError(db.dir(), {"select * from PHOTODB.DB"});
    QVERIFY2(error.contains(QStringLiteral("malformed")) ||
                 error.contains(QStringLiteral("not a database")),
             qPrintable(error));
    // The keyword table beside it still opens.
    QCOMPARE(openError(db.dir(), {"select * from KEYWORD.DB"}), QStringLiteral("(opened)"));
}

void TestEngineFiles::createReplacesAndDeleteRemoves()
{
    PhotoDbFixture db;
    Table work;
    work.setDatabaseName(db.dir());
    work.setTableName(QStringLiteral("work.db"));
    work.createTable({{QStringLiteral("KEYWORD"), FieldType::String, 32, true}}, {});
    work.open();
    work.append();
    work.setValue(QStringLiteral("KEYWORD"), QStringLiteral("left over"));
    work.post();
    work.close();
    // A work table left behind is replaced by a new, empty one.
    work.createTable({{QStringLiteral("KEYWORD"), FieldType::String, 32, true}}, {});
    work.open();
    QCOMPARE(work.recordCount(), 0);
    QCOMPARE(QString::fromUtf8([&] {
                 try {
                     work.deleteTable();
                 } catch (const EngineError &error) {
                     return error.text().toUtf8();
                 }
                 return QByteArray();
             }()),
             QStringLiteral("Cannot perform this operation on an open dataset."));
    work.close();
    work.deleteTable();
    QVERIFY(!work.exists());
    QVERIFY_THROWS_EXCEPTION(EngineError, work.deleteTable());

    Table keywords;
    keywords.setDatabaseName(db.dir());
    keywords.setTableName(QStringLiteral("KEYWORD.DB"));
    db.addKeyword(QStringLiteral("a"), 1);
    keywords.open();
    keywords.emptyTable();
    QVERIFY(keywords.active());
    QCOMPARE(keywords.recordCount(), 0);
}

QTEST_GUILESS_MAIN(TestEngineFiles)
// A photo read ahead of its move is not handed to the move once its table was written,
// by this process or another.
void TestEngineFiles::photoReadAheadIsFreshAfterAnyWrite()
{
    PhotoDbFixture db;
    for (int i = 0; i < 3; ++i)
        db.addPhoto(QString(), QString::number(i), QStringLiteral("k"), patternBytes(900, i));
    Query album, other;
    for (Query *query : {&album, &other}) {
        query->setDatabaseName(db.dir());
        query->setSql({QStringLiteral("select * from PHOTODB.DB ;")});
        query->open();
    }
    const QString image = QStringLiteral("IMAGE");
    album.readBlobAt(1, image);
    other.moveTo(1);
    other.edit();
    other.setBlob(image, patternBytes(900, 7)); // same size, other bytes
    other.post();
    album.next();
    QCOMPARE(album.readBlob(image), patternBytes(900, 7));
    album.readBlobAt(2, image);
    sqlite3 *raw = nullptr;
    sqlite3_open(QDir(db.dir()).filePath(schema::kPhotoTableFile).toUtf8().constData(), &raw);
    sqlite3_exec(raw, "UPDATE photodb_image SET IMAGE=zeroblob(900)", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    album.next();
    QCOMPARE(album.readBlob(image), QByteArray(900, '\0'));
}

#include "tst_engine_files.moc"
