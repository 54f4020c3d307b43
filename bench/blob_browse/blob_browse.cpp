// Fills a photo database with about a gigabyte of photographs through the engine, then
// opens and walks the photo query the way the grid and the record counter do, and
// measures with /proc/self/io how many bytes the process read meanwhile. Browsing must
// cost the small fields only: a query that pulls the photographs along would read
// hundreds of megabytes. Two controls read photographs on purpose, one by the blob
// reader and one in SQL, to show that the measure does see blob reads.
//
// Exit status: 0 when every statement stays under the goal and every check holds.

#include "common/bench_support.h"
#include "common/command_line.h"
#include "common/process_io.h"
#include "common/random.h"
#include "db/query.h"
#include "db/schema.h"
#include "db/table.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace pictavo;
using bench::utf8;

namespace {

constexpr double kGoalPercent = 1.0;
constexpr qint64 kMiB = 1024 * 1024;

struct Options
{
    int records = 400;
    double sizeMiB = 2.6; // average photograph
    QString dir;
    bool keep = false;
    bool evict = true; // drop the table files from the OS cache before each measurement
};

constexpr char kUsage[] =
    "usage: bench_blob_browse [--records N] [--size-mb M] [--dir PATH] [--keep] [--warm]\n"
    "  --records N   photos to append (default 400)\n"
    "  --size-mb M   average photo size in MiB (default 2.6); sizes vary by +-40%\n"
    "  --dir PATH    build the database in PATH (created if missing, must not hold a\n"
    "                photo database yet) and keep it there\n"
    "  --keep        keep the temporary database and print where it is\n"
    "  --warm        leave the table files in the OS cache (read_bytes then stays 0)\n";

Options parseOptions(int argc, char **argv)
{
    Options options;
    bench::parseCommandLine(argc, argv, kUsage, [&](bench::CommandLine &args) {
        return args.takeInt("--records", options.records, 1, std::numeric_limits<int>::max()) ||
               // IMAGE_SIZE is a 32-bit field, and a photo is at least its JPEG header.
               args.takeDouble("--size-mb", options.sizeMiB, 0.001, 1000) ||
               args.takeValue("--dir", options.dir) || args.takeSwitch("--keep", options.keep) ||
               args.takeSwitch("--warm", options.evict, false);
    });
    return options;
}

// Reading /proc/self/io is itself a read: the next sample includes it. Measured once so
// that it can be taken off the deltas.
qint64 sampleOverhead()
{
    bench::readProcessIo();
    const bench::ProcessIo a = bench::readProcessIo();
    const bench::ProcessIo b = bench::readProcessIo();
    return b.rchar - a.rchar;
}

struct PlannedPhoto
{
    QString prefix;
    QString name;
    QString keywords;
    qsizetype size = 0;
    quint64 seed = 0;
};

const QStringList &vocabulary()
{
    static const QStringList words = {
        QStringLiteral("sea"),    QStringLiteral("seaside"),  QStringLiteral("seagull"),
        QStringLiteral("beach"),  QStringLiteral("mountain"), QStringLiteral("forest"),
        QStringLiteral("family"), QStringLiteral("birthday"), QStringLiteral("city"),
        QStringLiteral("night"),  QStringLiteral("snow"),     QStringLiteral("garden"),
        QStringLiteral("sunset"), QStringLiteral("harbour"),  QStringLiteral("lake"),
        QStringLiteral("dog"),    QStringLiteral("bridge"),   QStringLiteral("museum"),
    };
    return words;
}

std::vector<PlannedPhoto> planPhotos(const Options &options)
{
    static const QStringList prefixes = {QStringLiteral("holiday"), QStringLiteral("family"),
                                         QStringLiteral("2023"), QStringLiteral("garden")};
    const qint64 average = qint64(options.sizeMiB * double(kMiB));
    bench::Random random(20240611);
    std::vector<PlannedPhoto> photos(size_t(options.records));
    const int digits = std::max(4, int(QString::number(options.records).size()));
    for (int i = 0; i < options.records; ++i) {
        PlannedPhoto &photo = photos[size_t(i)];
        photo.prefix = prefixes[random.below(int(prefixes.size()))];
        photo.name = QStringLiteral("img_%1").arg(i + 1, digits, 10, QLatin1Char('0'));
        QStringList words = vocabulary();
        std::vector<QString> chosen;
        const int count = 1 + random.below(5);
        for (int k = 0; k < count; ++k)
            chosen.push_back(words.takeAt(random.below(int(words.size()))));
        photo.keywords = QStringList(chosen.begin(), chosen.end()).join(QLatin1Char(','));
        // Sizes vary by up to 40% either way, in pairs that cancel, so the total is the
        // average times the count.
        if (i % 2 == 0) {
            const qint64 delta = qint64(double(average) * 0.4 * random.unit());
            const bool lastOfOdd = i + 1 == options.records;
            photo.size = lastOfOdd ? average : average + delta;
            if (!lastOfOdd)
                photos[size_t(i) + 1].size = average - delta;
        }
        photo.seed = random.next();
    }
    return photos;
}

// A file that starts like a JPEG (the engine never decodes it) and is otherwise noise,
// so that no layer of storage could shrink it.
QByteArray photoBytes(const PlannedPhoto &photo)
{
    QByteArray bytes(photo.size, Qt::Uninitialized);
    bench::Random random(photo.seed);
    char *out = bytes.data();
    qsizetype i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        const quint64 word = random.next();
        std::memcpy(out + i, &word, 8);
    }
    for (; i < bytes.size(); ++i)
        out[i] = char(random.next());
    static const unsigned char header[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J',
                                           'F',  'I',  'F',  0x00, 0x01, 0x01};
    std::memcpy(out, header, std::min<qsizetype>(sizeof header, bytes.size()));
    if (bytes.size() >= qsizetype(sizeof header) + 2) {
        out[bytes.size() - 2] = char(0xFF);
        out[bytes.size() - 1] = char(0xD9);
    }
    return bytes;
}

