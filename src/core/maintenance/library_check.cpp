#include "maintenance/library_check.h"

#include "db/engine_error.h"
#include "db/schema.h"
#include "db/sqlite_statement.h"
#include "db/text_rules.h"
#include "keyword/keyword_string.h"
#include "maintenance/backup_folder.h"
#include "maintenance/file_read_ahead.h"
#include "maintenance/mapped_read_guard.h"
#include "maintenance/table_file_reader.h"
#include "picture/jpeg_decoder.h"

#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QVector>
#include <memory>
#include <optional>

namespace pictavo {
namespace {

constexpr int kKeywordFieldSize = 32;
constexpr int kIntegrityMessages = 100;

// Enough of a photo for libjpeg to read its header, EXIF and colour profile included, in
// nearly every file; a header that runs on is read again from the whole photo.
constexpr qint64 kHeaderBytes = 128 * 1024;

// The photo of one record, whole, as SQLite renders `expression` of it.
QByteArray selectPhoto(TableFileReader &file, qint64 rowid, const char *expression)
{
    SqliteStatement one(file.handle(),
                        QStringLiteral("SELECT %1 FROM %2 WHERE %3=?")
                            .arg(QLatin1String(expression), file.table(), file.rowId()));
    one.bind(1, rowid);
    return one.step() ? one.columnBlob(0) : QByteArray();
}

// One record's photo, read from its start only as far as a check needs: without decoding,
// that is the header. Every byte of the file is still read, by the integrity check, which
// follows each photo's chain of pages to its end.
class StoredPhoto
{
public:
    StoredPhoto(TableFileReader &file, qint64 rowid, const QString &type) : m_file(file)
    {
        if (type == QLatin1String("blob") || type == QLatin1String("text")) {
            m_length = file.openBlob("IMAGE", rowid);
        } else if (type != QLatin1String("null")) {
            // A number where a photo belongs: short, and read as SQLite renders it.
            m_whole = selectPhoto(file, rowid, "CAST(IMAGE AS BLOB)");
            m_length = m_whole.size();
        }
    }
    qint64 length() const { return m_length; }
    // The first kHeaderBytes (all when shorter).
    const QByteArray &start() const
    {
        if (m_length <= kHeaderBytes)
            return whole();
        if (m_start.isNull())
            m_start = m_file.readBlob(kHeaderBytes);
        return m_start;
    }
    const QByteArray &whole() const
    {
        if (m_whole.size() != m_length)
            m_whole = m_file.readBlob(m_length);
        return m_whole;
    }

private:
    TableFileReader &m_file;
    qint64 m_length = 0;
    mutable QByteArray m_start;
    mutable QByteArray m_whole;
};

class Checker
{
public:
    Checker(const QString &directory, const CheckOptions &options)
        : m_directory(directory), m_options(options)
    {
    }

    CheckSummary run()
    {
        // Made before the connections and let go after them (see FileReadAhead).
        std::optional<FileReadAhead> readAhead;
        const QString photoPath = findTableFileIn(m_directory, schema::kPhotoTableFile);
        if (m_options.readAhead && !photoPath.isEmpty())
            readAhead.emplace(photoPath);
        std::unique_ptr<TableFileReader> photos = openTable(schema::kPhotoTableFile);
        std::unique_ptr<TableFileReader> keywords = openTable(schema::kKeywordTableFile);
        readTable(photos, schema::kPhotoTableFile,
                  [&] { checkIntegrity(*photos, schema::kPhotoTableFile); });
        readTable(keywords, schema::kKeywordTableFile,
                  [&] { checkIntegrity(*keywords, schema::kKeywordTableFile); });
        const bool keywordsRead = readTable(photos, schema::kPhotoTableFile, [&] {
            findEqualSizes(*photos);
            scanPhotos(*photos);
        });
        if (keywordsRead)
            readTable(keywords, schema::kKeywordTableFile, [&] { compareKeywordTable(*keywords); });
        return m_summary;
    }

private:
    void report(CheckFinding::Kind kind, qint64 serial, const QString &text)
    {
        switch (kind) {
        case CheckFinding::Kind::Table:
            ++m_summary.tableFaults;
            break;
        case CheckFinding::Kind::Photo:
            // A record with several faults is one damaged photo.
            if (!m_recordFaulted)
                ++m_summary.damagedPhotos;
            m_recordFaulted = true;
            break;
        case CheckFinding::Kind::Duplicate:
            ++m_summary.duplicates;
            break;
        case CheckFinding::Kind::Keyword:
            ++m_summary.keywordDifferences;
            break;
        case CheckFinding::Kind::Warning:
            ++m_summary.warnings;
            break;
        case CheckFinding::Kind::Leftover:
            ++m_summary.leftovers;
            break;
        }
        if (m_options.report)
            outsideMappedReads([&] { m_options.report(CheckFinding{kind, serial, text}); });
    }
    void tableFault(const QString &fileName, const QString &text)
    {
        report(CheckFinding::Kind::Table, 0, fileName + QLatin1String(": ") + text);
    }
    void photoFault(qint64 serial, const QString &text)
    {
        report(CheckFinding::Kind::Photo, serial,
               QStringLiteral("SERIAL %1: %2").arg(serial).arg(text));
    }

