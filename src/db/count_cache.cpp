#include "db/count_cache.h"

#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QSaveFile>
#include <cstring>

#include <sys/stat.h>

#include <sqlite3.h>

namespace pictavo {
namespace {

constexpr char kFirstLine[] = "pictavo-count 1";
constexpr qint64 kLargestFile = 4096;

quint32 be32(const unsigned char *p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
}

QByteArray timeText(const timespec &time)
{
    return QByteArray::number(qint64(time.tv_sec)) + '.' + QByteArray::number(qint64(time.tv_nsec));
}

// The state of the file attached as `schema`, as one line; empty when it cannot be told:
// no read transaction (or a write transaction of our own, whose pages may be half
// written), no file, or a file in WAL mode, whose commits leave the change counter be.
QByteArray stampOf(sqlite3 *db, const QString &schema)
{
    const QByteArray name = schema.toUtf8();
    if (sqlite3_txn_state(db, name.constData()) != SQLITE_TXN_READ)
        return {};
    const char *path = sqlite3_db_filename(db, name.constData());
    sqlite3_file *file = nullptr;
    if (path == nullptr || *path == '\0' ||
        sqlite3_file_control(db, name.constData(), SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        file == nullptr || file->pMethods == nullptr)
        return {};
    // Through SQLite's own handle: a descriptor of our own, once closed, would drop the
    // process's locks on the file.
    unsigned char header[100];
    if (file->pMethods->xRead(file, header, sizeof header, 0) != SQLITE_OK ||
        std::memcmp(header, "SQLite format 3", 16) != 0 || header[18] != 1 || header[19] != 1)
        return {};
    struct stat info;
    if (::stat(path, &info) != 0)
        return {};
    return QByteArray::number(quint64(info.st_dev)) + ' ' +
           QByteArray::number(quint64(info.st_ino)) + ' ' +
           QByteArray::number(qint64(info.st_size)) + ' ' + timeText(info.st_mtim) + ' ' +
           timeText(info.st_ctim) + ' ' + QByteArray::number(be32(header + 24)) + ' ' +
           QByteArray::number(be32(header + 28));
}

// What a count file holds before its check line.
QByteArray countText(const QByteArray &stamp, const QString &table, qint64 count)
{
    return QByteArray(kFirstLine) + '\n' + stamp + '\n' + table.toUtf8() + '\n' +
           QByteArray::number(count) + '\n';
}

// A file damaged where its count is written would still parse.
QByteArray checkOf(const QByteArray &text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex().left(16);
}

QString countFileOf(sqlite3 *db, const QString &schema)
{
    const char *path = sqlite3_db_filename(db, schema.toUtf8().constData());
    return path == nullptr || *path == '\0' ? QString()
                                            : CountCache::pathFor(QFile::decodeName(path));
}

} // namespace

QString CountCache::pathFor(const QString &tableFile)
{
    return tableFile + QLatin1String("-count");
}

std::optional<qint64> CountCache::find(sqlite3 *db, const QString &schema, const QString &table)
{
    const QByteArray stamp = stampOf(db, schema);
    if (stamp.isEmpty())
        return std::nullopt;
    QFile file(countFileOf(db, schema));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray content = file.read(kLargestFile);
    const QList<QByteArray> lines = content.split('\n');
    if (lines.size() != 6 || lines[0] != kFirstLine || lines[1] != stamp ||
        lines[2] != table.toUtf8() || !lines[5].isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint64 count = lines[3].toLongLong(&ok);
    if (!ok || count < 0 || lines[4] != checkOf(countText(stamp, table, count)))
        return std::nullopt;
    return count;
}

void CountCache::keep(sqlite3 *db, const QString &schema, const QString &table, qint64 count)
{
    const QByteArray stamp = stampOf(db, schema);
    if (stamp.isEmpty())
        return;
    // Written whole or not at all; a reader meets the old file or the new one.
    QSaveFile file(countFileOf(db, schema));
    if (!file.open(QIODevice::WriteOnly))
        return;
    const QByteArray text = countText(stamp, table, count);
    file.write(text + checkOf(text) + '\n');
    file.commit();
}

} // namespace pictavo