QString tablePath(const QString &dir, const QString &file)
{
    return QDir(dir).filePath(file);
}

// Writes back and drops a file's pages from the OS cache, so that read_bytes shows what
// a cold start would read from the disk. Clean pages go even without privileges.
void evictFromCache(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

struct FillResult
{
    qint64 photoBytes = 0;
    double generateSeconds = 0;
    double engineSeconds = 0;
};

FillResult fillDatabase(const QString &dir, const std::vector<PlannedPhoto> &photos)
{
    bench::createPhotoDatabase(dir);
    Table table;
    table.setDatabaseName(dir);

    FillResult result;
    QElapsedTimer timer;
    table.setTableName(schema::kPhotoTableFile);
    timer.start();
    table.open();
    result.engineSeconds += double(timer.nsecsElapsed()) / 1e9;
    QHash<QString, int> keywordCounts;
    for (const PlannedPhoto &photo : photos) {
        timer.start();
        const QByteArray image = photoBytes(photo);
        result.generateSeconds += double(timer.nsecsElapsed()) / 1e9;

        timer.start();
        table.append();
        table.setValue(QStringLiteral("PREFIX"), photo.prefix);
        table.setValue(QStringLiteral("NAME"), photo.name);
        table.setValue(QStringLiteral("EXT"), QStringLiteral(".jpg"));
        table.setValue(QStringLiteral("KEYWORD"), photo.keywords);
        table.setValue(QStringLiteral("COUNT"), 0);
        table.setValue(QStringLiteral("IMAGE_SIZE"), qint64(image.size()));
        table.setBlob(QStringLiteral("IMAGE"), image);
        table.post();
        result.engineSeconds += double(timer.nsecsElapsed()) / 1e9;
        result.photoBytes += image.size();
        for (const QString &word : photo.keywords.split(QLatin1Char(',')))
            ++keywordCounts[word];
    }
    table.close();

    // The Keyword Table as the program keeps it: every keyword with its occurrences.
    table.setTableName(schema::kKeywordTableFile);
    table.open();
    for (const QString &word : vocabulary()) {
        if (!keywordCounts.contains(word))
            continue;
        table.append();
        table.setValue(QStringLiteral("KEYWORD"), word);
        table.setValue(QStringLiteral("COUNT"), keywordCounts.value(word));
        table.post();
    }
    table.close();
    return result;
}

// What a statement must return, so that a fast but wrong walk cannot pass.
struct Expected
{
    int records = 0;
    qint64 photoBytes = 0; // sum of blobSize("IMAGE") over the result
    std::function<bool(const QString &)> keywordMatches;
    bool descendingKeywords = false;
};

Expected expectedFor(const std::vector<PlannedPhoto> &photos, const QString &keywordPart,
                     bool descending)
{
    Expected expected;
    expected.keywordMatches = [keywordPart](const QString &keyword) {
        return keyword.contains(keywordPart);
    };
    expected.descendingKeywords = descending;
    for (const PlannedPhoto &photo : photos) {
        if (photo.keywords.contains(keywordPart)) {
            ++expected.records;
            expected.photoBytes += photo.size;
        }
    }
    return expected;
}

struct Measurement
{
    QString sql;
    int expectedRecords = 0;
    int records = 0;
    qint64 blobTotal = 0;
    double milliseconds = 0;
    qint64 rchar = 0;
    qint64 readBytes = 0;
    QStringList faults; // wrong results, as opposed to reading too much
};

// What the grid and the record counter do: open, then every record from first to last,
// every field by value and the photograph by its size.
Measurement measure(const QString &dir, const QString &sql, const Expected &expected,
                    qint64 overhead, bool evict)
{
    Measurement m;
    m.sql = sql;
    m.expectedRecords = expected.records;
    if (evict) {
        evictFromCache(tablePath(dir, schema::kPhotoTableFile));
        evictFromCache(tablePath(dir, schema::kKeywordTableFile));
    }

    QString previousKeyword;
    int sizeMismatches = 0;
    int keywordMismatches = 0;
    int orderFaults = 0;

    const bench::ProcessIo before = bench::readProcessIo();
    QElapsedTimer timer;
    timer.start();
    {
        Query query;
        query.setDatabaseName(dir);
        query.setSql({sql});
        query.open();
        for (query.first(); !query.eof(); query.next()) {
            ++m.records;
            for (int f = 0; f < query.fieldCount(); ++f) {
                const DataSetField &field = query.field(f);
                if (field.def.type == FieldType::Blob)
                    query.blobSize(field.name);
                else
                    query.value(field.name);
            }
            const qint64 imageSize = query.blobSize(QStringLiteral("IMAGE"));
            m.blobTotal += imageSize;
            if (query.value(QStringLiteral("IMAGE_SIZE")).toLongLong() != imageSize)
                ++sizeMismatches;
            const QString keyword = query.value(QStringLiteral("KEYWORD")).toString();
            if (!expected.keywordMatches(keyword))
                ++keywordMismatches;
            if (expected.descendingKeywords && m.records > 1 && previousKeyword < keyword)
                ++orderFaults;
            previousKeyword = keyword;
        }
        query.close();
    }
    m.milliseconds = bench::msSince(timer);
    const bench::ProcessIo after = bench::readProcessIo();
    m.rchar = after.rchar - before.rchar - overhead;
    m.readBytes = after.readBytes - before.readBytes;

    if (m.records != expected.records)
        m.faults << QStringLiteral("%1 records, expected %2").arg(m.records).arg(expected.records);
    if (m.blobTotal != expected.photoBytes)
        m.faults << QStringLiteral("IMAGE sizes add up to %1 bytes, expected %2")
                        .arg(m.blobTotal)
                        .arg(expected.photoBytes);
    if (sizeMismatches)
        m.faults << QStringLiteral("%1 records whose IMAGE size differs from IMAGE_SIZE")
                        .arg(sizeMismatches);
    if (keywordMismatches)
        m.faults
            << QStringLiteral("%1 records that should not be in the result").arg(keywordMismatches);
    if (orderFaults)
        m.faults << QStringLiteral("%1 records out of KEYWORD descending order").arg(orderFaults);
    return m;
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = parseOptions(argc, argv);

    if (bench::readProcessIo().rchar < 0) {
        std::fprintf(stderr, "bench_blob_browse: /proc/self/io cannot be read\n");
        return 2;
    }

    std::unique_ptr<QTemporaryDir> temporary;
    QString dir = options.dir;
    if (dir.isEmpty()) {
        temporary = bench::makeWorkDirectory("bench_blob_browse", options.keep);
        if (!temporary)
            return 2;
        dir = temporary->path();
    } else {
        dir = QFileInfo(dir).absoluteFilePath();
        if (!QDir().mkpath(dir)) {
            std::fprintf(stderr, "bench_blob_browse: cannot create %s\n", utf8(dir).constData());
            return 2;
        }
        // Creating the tables replaces them: never in a directory that holds a database.
        if (QFileInfo::exists(tablePath(dir, schema::kPhotoTableFile)) ||
            QFileInfo::exists(tablePath(dir, schema::kKeywordTableFile))) {
            std::fprintf(stderr, "bench_blob_browse: %s already holds a photo database\n",
                         utf8(dir).constData());
            return 2;
        }
    }

    int exitCode = 0;
    try {
        const std::vector<PlannedPhoto> photos = planPhotos(options);
        std::printf("database: %s\n", utf8(dir).constData());
        std::printf("filling: %d photos, average %.2f MiB\n", options.records, options.sizeMiB);
        std::fflush(stdout);
        QElapsedTimer total;
        total.start();
        const FillResult fill = fillDatabase(dir, photos);
        const double fillSeconds = double(total.nsecsElapsed()) / 1e9;
        const double photoMiB = double(fill.photoBytes) / double(kMiB);
        std::printf("filled: %lld photo bytes (%.1f MiB) in %.2f s\n", fill.photoBytes, photoMiB,
                    fillSeconds);
        std::printf("  engine (open, append, setValue, setBlob, post): %.2f s = %.1f photos/s, "
                    "%.1f MiB/s\n",
                    fill.engineSeconds, double(options.records) / fill.engineSeconds,
                    photoMiB / fill.engineSeconds);
        std::printf("  generating the photo bytes: %.2f s\n", fill.generateSeconds);
        if (fill.photoBytes < 1000LL * 1000 * 1000)
            std::printf("  note: less than 1 GB of photo bytes; the default run writes more\n");
        std::printf("  photodb.db on disk: %lld bytes\n",
                    QFileInfo(tablePath(dir, schema::kPhotoTableFile)).size());

        const qint64 overhead = sampleOverhead();
        std::printf("\nbrowsing (open + walk every record, every field by value, "
                    "blobSize(\"IMAGE\")); OS cache %s before each; goal: rchar < %.0f%% "
                    "of the photo bytes\n",
                    options.evict ? "dropped" : "kept", kGoalPercent);

        // Every keyword string contains the empty string.
        const QString everyKeyword;
        std::vector<Measurement> results;
        results.push_back(measure(dir, QStringLiteral("select * from PHOTODB.DB ;"),
                                  expectedFor(photos, everyKeyword, false), overhead,
                                  options.evict));
        results.push_back(
            measure(dir, QStringLiteral("select * from PHOTODB.DB order by KEYWORD desc;"),
                    expectedFor(photos, everyKeyword, true), overhead, options.evict));
        results.push_back(
            measure(dir, QStringLiteral("SELECT * FROM PHOTODB.DB WHERE KEYWORD LIKE \"%sea%\";"),
                    expectedFor(photos, QStringLiteral("sea"), false), overhead, options.evict));
        // Read-only results: a DISTINCT and a compound statement.
        results.push_back(measure(dir, QStringLiteral("select distinct * from PHOTODB.DB ;"),
                                  expectedFor(photos, everyKeyword, false), overhead,
                                  options.evict));
        results.push_back(
            measure(dir,
                    QStringLiteral("SELECT * FROM PHOTODB.DB WHERE KEYWORD LIKE \"%sea%\" UNION "
                                   "SELECT * FROM PHOTODB.DB WHERE KEYWORD LIKE \"%sea%\";"),
                    expectedFor(photos, QStringLiteral("sea"), false), overhead, options.evict));

        for (const Measurement &m : results) {
            const double percent = 100.0 * double(m.rchar) / double(fill.photoBytes);
            const bool pass = percent < kGoalPercent;
            std::printf("\n  %s\n", utf8(m.sql).constData());
            std::printf("    records %d (expected %d), open+walk %.1f ms\n", m.records,
                        m.expectedRecords, m.milliseconds);
            std::printf("    rchar %lld bytes = %.4f%% of photo bytes, read_bytes %lld  -> %s\n",
                        m.rchar, percent, m.readBytes, pass ? "PASS" : "FAIL");
            for (const QString &fault : m.faults)
                std::printf("    CHECK FAILED: %s\n", utf8(fault).constData());
            if (!pass || !m.faults.isEmpty())
                exitCode = 1;
        }

        // Control: one photograph read on purpose must show up in rchar.
        {
            Query query;
            query.setDatabaseName(dir);
            query.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
            query.open();
            query.moveTo(query.recordCount() / 2);
            const QString name = query.asString(QStringLiteral("NAME"));
            const qint64 expected = query.blobSize(QStringLiteral("IMAGE"));
            const bench::ProcessIo before = bench::readProcessIo();
            const QByteArray image = query.readBlob(QStringLiteral("IMAGE"));
            const bench::ProcessIo after = bench::readProcessIo();
            query.close();
            const qint64 rchar = after.rchar - before.rchar - overhead;
            const double ratio = double(rchar) / double(std::max<qsizetype>(1, image.size()));

            const auto written =
                std::find_if(photos.begin(), photos.end(),
                             [&](const PlannedPhoto &p) { return p.name == name; });
            const bool sameBytes = written != photos.end() && image == photoBytes(*written);
            // The blob's first bytes sit in its record's page, read while browsing; the
            // rest spans whole overflow pages, each with a pointer besides the data.
            const qint64 slack = 16 * 1024;
            const bool seen = rchar >= image.size() - slack &&
                              double(rchar) <= double(image.size()) * 1.01 + double(slack);
            std::printf("\ncontrol: readBlob(\"IMAGE\") of %s, %lld bytes (blobSize %lld)\n",
                        utf8(name).constData(), qint64(image.size()), expected);
            std::printf("    rchar %lld bytes = %.2f%% of the blob, read_bytes %lld  -> %s\n",
                        rchar, 100.0 * ratio, after.readBytes - before.readBytes,
                        seen ? "PASS (the measure sees blob reads)" : "FAIL");
            std::printf("    bytes equal those written: %s\n", sameBytes ? "yes" : "NO");
            if (!seen || !sameBytes || expected != image.size())
                exitCode = 1;
        }

        // Control: a statement that touches the photographs in SQL reads them through the
        // same pager as browsing does, and that must show up too. Opening it is enough.
        {
            const int count = std::min(10, options.records);
            qint64 expected = 0;
            for (int i = 0; i < count; ++i)
                expected += photos[size_t(i)].size;
            if (options.evict)
                evictFromCache(tablePath(dir, schema::kPhotoTableFile));
            const QString sql =
                QStringLiteral("select NAME, substr(IMAGE, 1, 4) as HEAD from PHOTODB.DB "
                               "where SERIAL <= %1 ;")
                    .arg(count);
            Query query;
            query.setDatabaseName(dir);
            query.setSql({sql});
            // A live query reads a record's fields when they are asked for, not at its
            // opening, so the reads are measured up to the last record's HEAD.
            const bench::ProcessIo before = bench::readProcessIo();
            query.open();
            int jpegHeads = 0;
            for (query.first(); !query.eof(); query.next())
                jpegHeads += query.value(QStringLiteral("HEAD")).toByteArray() ==
                                     QByteArray("\xFF\xD8\xFF\xE0", 4)
                                 ? 1
                                 : 0;
            const bench::ProcessIo after = bench::readProcessIo();
            query.close();
            const qint64 rchar = after.rchar - before.rchar - overhead;
            const double ratio = double(rchar) / double(std::max<qint64>(1, expected));
            const bool seen = ratio >= 0.98;
            std::printf("\ncontrol: %s\n", utf8(sql).constData());
            std::printf(
                "    open and read: rchar %lld bytes = %.2f%% of those %d photos (%lld bytes), "
                "read_bytes %lld  -> %s\n",
                rchar, 100.0 * ratio, count, expected, after.readBytes - before.readBytes,
                seen ? "PASS (the measure sees blob reads in SQL)" : "FAIL");
            std::printf("    records starting FF D8 FF E0: %d of %d\n", jpegHeads, count);
            if (!seen || jpegHeads != count)
                exitCode = 1;
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench_blob_browse: %s\n", error.what());
        exitCode = 1;
    }

    if (!options.dir.isEmpty())
        std::printf("\nkept: %s (given with --dir)\n", utf8(dir).constData());
    return bench::reportEnd(exitCode, options.dir.isEmpty() && options.keep ? dir : QString());
}