    std::unique_ptr<TableFileReader> openTable(const QString &fileName)
    {
        const QString path = findTableFileIn(m_directory, fileName);
        if (path.isEmpty()) {
            tableFault(fileName, QStringLiteral("missing"));
            return nullptr;
        }
        try {
            return std::make_unique<TableFileReader>(path);
        } catch (const EngineError &error) {
            tableFault(fileName, error.text());
            return nullptr;
        }
    }

    // One step of reading a table file; false when it failed, as a fault of the file. A
    // page that could not be read ends the reading of the file for good: its reader is
    // abandoned and let go (see TableFileReader::read).
    bool readTable(std::unique_ptr<TableFileReader> &file, const QString &fileName,
                   const std::function<void()> &step)
    {
        if (!file)
            return false;
        try {
            file->read(step);
            return true;
        } catch (const EngineError &error) {
            tableFault(fileName, error.text());
            if (file->abandoned())
                file.reset();
            return false;
        }
    }

    void checkIntegrity(TableFileReader &file, const QString &fileName)
    {
        SqliteStatement check(file.handle(),
                              QStringLiteral("PRAGMA integrity_check(%1)").arg(kIntegrityMessages));
        while (check.step()) {
            const QString line = check.columnText(0);
            if (line != QLatin1String("ok"))
                tableFault(fileName, line);
        }
        check.reset();
        // The number of records an opening believes.
        const TableLayout &layout = file.layout();
        if (layout.countTable.isEmpty())
            return;
        SqliteStatement count(file.handle(),
                              QStringLiteral("SELECT (SELECT n FROM %1), (SELECT count(*) FROM %2)")
                                  .arg(quoted(layout.countTable), quoted(layout.recordTable)));
        if (count.step() && count.columnInt64(0) != count.columnInt64(1))
            tableFault(fileName, QStringLiteral("the record count kept in %1 is %2, but there are "
                                                "%3 records")
                                     .arg(layout.countTable)
                                     .arg(count.columnInt64(0))
                                     .arg(count.columnInt64(1)));
    }

    // The lengths of all photos, without reading them: sizes held by more than one
    // record are the only places where a duplicate can be.
    void findEqualSizes(TableFileReader &file)
    {
        SqliteStatement lengths(file.handle(),
                                QStringLiteral("SELECT length(IMAGE) FROM %1").arg(file.table()));
        QHash<qint64, int> seen;
        while (lengths.step()) {
            ++m_total;
            if (!lengths.isNull(0))
                ++seen[lengths.columnInt64(0)];
        }
        for (auto it = seen.cbegin(); it != seen.cend(); ++it)
            if (it.value() > 1)
                m_sharedSizes.insert(it.key(), {});
    }

    void scanPhotos(TableFileReader &file)
    {
        // typeof() and length() of a blob come from the record, without reading the photo.
        SqliteStatement rows(file.handle(),
                             QStringLiteral("SELECT %2, SERIAL, KEYWORD, IMAGE_SIZE, "
                                            "typeof(IMAGE) FROM %1 ORDER BY %2")
                                 .arg(file.table(), file.rowId()));
        const JpegDecoder decoder;
        qint64 done = 0;
        while (rows.step()) {
            const qint64 rowid = rows.columnInt64(0);
            const qint64 serial = rows.columnInt64(1);
            m_recordFaulted = false;
            countKeywords(rows.columnText(2));
            const StoredPhoto photo(file, rowid, rows.columnText(4));
            ++m_summary.photos;
            m_summary.photoBytes += photo.length();
            checkPhoto(decoder, serial, rows.isNull(3), rows.columnInt64(3), photo);
            if (photo.length() > 0)
                checkDuplicate(file, rowid, serial, photo);
            ++done;
            if (m_options.progress)
                outsideMappedReads([&] { m_options.progress(done, std::max(done, m_total)); });
        }
        file.closeBlob();
    }

    void checkPhoto(const JpegDecoder &decoder, qint64 serial, bool sizeNull, qint64 size,
                    const StoredPhoto &photo)
    {
        const qint64 length = photo.length();
        if (length == 0) {
            photoFault(serial, QStringLiteral("no photo"));
            return;
        }
        if (sizeNull)
            photoFault(serial,
                       QStringLiteral("IMAGE_SIZE is empty, the photo holds %1 bytes").arg(length));
        else if (size != length)
            photoFault(
                serial,
                QStringLiteral("IMAGE_SIZE is %1, the photo holds %2 bytes").arg(size).arg(length));
        try {
            if (!m_options.decode) {
                // The header's bytes are the same in the start as in the whole photo, so
                // a header read from the start is the photo's; a failure is judged whole.
                try {
                    decoder.probe(photo.start());
                } catch (const DecodeError &) {
                    if (length <= kHeaderBytes)
                        throw;
                    decoder.probe(photo.whole());
                }
                return;
            }
            // The smallest DCT scale still reads every coefficient of the file, so damage
            // anywhere shows, at a fraction of the work of full-size pixels.
            const DecodedPicture decoded = decoder.decode(photo.whole(), QSize(1, 1));
            if (decoded.warningCount > 0)
                report(
                    CheckFinding::Kind::Warning, serial,
                    QStringLiteral("SERIAL %1: warning: %2").arg(serial).arg(decoded.firstWarning));
        } catch (const DecodeError &error) {
            photoFault(serial, QStringLiteral("not a JPEG picture: %1").arg(error.text()));
        }
    }

