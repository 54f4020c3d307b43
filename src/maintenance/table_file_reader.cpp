#include "maintenance/table_file_reader.h"

#include "db/engine_error.h"
#include "db/sqlite_statement.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

namespace pictavo {

TableFileReader::TableFileReader(const QString &path) : m_path(path)
{
    const QString uri =
        QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) + QLatin1String("?mode=ro");
    const int flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(uri.toUtf8().constData(), &m_db, flags, nullptr) != SQLITE_OK) {
        const QString text = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_close_v2(m_db);
        throw EngineError(text);
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, 5000);
    // Pages are read through a memory map rather than copied in by one system call each:
    // the check and the backup read every page of files of gigabytes.
    sqlite3_exec(m_db, "PRAGMA mmap_size=2147418112", nullptr, nullptr, nullptr);
    try {
        SqliteStatement tables(m_db, QStringLiteral("SELECT name FROM sqlite_master WHERE "
                                                    "type='table' AND name NOT LIKE 'sqlite\\_%' "
                                                    "ESCAPE '\\' ORDER BY rowid"));
        if (!tables.step())
            throw EngineError(QStringLiteral("the file holds no table."));
        m_table = quoted(tables.columnText(0));
    } catch (...) {
        sqlite3_close_v2(m_db);
        throw;
    }
}

TableFileReader::~TableFileReader()
{
    sqlite3_close_v2(m_db);
}

QString findTableFileIn(const QString &directory, const QString &fileName)
{
    const QDir dir(directory);
    const QFileInfo exact(dir.filePath(fileName));
    if (exact.isFile())
        return exact.filePath();
    for (const QString &entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (entry.compare(fileName, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return {};
}

} // namespace pictavo
