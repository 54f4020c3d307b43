#include "db/database.h"

#include "db/engine_error.h"
#include "db/schema.h"
#include "db/sqlite_statement.h"
#include "db/sqlite_transaction.h"
#include "db/statement_watcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace pictavo {

namespace {

// Tried by opening it: access(), which QFileInfo asks, answers for the real user and so
// can say yes where the listing then fails, and an unlisted table would be reported as
// missing instead.
bool directoryCanBeRead(const QString &directory)
{
    DIR *dir = ::opendir(QFile::encodeName(directory).constData());
    if (!dir)
        return false;
    ::closedir(dir);
    return true;
}

const QString kPrimaryIndexName = QStringLiteral("primary_key");
// Virtual-machine steps between two questions to a watcher: about a millisecond of a
// join on an idle core, a few under load.
constexpr int kStepsPerProgressCall = 100000;
static_assert(QueryStopped::kInterrupted == SQLITE_INTERRUPT);

QString normalizedDirectory(const QString &directory)
{
    // An empty name would be the process's current folder, which is nobody's database:
    // the tables and work files found or made there would be a stranger's.
    if (directory.isEmpty())
        throw EngineError(QStringLiteral("No database directory."));
    return QDir::cleanPath(QFileInfo(directory).absoluteFilePath());
}

// Asked with the process's effective rights: root that gave up its override of the
// permission bits, or a read-only mount, gets "no".
bool folderWritable(const QString &directory)
{
    return ::faccessat(AT_FDCWD, QFile::encodeName(directory).constData(), W_OK, AT_EACCESS) == 0;
}

// The connection is shared per directory. Nothing here is used from more than one
// thread, so a plain map suffices.
QHash<QString, std::weak_ptr<Database>> &registry()
{
    static QHash<QString, std::weak_ptr<Database>> databases;
    return databases;
}

// Whether the attached file is a Photo Table in an earlier version's layout, each photo in
// its record's row.
bool isOutdatedPhotoTable(const Database::TableFile &file)
{
    return file.fileName.compare(schema::kPhotoTableFile, Qt::CaseInsensitive) == 0 &&
           !file.layout.split() && TableLayout::forNew(file.table, file.info.fields).split();
}

} // namespace

QString readOnlyLibraryText(const QString &directory)
{
    return QStringLiteral("The library in \"%1\" is read-only: its files cannot be written.")
        .arg(directory);
}

bool Database::readOnly() const
{
    // Each file's flag already covers the folder.
    return std::any_of(m_attached.cbegin(), m_attached.cend(),
                       [](const TableFile &file) { return file.readOnly; });
}

std::shared_ptr<Database> Database::forDirectory(const QString &directory)
{
    const QString key = normalizedDirectory(directory);
    if (auto existing = registry().value(key).lock())
        return existing;
    std::shared_ptr<Database> database(new Database(key));
    registry().insert(key, database);
    return database;
}

Database::Database(const QString &directory)
    : m_directory(directory),
      m_db(openConnection(QStringLiteral(":memory:"),
                          SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI))
{
    // Letter case counts in LIKE.
    execSql(m_db, QStringLiteral("PRAGMA case_sensitive_like=ON"));
    sqlite3_update_hook(m_db, &Database::rowWritten, this);
}

void Database::rowWritten(void *database, int, const char *schema, const char *table, long long)
{
    std::string key = std::string(schema) + '.' + table;
    for (char &c : key)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    ++static_cast<Database *>(database)->m_rowWrites[key];
}

quint64 Database::writesTo(const QString &schema, const QString &table) const
{
    const auto found = m_rowWrites.find((schema + u'.' + table).toLower().toStdString());
    return m_filesEmptied + (found == m_rowWrites.end() ? 0 : found->second);
}

Database::~Database()
{
    sqlite3_close_v2(m_db);
}

