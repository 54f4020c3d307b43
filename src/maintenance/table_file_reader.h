#pragma once

#include <QString>

struct sqlite3;
struct sqlite3_blob;

namespace pictavo {

// One table file of a database directory opened on its own connection, read-only, so
// that the maintenance commands can never change it. The busy timeout lets them wait
// for a writer (the program, an import) to finish its transaction.
class TableFileReader
{
public:
    // Opens the file; throws EngineError with SQLite's text when it cannot be opened or
    // holds no table.
    explicit TableFileReader(const QString &path);
    ~TableFileReader();
    TableFileReader(const TableFileReader &) = delete;
    TableFileReader &operator=(const TableFileReader &) = delete;

    sqlite3 *handle() const { return m_db; }
    const QString &path() const { return m_path; }
    // The table the file holds, quoted for SQL.
    const QString &table() const { return m_table; }

    // Opens the blob or text in `column` of the row `rowid` of the table and returns its
    // length in bytes, without reading it. Throws EngineError.
    qint64 openBlob(const char *column, qint64 rowid);
    // The first `bytes` bytes of the open blob (all of it when shorter): a photo's overflow
    // pages are followed only as far as that. Throws EngineError.
    QByteArray readBlob(qint64 bytes) const;
    // An open blob holds the file's read lock, as a statement does.
    void closeBlob();

private:
    QString m_path;
    QString m_name;
    QString m_table;
    sqlite3 *m_db = nullptr;
    sqlite3_blob *m_blob = nullptr;
    QByteArray m_blobColumn;
};

// The path of a table file of the directory, letter case ignored; empty when missing.
QString findTableFileIn(const QString &directory, const QString &fileName);

} // namespace pictavo
