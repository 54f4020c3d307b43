#include "common/photo_fill.h"

#include "base/error.h"
#include "common/bench_support.h"

#include <QFile>

#include <sqlite3.h>

namespace pictavo::bench {

void checkSqlite(sqlite3 *db, int rc, const char *what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw Error(QStringLiteral("%1: %2").arg(QLatin1String(what),
                                                 QString::fromUtf8(sqlite3_errmsg(db))));
}

void fillPhotoTable(const QString &dir, int records,
                    const std::function<void(int, PhotoRecord &)> &next, int perTransaction)
{
    createPhotoDatabase(dir);
    sqlite3 *db = nullptr;
    const QByteArray path = QFile::encodeName(dir + QStringLiteral("/photodb.db"));
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw Error(QStringLiteral("cannot open %1").arg(QString::fromUtf8(path)));
    }
    sqlite3_stmt *insert = nullptr;
    const auto text = [&insert](int column, const QByteArray &value) {
        sqlite3_bind_text(insert, column, value.constData(), int(value.size()), SQLITE_TRANSIENT);
    };
    try {
        checkSqlite(db, sqlite3_exec(db, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr),
                    "pragma");
        checkSqlite(db,
                    sqlite3_prepare_v2(db,
                                       "INSERT INTO photodb (PREFIX, NAME, EXT, KEYWORD, "
                                       "\"COUNT\", IMAGE_SIZE, IMAGE) VALUES (?, ?, ?, ?, 0, ?, ?)",
                                       -1, &insert, nullptr),
                    "prepare");
        const int batch = perTransaction > 0 ? perTransaction : records;
        PhotoRecord record;
        for (int i = 0; i < records; ++i) {
            if (i % batch == 0)
                checkSqlite(db, sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), "begin");
            record.name = QByteArray::number(i + 1).rightJustified(6, '0');
            next(i, record);
            text(1, record.prefix);
            text(2, record.name);
            text(3, record.ext);
            text(4, record.keyword);
            sqlite3_bind_int64(insert, 5, record.photo.size());
            sqlite3_bind_blob(insert, 6, record.photo.constData(), int(record.photo.size()),
                              SQLITE_TRANSIENT);
            checkSqlite(db, sqlite3_step(insert), "insert");
            sqlite3_reset(insert);
            if (i % batch == batch - 1 || i + 1 == records)
                checkSqlite(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), "commit");
        }
    } catch (...) {
        sqlite3_finalize(insert);
        sqlite3_close(db);
        throw;
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
}

} // namespace pictavo::bench
