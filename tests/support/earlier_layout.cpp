#include "support/earlier_layout.h"

#include <QFile>
#include <sqlite3.h>

namespace pictavo::test {

namespace {

// A Photo Table as the earlier version made it: each photo in its record's row.
const char kEarlierLayout[] =
    "CREATE TABLE photodb(\"PREFIX\" VARCHAR(32), \"NAME\" VARCHAR(32) NOT NULL, \"EXT\" "
    "VARCHAR(4), \"SERIAL\" INTEGER PRIMARY KEY AUTOINCREMENT, \"KEYWORD\" VARCHAR(255) NOT NULL, "
    "\"COUNT\" INTEGER NOT NULL, \"IMAGE_SIZE\" INTEGER NOT NULL, \"MEMO\" TEXT, \"IMAGE\" BLOB "
    "NOT "
    "NULL, \"THUMBNAIL\" BLOB);"
    "CREATE UNIQUE INDEX primary_key ON photodb(PREFIX,NAME,EXT,SERIAL);"
    "CREATE INDEX photodb_image_size ON photodb(IMAGE_SIZE);"
    "CREATE INDEX photodb_key_keyword ON photodb(PREFIX,NAME,EXT,SERIAL,KEYWORD);";

// A text bound as SQL NULL when empty.
void bindText(sqlite3_stmt *statement, int index, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, index, text.isEmpty() ? nullptr : utf8.constData(), -1,
                      SQLITE_TRANSIENT);
}

} // namespace

bool writeEarlierPhotoTable(const QString &dir, const QVector<EarlierRecord> &records,
                            qint64 keepUpTo)
{
    const QString path = dir + QStringLiteral("/photodb.db");
    QFile::remove(path);
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
              sqlite3_exec(db, kEarlierLayout, nullptr, nullptr, nullptr) == SQLITE_OK &&
              sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt *insert = nullptr;
    ok = ok && sqlite3_prepare_v2(db,
                                  "INSERT INTO photodb(PREFIX,NAME,EXT,KEYWORD,COUNT,IMAGE_SIZE,"
                                  "MEMO,IMAGE,THUMBNAIL) VALUES(?,?,'.jpg',?,?,?,?,?,?)",
                                  -1, &insert, nullptr) == SQLITE_OK;
    for (const EarlierRecord &r : records) {
        if (!ok)
            break;
        bindText(insert, 1, r.prefix);
        bindText(insert, 2, r.name);
        bindText(insert, 3, r.keyword);
        sqlite3_bind_int(insert, 4, r.count);
        sqlite3_bind_int(insert, 5, int(r.image.size()));
        bindText(insert, 6, r.memo);
        sqlite3_bind_blob(insert, 7, r.image.constData(), int(r.image.size()), SQLITE_TRANSIENT);
        sqlite3_bind_blob(insert, 8, r.thumbnail.isEmpty() ? nullptr : r.thumbnail.constData(),
                          int(r.thumbnail.size()), SQLITE_TRANSIENT);
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    const QByteArray end =
        (keepUpTo >= 0 ? "DELETE FROM photodb WHERE SERIAL > " + QByteArray::number(keepUpTo) + ";"
                       : QByteArray()) +
        "COMMIT;";
    ok = ok && sqlite3_exec(db, end.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

} // namespace pictavo::test