    // Equal photos are found as the import finds them: by size, then by their bytes. A
    // hash of the photo's start, read already for its header, narrows the candidates of
    // one size (other photos differ there); the whole bytes of both decide.
    void checkDuplicate(TableFileReader &file, qint64 rowid, qint64 serial,
                        const StoredPhoto &stored)
    {
        const auto shared = m_sharedSizes.find(stored.length());
        if (shared == m_sharedSizes.end())
            return;
        const QByteArray &start = stored.start();
        // A fast hash, not a cryptographic one: it only narrows; the bytes decide.
        const size_t digest = qHashBits(start.constData(), size_t(start.size()), 0x5eed);
        for (const Seen &earlier : std::as_const(*shared)) {
            if (earlier.digest == digest &&
                selectPhoto(file, earlier.rowid, "IMAGE") == stored.whole()) {
                report(CheckFinding::Kind::Duplicate, serial,
                       QStringLiteral("SERIAL %1: same photo as SERIAL %2")
                           .arg(serial)
                           .arg(earlier.serial));
                return;
            }
        }
        shared->append(Seen{rowid, serial, digest});
    }

    // As a rebuild counts: every keyword of every Keyword String, known by its first 32
    // characters; an empty keyword cannot be stored and is left out.
    void countKeywords(const QString &keywordString)
    {
        forEachKeyword(keywordString, [this](const QString &keyword) {
            if (!keyword.isEmpty())
                ++m_keywordCounts[cutToCharacters(keyword, kKeywordFieldSize)];
        });
    }

    void compareKeywordTable(TableFileReader &file)
    {
        QMap<QString, std::optional<qint64>> table; // ordered: findings come out sorted
        SqliteStatement rows(file.handle(),
                             QStringLiteral("SELECT KEYWORD, COUNT FROM %1").arg(file.table()));
        while (rows.step())
            table.insert(rows.columnText(0),
                         rows.isNull(1) ? std::nullopt : std::optional(rows.columnInt64(1)));
        QMap<QString, qint64> counted;
        for (auto it = m_keywordCounts.cbegin(); it != m_keywordCounts.cend(); ++it)
            counted.insert(it.key(), it.value());
        for (auto it = table.cbegin(); it != table.cend(); ++it) {
            const qint64 rebuilt = counted.value(it.key(), 0);
            const QString name = QStringLiteral("KEYWORD \"%1\": ").arg(it.key());
            if (rebuilt == 0)
                report(CheckFinding::Kind::Keyword, 0,
                       name + QStringLiteral("in the Keyword Table but on no photo"));
            else if (!it.value() || *it.value() != rebuilt)
                report(CheckFinding::Kind::Keyword, 0,
                       name + QStringLiteral("COUNT is %1, a rebuild counts %2")
                                  .arg(it.value() ? QString::number(*it.value()) : QString())
                                  .arg(rebuilt));
        }
        for (auto it = counted.cbegin(); it != counted.cend(); ++it)
            if (!table.contains(it.key()))
                report(CheckFinding::Kind::Keyword, 0,
                       QStringLiteral("KEYWORD \"%1\": on photos %2 times but not in the "
                                      "Keyword Table")
                           .arg(it.key())
                           .arg(it.value()));
    }

    struct Seen
    {
        qint64 rowid;
        qint64 serial;
        size_t digest;
    };

    QString m_directory;
    const CheckOptions &m_options;
    CheckSummary m_summary;
    qint64 m_total = 0;
    bool m_recordFaulted = false;
    QHash<qint64, QVector<Seen>> m_sharedSizes;
    QHash<QString, qint64> m_keywordCounts;
};

} // namespace

QString CheckSummary::text() const
{
    return QStringLiteral("%1 photos, %2 damaged, %3 duplicates, %4 table faults, "
                          "%5 keyword differences")
               .arg(photos)
               .arg(damagedPhotos)
               .arg(duplicates)
               .arg(tableFaults)
               .arg(keywordDifferences) +
           (leftovers > 0 ? QStringLiteral(", %1 backup leftovers").arg(leftovers) : QString());
}

CheckSummary checkLibrary(const QString &directory, const CheckOptions &options)
{
    CheckSummary summary = Checker(directory, options).run();
    for (const BackupLeftover &leftover : findBackupLeftovers(directory)) {
        ++summary.leftovers;
        if (options.report)
            options.report({CheckFinding::Kind::Leftover, 0,
                            QStringLiteral("%1: left by a backup that was cut short (%2 bytes); "
                                           "the next backup into this folder removes it")
                                .arg(QFileInfo(leftover.path).fileName())
                                .arg(leftover.bytes)});
    }
    return summary;
}

} // namespace pictavo
