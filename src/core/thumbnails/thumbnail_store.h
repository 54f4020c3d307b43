#pragma once

#include "thumbnails/photo_check.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <memory>
#include <optional>

struct sqlite3;

namespace pictavo {

class SqliteStatement;

// A thumbnail as kept: the JPEG, and the photo it was made of. An empty JPEG keeps that
// the photo could not be decoded, so that it is not tried at every look.
struct StoredThumbnail
{
    PhotoCheck check;
    QByteArray jpeg;
};

// The thumbnails of one library, in the file thumbs.db beside its tables, by SERIAL. The
// file is a cache: a missing one is made, one that is not ours, of another version or
// damaged is made anew, and whatever it cannot do (a library that cannot be written, a
// full disk) it does in memory instead, never failing its caller. Its thread is the one
// that opened it.
class ThumbnailStore
{
public:
    static constexpr char kFileName[] = "thumbs.db";
    // In memory, thumbnails beyond this many push out others.
    static constexpr int kMemoryLimit = 5000;

    ThumbnailStore();
    ~ThumbnailStore();
    ThumbnailStore(const ThumbnailStore &) = delete;
    ThumbnailStore &operator=(const ThumbnailStore &) = delete;

    // Binds to the library in `directory`, writing what is pending for the one before.
    // Not `writable`: thumbs.db is only read, when it is there, and new thumbnails are
    // kept in memory.
    void open(const QString &directory, bool writable);
    void close();
    const QString &directory() const { return m_directory; }
    // New thumbnails go to thumbs.db (not only to memory).
    bool onDisk() const { return m_db != nullptr && m_writable; }

    std::optional<StoredThumbnail> find(qint64 serial);
    // Kept at once for find(); written with others in one transaction.
    void put(qint64 serial, const StoredThumbnail &thumbnail);
    void flush();
    // Forgets the thumbnails of records that are no longer there; returns how many.
    int keepOnly(const QHash<qint64, bool> &serials);

private:
    void openFile(bool writable);
    void createSchema();
    // Ends the use of thumbs.db after an error: a damaged file is made anew once, else
    // the store goes on in memory.
    void fileFailed(int sqliteCode);
    void closeFile();
    void keepInMemory(qint64 serial, const StoredThumbnail &thumbnail);

    QString m_directory;
    bool m_askedWritable = false;
    bool m_writable = false;
    bool m_remade = false;
    sqlite3 *m_db = nullptr;
    std::unique_ptr<SqliteStatement> m_find;
    QHash<qint64, StoredThumbnail> m_pending;
    QHash<qint64, StoredThumbnail> m_memory;
};

} // namespace pictavo
