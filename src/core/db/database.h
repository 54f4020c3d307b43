#pragma once

#include "db/field_def.h"
#include "db/table_layout.h"

#include <QHash>
#include <QString>
#include <chrono>
#include <memory>
#include <string>
#include <unordered_map>

struct sqlite3;

namespace pictavo {

class StatementWatcher;

// What a write to a library that cannot be written fails with.
QString readOnlyLibraryText(const QString &directory);
// The path of a table file of the directory, letter case ignored; empty when missing.
QString findTableFileIn(const QString &directory, const QString &fileName);

// A database directory and its one SQLite connection. Each table is a file of the
// directory holding one SQLite table; the files a statement names are attached to the
// connection under a schema name of their own. Every table and query bound to the same
// directory shares this object, so a statement of one never locks out a post of another.
class Database
{
public:
    struct TableFile
    {
        QString fileName; // as found on disk, e.g. "photodb.db"
        QString path;
        QString schema; // attached schema name
        QString table;  // name of the table inside the file, as SQL names it
        TableLayout layout;
        TableSchema info;
        // The file, or the folder its journal is made in, cannot be written (a read-only
        // file system, or permissions): it can only be read.
        bool readOnly = false;
    };

    // The shared database of a directory; created on first use, released with its
    // last user.
    static std::shared_ptr<Database> forDirectory(const QString &directory);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    const QString &directory() const { return m_directory; }
    // Whether an attached table file, or the folder it was attached from, cannot be
    // written.
    bool readOnly() const;
    sqlite3 *handle() const { return m_db; }

    QString findTableFile(const QString &fileName) const
    {
        return findTableFileIn(m_directory, fileName);
    }
    bool tableExists(const QString &fileName) const { return !findTableFile(fileName).isEmpty(); }

    // Attaches the table file (once) and returns its description. Throws when the
    // directory or file is missing or the file is not a table file.
    const TableFile &attach(const QString &fileName);

    // Creates a table file holding one table; an existing file of that name is replaced.
    void createTable(const QString &fileName, const QVector<FieldDef> &fields,
                     const QVector<IndexDef> &indexes);
    void deleteTable(const QString &fileName);
    void emptyTable(const QString &fileName);

    // While it lives, the statements run on the connection are watched: SQLite's progress
    // handler asks the watcher every few milliseconds whether they may go on, and a "no"
    // interrupts the one running (it fails with SQLITE_INTERRUPT). A null watcher
    // watches nothing. Only one watch at a time: the watcher runs inside a statement, and
    // anything it lets happen must keep off this connection.
    class Watch
    {
    public:
        // Throws when a watched statement is running, that is when called from inside its
        // watcher; so even an unwatched statement cannot start there.
        Watch(Database &database, StatementWatcher *watcher);
        ~Watch();
        Watch(const Watch &) = delete;
        Watch &operator=(const Watch &) = delete;
        bool stopped() const { return m_stopped; }

    private:
        static int progress(void *watch);

        Database &m_database;
        StatementWatcher *m_watcher;
        std::chrono::steady_clock::time_point m_start;
        bool m_stopped = false;
    };
    // A watched statement is running, so the connection must not start another.
    bool watched() const { return m_watch != nullptr; }

    // Grows with every row this connection adds, changes or deletes in that table of an
    // attached file, and with every emptying and detaching of a file: while it stays the
    // same, this connection left what it read from the table as it was. (Other
    // connections' commits show in the file's PRAGMA data_version.)
    quint64 writesTo(const QString &schema, const QString &table) const;

private:
    explicit Database(const QString &directory);
    void detach(const QString &key);
    void readSchema(TableFile &file);
    QString newSchemaName(const QString &fileName) const;
    static void rowWritten(void *database, int, const char *schema, const char *table, long long);

    QString m_directory;
    sqlite3 *m_db = nullptr;
    QHash<QString, TableFile> m_attached; // key: lower-case file name
    Watch *m_watch = nullptr;
    std::unordered_map<std::string, quint64> m_rowWrites; // key: "schema.table", lower case
    quint64 m_filesEmptied = 0;                           // and detached
};

} // namespace pictavo