QString findTableFileIn(const QString &directory, const QString &fileName)
{
    const QDir dir(directory);
    const QFileInfo exact(dir.filePath(fileName.toLower()));
    if (exact.isFile())
        return exact.filePath();
    for (const QString &entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (entry.compare(fileName, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return {};
}

QString Database::newSchemaName(const QString &fileName) const
{
    QString base = QStringLiteral("t_");
    for (const QChar c : fileName.toLower())
        base += (c.isLetterOrNumber() && c.unicode() < 128) ? c : QLatin1Char('_');
    QString name = base;
    for (int n = 2;; ++n) {
        if (std::none_of(m_attached.cbegin(), m_attached.cend(),
                         [&name](const TableFile &file) { return file.schema == name; }))
            return name;
        name = base + QString::number(n);
    }
}

const Database::TableFile &Database::attach(const QString &fileName)
{
    const QString key = fileName.toLower();
    auto found = m_attached.find(key);
    if (found != m_attached.end()) {
        if (QFileInfo(found->path).isFile())
            return *found;
        detach(key); // removed behind our back
    }
    if (!QFileInfo(m_directory).isDir())
        throw EngineError(QStringLiteral("Directory \"%1\" does not exist.").arg(m_directory));
    const QString path = findTableFile(fileName);
    if (path.isEmpty()) {
        // Not found: perhaps only because the folder cannot be listed.
        if (!directoryCanBeRead(m_directory))
            throw EngineError(QStringLiteral("Directory \"%1\" cannot be read.").arg(m_directory));
        throw EngineError(
            QStringLiteral("Table \"%1\" does not exist in \"%2\".").arg(fileName, m_directory));
    }

    TableFile file;
    file.path = path;
    file.fileName = QFileInfo(path).fileName();
    file.schema = newSchemaName(file.fileName);
    try {
        SqliteStatement attachStatement(
            m_db, QStringLiteral("ATTACH DATABASE ? AS %1").arg(quoted(file.schema)));
        attachStatement.bind(1, fileUri(path, "rw"));
        attachStatement.step();
    } catch (const EngineError &error) {
        throw EngineError(
            QStringLiteral("Could not open table \"%1\": %2").arg(fileName, error.text()));
    }
    file.readOnly = sqlite3_db_readonly(m_db, file.schema.toUtf8().constData()) == 1 ||
                    !folderWritable(m_directory);
    m_attached.insert(key, file);
    try {
        readSchema(m_attached[key]);
        if (isOutdatedPhotoTable(m_attached[key])) {
            detach(key);
            throw OutdatedLayout(m_directory);
        }
        const QString s = quoted(file.schema);
        execSql(m_db, QStringLiteral("PRAGMA %1.journal_mode=DELETE; PRAGMA %1.synchronous=FULL; "
                                     "PRAGMA %1.secure_delete=OFF;")
                          .arg(s));
    } catch (const OutdatedLayout &) {
        throw;
    } catch (const EngineError &error) {
        detach(key);
        throw EngineError(
            QStringLiteral("Could not open table \"%1\": %2").arg(fileName, error.text()));
    }
    return m_attached[key];
}

void Database::readSchema(TableFile &file)
{
    file.layout = TableLayout::read(m_db, file.schema);
    file.table = file.layout.table;
    file.info = TableSchema();
    file.info.fields = file.layout.readFields(m_db, file.schema);
    SqliteStatement key(m_db, QStringLiteral("PRAGMA %1.index_info(%2)")
                                  .arg(quoted(file.schema), quoted(kPrimaryIndexName)));
    while (key.step())
        file.info.primaryKey << key.columnText(2);
}

void Database::detach(const QString &key)
{
    const auto found = m_attached.find(key);
    if (found == m_attached.end())
        return;
    execSql(m_db, QStringLiteral("DETACH DATABASE %1").arg(quoted(found->schema)));
    m_attached.erase(found);
    ++m_filesEmptied;
}

Database::Watch::Watch(Database &database, StatementWatcher *watcher)
    : m_database(database), m_watcher(watcher), m_start(std::chrono::steady_clock::now())
{
    if (m_database.m_watch)
        throw EngineError(QStringLiteral("Another query of this database is still running."));
    if (!m_watcher)
        return;
    m_database.m_watch = this;
    sqlite3_progress_handler(m_database.m_db, kStepsPerProgressCall, &Watch::progress, this);
}

Database::Watch::~Watch()
{
    if (!m_watcher)
        return;
    sqlite3_progress_handler(m_database.m_db, 0, nullptr, nullptr);
    m_database.m_watch = nullptr;
    try {
        m_watcher->finished();
    } catch (...) {
    }
}

int Database::Watch::progress(void *self)
{
    auto *watch = static_cast<Watch *>(self);
    // Once stopped, whatever else the opening would still run is stopped too.
    if (watch->m_stopped)
        return 1;
    try {
        const auto running = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - watch->m_start);
        watch->m_stopped = !watch->m_watcher->keepGoing(running);
    } catch (...) {
        // Nothing may be thrown through SQLite; a watcher that fails stops the statement.
        watch->m_stopped = true;
    }
    return watch->m_stopped ? 1 : 0;
}

void Database::createTable(const QString &fileName, const QVector<FieldDef> &fields,
                           const QVector<IndexDef> &indexes)
{
    if (!QFileInfo(m_directory).isDir())
        throw EngineError(QStringLiteral("Directory \"%1\" does not exist.").arg(m_directory));
    if (tableExists(fileName))
        deleteTable(fileName);

    const QString path = QDir(m_directory).filePath(fileName);
    const QString key = fileName.toLower();
    TableFile file;
    file.path = path;
    file.fileName = fileName;
    file.schema = newSchemaName(fileName);
    file.table = QFileInfo(fileName).completeBaseName().toLower();
    const TableLayout layout = TableLayout::forNew(file.table, fields);
    const QString s = quoted(file.schema);
    const QString t = quoted(layout.recordTable);

    SqliteStatement attachStatement(m_db, QStringLiteral("ATTACH DATABASE ? AS %1").arg(s));
    attachStatement.bind(1, fileUri(path, "rwc"));
    attachStatement.step();
    m_attached.insert(key, file);
    try {
        // Page size and vacuum mode can only be chosen before the first table exists.
        execSql(m_db, QStringLiteral("PRAGMA %1.page_size=4096; PRAGMA %1.auto_vacuum=INCREMENTAL; "
                                     "PRAGMA %1.journal_mode=DELETE; PRAGMA %1.synchronous=FULL; "
                                     "PRAGMA %1.secure_delete=OFF;")
                          .arg(s));
        QString sql = QStringLiteral("BEGIN; ") +
                      layout.createStatements(file.schema, fields).join(QLatin1String("; ")) +
                      QLatin1Char(';');
        for (const IndexDef &index : indexes) {
            const QString name =
                index.primary
                    ? kPrimaryIndexName
                    : (index.name.isEmpty() ? file.table + QLatin1Char('_') +
                                                  index.fields.join(QLatin1Char('_')).toLower()
                                            : index.name);
            sql += QStringLiteral("CREATE %1INDEX %2.%3 ON %4(%5);")
                       .arg(index.unique || index.primary ? QStringLiteral("UNIQUE ") : QString(),
                            s, quoted(name), t, quotedList(index.fields));
        }
        sql += QLatin1String("COMMIT;");
        execSql(m_db, sql);
        readSchema(m_attached[key]);
    } catch (const EngineError &) {
        if (!sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        try {
            detach(key);
        } catch (const EngineError &) {
        }
        QFile::remove(path);
        QFile::remove(path + QLatin1String("-journal"));
        throw;
    }
}

void Database::deleteTable(const QString &fileName)
{
    const QString path = findTableFile(fileName);
    if (path.isEmpty())
        throw EngineError(
            QStringLiteral("Table \"%1\" does not exist in \"%2\".").arg(fileName, m_directory));
    detach(fileName.toLower());
    QFile file(path);
    if (!file.remove())
        throw EngineError(
            QStringLiteral("Could not delete table \"%1\": %2").arg(fileName, file.errorString()));
    QFile::remove(path + QLatin1String("-journal"));
}

void Database::emptyTable(const QString &fileName)
{
    const TableFile &file = attach(fileName);
    ++m_filesEmptied; // a DELETE without WHERE tells no row to the update hook
    QString sql;
    for (const QString &table : file.layout.apart)
        sql += QStringLiteral("DELETE FROM %1.%2;").arg(quoted(file.schema), quoted(table));
    sql += QStringLiteral("DELETE FROM %1.%2;")
               .arg(quoted(file.schema), quoted(file.layout.recordTable));
    SqliteSavepoint together(m_db);
    execSql(m_db, sql);
    together.release();
}

} // namespace pictavo
