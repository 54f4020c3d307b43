#pragma once

#include "db/database.h"

#include <QByteArray>
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
class CountCache
{
public:
    // Notes the state of the attached table file `file` as it stands now. Make it inside
    // a read transaction on the file, and count in the same one, so that no commit can
    // fall between the count and the state it is kept with.
    CountCache(sqlite3 *db, const Database::TableFile &file);

    // The count kept for the table, if it still holds.
    std::optional<qint64> kept() const;
    // Keeps `count` for the table, as its file stood when this was made.
    void keep(qint64 count) const;

    // The count file of a table file.
    static QString pathFor(const QString &tableFile);

private:
    QByteArray text(qint64 count) const;

    QString m_countFile;
    QByteArray m_table;
    QByteArray m_stamp; // empty: the state cannot be told, nothing is kept or believed
};

} // namespace pictavo
