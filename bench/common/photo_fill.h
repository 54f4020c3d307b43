#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

struct sqlite3;

namespace pictavo::bench {

// One Photo Table record as a benchmark writes it; IMAGE_SIZE is the photo's length and
// COUNT is 0. Unless the benchmark says otherwise, a record is "IMG", its number (from 1,
// six digits) and ".jpg".
struct PhotoRecord
{
    QByteArray prefix = "IMG", name, ext = ".jpg", keyword;
    QByteArray photo;
};

// Makes the tables in `dir` with the engine, then writes `records` Photo Table records
// through SQLite directly, `perTransaction` to a transaction (0: all in one) and without
// flushing: the engine's durable post of each would take minutes, and the fill is not
// what a benchmark measures. `next(i, record)` fills in record i, whose name is already
// its number; the record keeps what it was given before, so a benchmark sets only what
// changes.
void fillPhotoTable(const QString &dir, int records,
                    const std::function<void(int, PhotoRecord &)> &next, int perTransaction = 0);

// Throws Error with SQLite's message and `what` unless `rc` tells of success (OK, a row
// or done).
void checkSqlite(sqlite3 *db, int rc, const char *what);

} // namespace pictavo::bench
