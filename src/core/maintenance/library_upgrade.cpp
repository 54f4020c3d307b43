#include "maintenance/library_upgrade.h"

#include "db/database.h"
#include "db/engine_error.h"
#include "db/schema.h"
#include "db/sqlite_statement.h"
#include "db/table_layout.h"
#include "maintenance/backup_folder.h"
#include "maintenance/library_check.h"
#include "maintenance/table_file_reader.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sqlite3.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace pictavo {

namespace {

// Records copied in one statement: a progress step, and the most a stop waits for.
constexpr int kRecordsPerStep = 256;
// Beyond a copy of the file: the new indexes and the Keyword Table's copy for the check.
constexpr qint64 kSpareBytes = 4 * 1024 * 1024;

QString photoTablePath(const QString &directory)
{
    const QString path = findTableFileIn(directory, schema::kPhotoTableFile);
    if (path.isEmpty())
        throw EngineError(QStringLiteral("Table \"%1\" does not exist in \"%2\".")
                              .arg(schema::kPhotoTableFile, directory));
    return path;
}

class Connection
{
public:
    Connection(const QString &path, const char *mode)
        : m_db(openConnection(fileUri(path, mode),
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI))
    {
    }
    ~Connection() { sqlite3_close_v2(m_db); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *const m_db;
};

bool isOutdated(sqlite3 *db, const TableLayout &layout)
{
    return !layout.split() &&
           TableLayout::forNew(layout.table, layout.readFields(db, QStringLiteral("main"))).split();
}

qint64 freeBytes(const QString &directory)
{
    struct statvfs info = {};
    if (::statvfs(QFile::encodeName(directory).constData(), &info) != 0)
        return -1;
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

QString megabytes(qint64 bytes)
{
    return QString::number((bytes + 1024 * 1024 - 1) / (1024 * 1024));
}

QString notEnoughSpaceText(const QString &directory, const UpgradeSpace &space)
{
    return QStringLiteral("Not enough free disk to upgrade the library in \"%1\": it needs %2 "
                          "MB, and %3 MB are free. The library was left as it was.")
        .arg(directory, megabytes(space.needed), megabytes(space.available));
}

qint64 singleValue(sqlite3 *db, const QString &sql, qint64 bound = -1)
{
    SqliteStatement statement(db, sql);
    if (bound >= 0)
        statement.bind(1, bound);
    return statement.step() ? statement.columnInt64(0) : 0;
}

// The new Photo Table, written in `work` from the old one at `oldPath`: the records with
// their SERIALs, each photo into the photos' table, the numbering carried on, and the old
// table's indexes over record columns. Written without a journal: until it is put in
// place it is nobody's, and a crash leaves only a folder to remove.
UpgradeSummary writeUpgraded(const QString &oldPath, const QString &newPath,
                             const std::function<void(qint64, qint64)> &progress)
{
    const Connection copy(newPath, "rwc");
    sqlite3 *db = copy.handle();
    execSql(db, QStringLiteral("PRAGMA page_size=4096; PRAGMA auto_vacuum=INCREMENTAL; "
                               "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"));
    SqliteStatement attach(db, QStringLiteral("ATTACH DATABASE ? AS old"));
    attach.bind(1, fileUri(oldPath, "ro"));
    attach.step();
    attach.reset();

    const TableLayout old = TableLayout::read(db, QStringLiteral("old"));
    const QVector<FieldDef> fields = old.readFields(db, QStringLiteral("old"));
    const TableLayout layout = TableLayout::forNew(old.table, fields);
    execSql(db, QStringLiteral("BEGIN"));
    execSql(db, layout.createStatements(QStringLiteral("main"), fields).join(QLatin1Char(';')));

    QStringList recordColumns;
    for (const FieldDef &field : fields)
        if (!layout.apart.contains(field.name.toUpper()))
            recordColumns << quoted(field.name);
    const QString from = QStringLiteral("old.") + quoted(old.table);
    const QString range = QStringLiteral(" FROM %1 WHERE rowid>?1 AND rowid<=?2").arg(from);
    QStringList copies{QStringLiteral("INSERT INTO main.%1(%2) SELECT %2")
                           .arg(quoted(layout.recordTable), recordColumns.join(QLatin1Char(','))) +
                       range};
    for (auto it = layout.apart.cbegin(); it != layout.apart.cend(); ++it) {
        const QString column = quoted(it.key());
        copies << QStringLiteral("INSERT INTO main.%1 SELECT rowid, %2")
                          .arg(quoted(it.value()), column) +
                      range + QStringLiteral(" AND %1 IS NOT NULL").arg(column);
    }

    UpgradeSummary summary;
    const qint64 records = singleValue(db, QStringLiteral("SELECT count(*) FROM %1").arg(from));
    SqliteStatement stepEnd(db, QStringLiteral("SELECT rowid FROM %1 WHERE rowid>? ORDER BY rowid "
                                               "LIMIT 1 OFFSET %2")
                                    .arg(from)
                                    .arg(kRecordsPerStep - 1));
    qint64 done = 0;
    for (qint64 last = std::numeric_limits<qint64>::min();;) {
        stepEnd.bind(1, last);
        const qint64 end =
            stepEnd.step() ? stepEnd.columnInt64(0) : std::numeric_limits<qint64>::max();
        stepEnd.reset();
        for (const QString &sql : copies) {
            SqliteStatement statement(db, sql);
            statement.bind(1, last);
            statement.bind(2, end);
            statement.step();
        }
        done = std::min(records, done + kRecordsPerStep);
        if (progress)
            progress(done, records);
        if (end == std::numeric_limits<qint64>::max())
            break;
        last = end;
    }
    summary.records = singleValue(
        db, QStringLiteral("SELECT count(*) FROM main.%1").arg(quoted(layout.recordTable)));
    const QString image = layout.apart.value(QStringLiteral("IMAGE"));
    if (!image.isEmpty())
        summary.photoBytes = singleValue(
            db, QStringLiteral("SELECT total(length(IMAGE)) FROM main.%1").arg(quoted(image)));

    // The numbering goes on where the old table's left off, so no SERIAL is ever given twice.
    SqliteStatement sequence(
        db, QStringLiteral("UPDATE main.sqlite_sequence SET seq=max(seq, coalesce((SELECT seq FROM "
                           "old.sqlite_sequence WHERE name=?1 COLLATE NOCASE), 0)) WHERE name=?2"));
    sequence.bind(1, old.table);
    sequence.bind(2, layout.recordTable);
    sequence.step();
    if (sqlite3_changes(db) == 0) {
        SqliteStatement first(db, QStringLiteral("INSERT INTO main.sqlite_sequence(name, seq) "
                                                 "SELECT ?2, seq FROM old.sqlite_sequence WHERE "
                                                 "name=?1 COLLATE NOCASE"));
        first.bind(1, old.table);
        first.bind(2, layout.recordTable);
        first.step();
    }

    // The old table's indexes (the primary index among them) over the records' columns.
    SqliteStatement indexes(db, QStringLiteral("SELECT name, \"unique\" FROM pragma_index_list(?1, "
                                               "'old') WHERE origin='c'"));
    indexes.bind(1, old.table);
    QStringList create;
    while (indexes.step()) {
        const QString name = indexes.columnText(0);
        SqliteStatement info(db, QStringLiteral("SELECT name FROM pragma_index_info(?1, 'old') "
                                                "ORDER BY seqno"));
        info.bind(1, name);
        QStringList columns;
        bool onRecords = true;
        while (info.step()) {
            onRecords = onRecords &&
                        recordColumns.contains(quoted(info.columnText(0)), Qt::CaseInsensitive);
            columns << quoted(info.columnText(0));
        }
        if (onRecords && !columns.isEmpty())
            create << QStringLiteral("CREATE %1INDEX main.%2 ON %3(%4)")
                          .arg(indexes.columnInt64(1) ? QStringLiteral("UNIQUE ") : QString(),
                               quoted(name), quoted(layout.recordTable),
                               columns.join(QLatin1Char(',')));
    }
    indexes.reset();
    for (const QString &sql : create)
        execSql(db, sql);
    execSql(db, QStringLiteral("COMMIT"));
    execSql(db, QStringLiteral("DETACH DATABASE old"));
    return summary;
}

void syncPath(const QString &path, int flags)
{
    const FileDescriptor file(::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC));
    if (file.fd < 0 || ::fsync(file.fd) != 0)
        throw Error(QStringLiteral("Could not write \"%1\": %2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace

bool libraryNeedsUpgrade(const QString &directory)
{
    const QString path = findTableFileIn(directory, schema::kPhotoTableFile);
    if (path.isEmpty())
        return false;
    const Connection reader(path, "ro");
    return isOutdated(reader.handle(), TableLayout::read(reader.handle(), QStringLiteral("main")));
}

UpgradeSpace upgradeSpace(const QString &directory)
{
    const qint64 size = QFileInfo(photoTablePath(directory)).size();
    return {size + size / 20 + kSpareBytes, freeBytes(directory)};
}

QString upgradeQuestionText(const QString &directory)
{
    const UpgradeSpace space = upgradeSpace(directory);
    return QStringLiteral("The library in \"%1\" was made by an earlier version and must be "
                          "upgraded before it can be opened. The upgrade needs %2 MB of free "
                          "disk (%3 MB are free); the old Photo Table stays as it is until the "
                          "new one is complete and checked.\r\rUpgrade it now?")
        .arg(directory, megabytes(space.needed), megabytes(space.available));
}

UpgradeSummary upgradeLibrary(const QString &directory,
                              const std::function<void(qint64, qint64)> &progress)
{
    const QString path = photoTablePath(directory);
    // Held from before the first read until the new table is in place: no other
    // connection can write to the old one meanwhile, or leave a journal beside it that
    // would be played back into the new one.
    const Connection guard(path, "rw");
    if (sqlite3_db_readonly(guard.handle(), "main") == 1 ||
        ::access(QFile::encodeName(directory).constData(), W_OK) != 0)
        throw Error(readOnlyLibraryText(directory));
    execSql(guard.handle(), QStringLiteral("BEGIN IMMEDIATE"));
    // Made first: it removes what upgrades cut short left behind, also when there is
    // nothing else to do.
    const BackupFolder work(directory);
    if (!isOutdated(guard.handle(), TableLayout::read(guard.handle(), QStringLiteral("main"))))
        throw Error(QStringLiteral("The library in \"%1\" needs no upgrade.").arg(directory));
    const UpgradeSpace space = upgradeSpace(directory);
    if (space.available >= 0 && space.available < space.needed)
        throw Error(notEnoughSpaceText(directory, space));

    const QString newPath = work.filePath(QFileInfo(path).fileName());
    UpgradeSummary summary;
    try {
        summary = writeUpgraded(path, newPath, progress);
    } catch (const EngineError &error) {
        if ((error.sqliteCode() & 0xff) == SQLITE_FULL)
            throw Error(notEnoughSpaceText(directory, {space.needed, freeBytes(directory)}));
        throw;
    }
    syncPath(newPath, O_RDONLY);

    // The check reads the new table as a library of its own, beside the Keyword Table.
    const QString keywords = findTableFileIn(directory, schema::kKeywordTableFile);
    if (!keywords.isEmpty())
        QFile::copy(keywords, work.filePath(QFileInfo(keywords).fileName()));
    QStringList faults;
    CheckOptions options;
    options.readAhead = false;
    options.report = [&](const CheckFinding &finding) {
        if (finding.kind == CheckFinding::Kind::Table &&
            finding.text.startsWith(QFileInfo(path).fileName()))
            faults << finding.text;
    };
    const CheckSummary checked = checkLibrary(work.path(), options);
    if (!faults.isEmpty() || checked.photos != summary.records ||
        checked.photoBytes != summary.photoBytes)
        throw Error(QStringLiteral("The upgraded Photo Table did not pass the check (%1); the "
                                   "library in \"%2\" was left as it was.")
                        .arg(faults.isEmpty() ? checked.text() : faults.join(QLatin1String("; ")),
                             directory));

    if (::rename(QFile::encodeName(newPath).constData(), QFile::encodeName(path).constData()) != 0)
        throw Error(QStringLiteral("Could not put the upgraded Photo Table in place: %1; the "
                                   "library in \"%2\" was left as it was.")
                        .arg(QString::fromLocal8Bit(std::strerror(errno)), directory));
    syncPath(directory, O_RDONLY | O_DIRECTORY);
    return summary;
}

} // namespace pictavo
