#pragma once

#include <QString>

struct sqlite3;

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

private:
    QString m_path;
    QString m_table;
    sqlite3 *m_db = nullptr;
};

// The path of a table file of the directory, letter case ignored; empty when missing.
QString findTableFileIn(const QString &directory, const QString &fileName);

} // namespace pictavo
