#pragma once

#include "db/database.h"
#include "db/engine_error.h"

#include <QString>
#include <functional>

struct sqlite3;
struct sqlite3_blob;

namespace pictavo {

// A page of a table file could not be read through its memory map (see
// TableFileReader::read).
class UnreadableTableFile : public EngineError
{
public:
    UnreadableTableFile()
        : EngineError(QStringLiteral("a page could not be read (a read error, or the file was "
                                     "cut short while it was read)"))
    {
    }
};

// How a reader gets the file's pages from the OS.
enum class PageReads
{
    // Through a memory map: the check and the backup's check read every page of files of
    // gigabytes, and the map spares them a system call and a copy per page.
    Mapped,
    // Copied in by read(): for the live database, the one a program may hold open and
    // write. A read error then comes back as SQLite's error, and the connection can still
    // be closed, which gives up its read lock.
    Copied,
};

// One table file of a database directory opened on its own connection, read-only, so
// that the maintenance commands can never change it. The busy timeout lets them wait
// for a writer (the program, an import) to finish its transaction.
class TableFileReader
{
public:
    // Opens the file; throws EngineError with SQLite's text when it cannot be opened or
    // holds no table, UnreadableTableFile when its first pages cannot be read.
    explicit TableFileReader(const QString &path, PageReads reads = PageReads::Mapped);
    ~TableFileReader();
    TableFileReader(const TableFileReader &) = delete;
    TableFileReader &operator=(const TableFileReader &) = delete;

    // Runs `steps`, which read the file through handle() and the blob functions. Every read
    // of a mapped reader belongs inside one. When a page of the map cannot be read, the
    // steps end there and UnreadableTableFile is thrown; the reader is then abandoned: it
    // may only be destroyed. Other exceptions of the steps pass through.
    void read(const std::function<void()> &steps);
    bool abandoned() const { return m_abandoned; }

    sqlite3 *handle() const
    {
        Q_ASSERT(!m_abandoned);
        return m_db;
    }
    // The table the file holds, quoted for SQL, and how SQL over it names a record's row
    // id, which openBlob takes.
    const QString &table() const { return m_table; }
    const QString &rowId() const { return m_rowId; }
    const TableLayout &layout() const { return m_layout; }

    // Opens the blob or text in `column` of the row `rowid` of the table and returns its
    // length in bytes, without reading it. Throws EngineError.
    qint64 openBlob(const char *column, qint64 rowid);
    // The first `bytes` bytes of the open blob (all of it when shorter): a photo's overflow
    // pages are followed only as far as that. Throws EngineError.
    QByteArray readBlob(qint64 bytes) const;
    // An open blob holds the file's read lock, as a statement does.
    void closeBlob();

private:
    TableLayout m_layout;
    QString m_table;
    QString m_rowId;
    sqlite3 *m_db = nullptr;
    sqlite3_blob *m_blob = nullptr;
    bool m_abandoned = false;
    QByteArray m_blobColumn;
};

} // namespace pictavo
