#include "db/count_cache.h"

#include "db/big_endian.h"

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

QByteArray timeText(const timespec &time)
{
    return QByteArray::number(qint64(time.tv_sec)) + '.' + QByteArray::number(qint64(time.tv_nsec));
}

// The state of the table file attached as `schema`, as one line; empty when it cannot be
// told: no read transaction (or a write transaction of our own, whose pages may be half
// written), or a file in WAL mode, whose commits leave the change counter be.
QByteArray stampOf(sqlite3 *db, const QString &schema, const QString &path)
{
    const QByteArray name = schema.toUtf8();
    sqlite3_file *file = nullptr;
    if (sqlite3_txn_state(db, name.constData()) != SQLITE_TXN_READ ||
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
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return QByteArray::number(quint64(info.st_dev)) + ' ' +
           QByteArray::number(quint64(info.st_ino)) + ' ' +
           QByteArray::number(qint64(info.st_size)) + ' ' + timeText(info.st_mtim) + ' ' +
           timeText(info.st_ctim) + ' ' + QByteArray::number(be32(header + 24)) + ' ' +
           QByteArray::number(be32(header + 28));
}

// A file damaged where its count is written would still parse.
QByteArray checkOf(const QByteArray &text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex().left(16);
}

} // namespace

CountCache::CountCache(sqlite3 *db, const Database::TableFile &file)
    : m_countFile(pathFor(file.path)), m_table(file.table.toUtf8()),
      m_stamp(stampOf(db, file.schema, file.path))
{
}

QString CountCache::pathFor(const QString &tableFile)
{
    return tableFile + QLatin1String("-count");
}

// What a count file holds before its check line.
QByteArray CountCache::text(qint64 count) const
{
    return QByteArray(kFirstLine) + '\n' + m_stamp + '\n' + m_table + '\n' +
           QByteArray::number(count) + '\n';
}

std::optional<qint64> CountCache::kept() const
{
    if (m_stamp.isEmpty())
        return std::nullopt;
    QFile file(m_countFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> lines = file.read(kLargestFile).split('\n');
    if (lines.size() != 6 || lines[0] != kFirstLine || lines[1] != m_stamp || lines[2] != m_table ||
        !lines[5].isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint64 count = lines[3].toLongLong(&ok);
    if (!ok || count < 0 || lines[4] != checkOf(text(count)))
        return std::nullopt;
    return count;
}

void CountCache::keep(qint64 count) const
{
    if (m_stamp.isEmpty())
        return;
    // Written whole or not at all; a reader meets the old file or the new one.
    QSaveFile file(m_countFile);
    if (!file.open(QIODevice::WriteOnly))
        return;
    const QByteArray content = text(count);
    file.write(content + checkOf(content) + '\n');
    file.commit();
}

} // namespace pictavo
