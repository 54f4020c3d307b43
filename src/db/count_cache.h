#pragma once

#include <QString>
#include <optional>

struct sqlite3;

namespace pictavo {

// The record count of a whole table, kept beside its file (`photodb.db-count`) for the
// next opening. Counting reads the table's smallest index: for 100,000 photos, some 300
// pages scattered through gigabytes, most of a cold opening's wait. A kept count is
// believed only while the file is the one that was counted, unchanged: the same file
// (device and inode), size, modification and change times, and SQLite's change counter,
// which every commit to a file that is not in WAL mode increases. Anything else (a write
// by any program, a copy put in its place, a damaged or foreign count file) means the
// table is counted again. The count file is only a cache: it is never needed, and
// failing to write it (a read-only folder) changes nothing.
//
// Both calls must be made inside a read transaction on `schema`, so that no commit can
// fall between the count and the state of the file it is kept with.
class CountCache
{
public:
    // The count kept for `table` of the file attached as `schema`, if it still holds.
    static std::optional<qint64> find(sqlite3 *db, const QString &schema, const QString &table);
    // Keeps `count` for `table`, as the file stands now.
    static void keep(sqlite3 *db, const QString &schema, const QString &table, qint64 count);

    // The count file of a table file.
    static QString pathFor(const QString &tableFile);
};

} // namespace pictavo
