// Times a record move as the main window makes it: read the current record's photo from
// the database, read its header, fit it to the picture area and decode it at the DCT scale
// a drawn picture is decoded at for the fitted size. The yardstick is the djpeg tool
// decoding the same 24-megapixel file at full size. Both are timed in the same rounds, so
// that a change in the machine's load falls on both alike. A move may take at most 0.8
// times djpeg's decode.
//
// Exit status: 0 when every area meets the goal and every check holds, 1 otherwise, 2 for
// bad options or a missing djpeg.

#include "base/error.h"
#include "common/bench_support.h"
#include "common/child_process.h"
#include "common/command_line.h"
#include "db/query.h"
#include "db/schema.h"
#include "db/table.h"
#include "picture/display_picture.h"
#include "picture/jpeg_decoder.h"
#include "picture/picture_fit.h"
#include "support/jpeg_fixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <numeric>
#include <optional>
#include <sys/resource.h>
#include <vector>

#include <jpeglib.h>

using namespace pictavo;
using bench::ChildRun;
using bench::msSince;
using bench::runProcess;
using bench::utf8;

namespace {

constexpr double kGoalRatio = 0.8;
constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kQuality = 90;
constexpr double kMiB = 1024.0 * 1024.0;
// Mean difference per channel between a reduced decode and the full decode averaged over
// the same pixels. DCT scaling and chroma upsampling differ from plain averaging by a level
// or two; a wrong scale, a shifted or mirrored picture or swapped channels differ by tens.
constexpr double kMaxReducedDifference = 4.0;

struct Options
{
    int moves = 30; // per area
    int photos = 5;
    int runs = 10; // of djpeg, and of our own full-size decode
    std::vector<QSize> areas;
    bool keep = false;
};

constexpr char kUsage[] =
    "usage: bench_record_move [--moves N] [--photos N] [--runs N] [--area WxH[,WxH...]]...\n"
    "                         [--keep]\n"
    "  --moves N   record moves timed per picture area (default 30)\n"
    "  --photos N  6000 x 4000 photos in the database, moved over in turn (2 or more,\n"
    "              default 5)\n"
    "  --runs N    djpeg runs, and full-size decodes of our own (default 10)\n"
    "  --area WxH  picture area; repeatable, or a comma-separated list\n"
    "              (default 800x600 and 1600x1000)\n"
    "  --keep      keep the temporary database and JPEG files and print where they are\n";

std::optional<QSize> parseArea(const QString &text)
{
    const QStringList parts =
        text.trimmed().split(QLatin1Char('x'), Qt::KeepEmptyParts, Qt::CaseInsensitive);
    if (parts.size() != 2)
        return std::nullopt;
    bool okWidth = false, okHeight = false;
    const int width = parts[0].toInt(&okWidth);
    const int height = parts[1].toInt(&okHeight);
    if (!okWidth || !okHeight || width < 1 || height < 1 || width > 65535 || height > 65535)
        return std::nullopt;
    return QSize(width, height);
}

Options parseOptions(int argc, char **argv)
{
    Options options;
    bench::parseCommandLine(argc, argv, kUsage, [&](bench::CommandLine &args) {
        QString areas;
        if (args.takeValue("--area", areas)) {
            for (const QString &item : areas.split(QLatin1Char(','))) {
                const std::optional<QSize> area = parseArea(item);
                if (!area)
                    args.fail();
                options.areas.push_back(*area);
            }
            return true;
        }
        return args.takeInt("--moves", options.moves, 1, 100000) ||
               // a move goes to another record
               args.takeInt("--photos", options.photos, 2, 1000) ||
               args.takeInt("--runs", options.runs, 1, 10000) ||
               args.takeSwitch("--keep", options.keep);
    });
    if (options.areas.empty())
        options.areas = {QSize(800, 600), QSize(1600, 1000)};
    return options;
}

struct Stats
{
    double median = 0;
    double mean = 0;
    double min = 0;
    double max = 0;
};

Stats statsOf(const std::vector<double> &values)
{
    Stats s;
    if (values.empty())
        return s;
    s.median = bench::median(values);
    s.mean = std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
    const auto [min, max] = std::minmax_element(values.begin(), values.end());
    s.min = *min;
    s.max = *max;
    return s;
}

// CPU time of this thread (user and system, so page faults count) and its page faults.
// Other processes on a loaded machine stretch wall times, but not these.
struct CpuSample
{
    double cpuMs = 0;
    long pageFaults = 0;
};

CpuSample cpuNow()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return {double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6, usage.ru_minflt + usage.ru_majflt};
}

struct Photo
{
    QString name;
    QByteArray jpeg;
};

void fillDatabase(const QString &dir, const std::vector<Photo> &photos)
{
    bench::createPhotoDatabase(dir);
    Table table;
    table.setDatabaseName(dir);
    table.setTableName(schema::kPhotoTableFile);
    table.open();
    for (const Photo &photo : photos) {
        table.append();
        table.setValue(QStringLiteral("PREFIX"), QStringLiteral("holiday"));
        table.setValue(QStringLiteral("NAME"), photo.name);
        table.setValue(QStringLiteral("EXT"), QStringLiteral(".jpg"));
        table.setValue(QStringLiteral("KEYWORD"), QStringLiteral("sea,beach"));
        table.setValue(QStringLiteral("COUNT"), 0);
        table.setValue(QStringLiteral("IMAGE_SIZE"), qint64(photo.jpeg.size()));
        table.setBlob(QStringLiteral("IMAGE"), photo.jpeg);
        table.post();
    }
    table.close();
}

// Every record must give back the bytes stored for it, or the moves time the wrong thing.
QStringList checkBlobs(Query &query, const std::vector<Photo> &photos)
{
    QStringList faults;
    if (query.recordCount() != int(photos.size()))
        faults << QStringLiteral("%1 records, expected %2")
                      .arg(query.recordCount())
                      .arg(photos.size());
    for (query.first(); !query.eof(); query.next()) {
        const QString name = query.asString(QStringLiteral("NAME"));
        const auto photo = std::find_if(photos.begin(), photos.end(),
                                        [&](const Photo &p) { return p.name == name; });
        if (photo == photos.end()) {
            faults << QStringLiteral("record %1 is not a photo that was stored").arg(name);
            continue;
        }
        if (query.blobSize(QStringLiteral("IMAGE")) != photo->jpeg.size() ||
            query.readBlob(QStringLiteral("IMAGE")) != photo->jpeg)
            faults << QStringLiteral("IMAGE of %1 differs from the bytes stored").arg(name);
    }
    return faults;
}

void channels(quint32 word, int rgb[3])
{
    rgb[0] = int((word >> 16) & 0xff);
    rgb[1] = int((word >> 8) & 0xff);
    rgb[2] = int(word & 0xff);
}

// djpeg's PPM against our full decode of the same file: the same library at its default
// settings should give the same samples. Returns a fault, or an empty string.
QString compareWithPpm(const QString &ppmPath, const DecodedPicture &full, QString *summary)
{
    QFile file(ppmPath);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("djpeg wrote no output file");
    const QByteArray ppm = file.readAll();
    int width = 0, height = 0, maxValue = 0, headerLength = 0;
    const QByteArray head = ppm.left(64);
    if (std::sscanf(head.constData(), "P6 %d %d %d%n", &width, &height, &maxValue, &headerLength) !=
        3)
        return QStringLiteral("djpeg's output is not a binary PPM");
    ++headerLength; // the single whitespace byte after the maximum value
    const qint64 expected = qint64(headerLength) + qint64(width) * height * 3;
    if (QSize(width, height) != full.fullSize || maxValue != 255 || ppm.size() != expected)
        return QStringLiteral("djpeg's output is %1 x %2 (%3 bytes), not the full %4 x %5")
            .arg(width)
            .arg(height)
            .arg(ppm.size())
            .arg(full.fullSize.width())
            .arg(full.fullSize.height());
    qint64 differing = 0;
    int largest = 0;
    const auto *samples = reinterpret_cast<const uchar *>(ppm.constData()) + headerLength;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int ours[3];
            channels(full.pixel(x, y), ours);
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(ours[c] - int(*samples++));
                differing += d != 0 ? 1 : 0;
                largest = std::max(largest, d);
            }
        }
    }
    *summary = differing == 0 ? QStringLiteral("identical to ours, sample for sample")
                              : QStringLiteral("%1 samples differ from ours, by at most %2")
                                    .arg(differing)
                                    .arg(largest);
    return QString();
}

// Mean difference per channel between a reduced decode and the full decode averaged over
// the pixels each reduced pixel stands for, on a grid of sample points.
double reducedDifference(const DecodedPicture &reduced, const DecodedPicture &full)
{
    const int m = reduced.scaleEighths;
    double total = 0;
    int count = 0;
    for (int gy = 0; gy < 48; ++gy) {
        for (int gx = 0; gx < 64; ++gx) {
            const int x = (2 * gx + 1) * reduced.size.width() / 128;
            const int y = (2 * gy + 1) * reduced.size.height() / 96;
            const int x0 = x * 8 / m, x1 = std::min(full.size.width(), ((x + 1) * 8 + m - 1) / m);
            const int y0 = y * 8 / m, y1 = std::min(full.size.height(), ((y + 1) * 8 + m - 1) / m);
            double sum[3] = {0, 0, 0};
            for (int fy = y0; fy < y1; ++fy) {
                for (int fx = x0; fx < x1; ++fx) {
                    int rgb[3];
                    channels(full.pixel(fx, fy), rgb);
                    for (int c = 0; c < 3; ++c)
                        sum[c] += rgb[c];
                }
            }
            const double n = double((x1 - x0) * (y1 - y0));
            int rgb[3];
            channels(reduced.pixel(x, y), rgb);
            for (int c = 0; c < 3; ++c) {
                total += std::abs(double(rgb[c]) - sum[c] / n);
                ++count;
            }
        }
    }
    return total / count;
}

// One picture area with its own display, as if the window had that size for the run.
struct AreaRun
{
    QSize area;
    DisplayPicture picture;
    QSize fitted;
    int scale = 0;
    QSize decoded;
    std::vector<double> total, moveTo, readBlob, setJpeg, fit, pixelsFor, cpu, pageFaults;
    QStringList faults;
};

// One record move as the window makes it; timed per step when `timed`.
void recordMove(Query &query, AreaRun &run, bool timed)
{
    const int next = (query.recNo() + 1) % query.recordCount();
    const int decodesBefore = run.picture.decodeCount();

    const CpuSample before = cpuNow();
    QElapsedTimer timer;
    timer.start();
    query.moveTo(next);
    const double t1 = msSince(timer);
    const QByteArray jpeg = query.readBlob(QStringLiteral("IMAGE"));
    const double t2 = msSince(timer);
    run.picture.setJpeg(jpeg);
    const double t3 = msSince(timer);
    const QSize full = run.picture.fullSize();
    const QSize fitted =
        FitPicture(full.width(), full.height(), run.area.width(), run.area.height());
    const double t4 = msSince(timer);
    const DecodedPicture &pixels = run.picture.pixelsFor(fitted);
    const double t5 = msSince(timer);
    const CpuSample after = cpuNow();

    if (timed) {
        run.total.push_back(t5);
        run.moveTo.push_back(t1);
        run.readBlob.push_back(t2 - t1);
        run.setJpeg.push_back(t3 - t2);
        run.fit.push_back(t4 - t3);
        run.pixelsFor.push_back(t5 - t4);
        run.cpu.push_back(after.cpuMs - before.cpuMs);
        run.pageFaults.push_back(double(after.pageFaults - before.pageFaults));
    }
    // A move that skipped the read or the decode would time nothing.
    run.fitted = fitted;
    run.scale = pixels.scaleEighths;
    run.decoded = pixels.size;
    if (query.recNo() != next || jpeg.size() != query.blobSize(QStringLiteral("IMAGE")))
        run.faults << QStringLiteral("move to record %1 did not read its photo").arg(next);
    if (run.picture.decodeCount() != decodesBefore + 1 || pixels.isNull())
        run.faults << QStringLiteral("move to record %1 did not decode").arg(next);
    else if (pixels.scaleEighths != JpegDecoder::drawScale(full, fitted) ||
             pixels.size.width() < fitted.width() || pixels.size.height() < fitted.height())
        run.faults << QStringLiteral("decode at %1/8 (%2 x %3) for a fitted %4 x %5")
                          .arg(pixels.scaleEighths)
                          .arg(pixels.size.width())
                          .arg(pixels.size.height())
                          .arg(fitted.width())
                          .arg(fitted.height());
}

void printStats(const char *label, const std::vector<double> &values)
{
    const Stats s = statsOf(values);
    std::printf("    %-12s median %8.2f ms, mean %8.2f ms (min %.2f, max %.2f)\n", label, s.median,
                s.mean, s.min, s.max);
}

void printCount(const char *label, const std::vector<double> &values)
{
    const Stats s = statsOf(values);
    std::printf("    %-12s median %8.0f,    mean %8.0f    (min %.0f, max %.0f)\n", label, s.median,
                s.mean, s.min, s.max);
}

QString djpegVersion(const QString &djpeg)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(djpeg, {QStringLiteral("-version")});
    if (!process.waitForFinished(10000))
        return QStringLiteral("(version unknown)");
    return QString::fromLocal8Bit(process.readAll()).trimmed();
}

int runBenchmark(const Options &options, const QString &dir, const QByteArray &djpeg)
{
    int exitCode = 0;
    const auto fault = [&](const QString &text) {
        std::printf("  CHECK FAILED: %s\n", utf8(text).constData());
        exitCode = 1;
    };

    // 1. Photos, database, and the files djpeg reads.
    std::printf("making %d photos of %d x %d at quality %d...\n", options.photos, kWidth, kHeight,
                kQuality);
    std::fflush(stdout);
    QElapsedTimer timer;
    timer.start();
    std::vector<Photo> photos;
    for (int i = 0; i < options.photos; ++i) {
        fixtures::JpegOptions jpegOptions;
        jpegOptions.quality = kQuality;
        jpegOptions.seed = quint32(i + 1);
        photos.push_back({QStringLiteral("img_%1").arg(i + 1, 4, 10, QLatin1Char('0')),
                          fixtures::makeJpeg(kWidth, kHeight, jpegOptions)});
        if (photos.back().jpeg.isEmpty())
            throw Error(QStringLiteral("libjpeg could not make a photo"));
    }
    const double makeSeconds = msSince(timer) / 1e3;
    const QString dbDir = QDir(dir).filePath(QStringLiteral("db"));
    const QString photoPath = QDir(dir).filePath(QStringLiteral("photo.jpg"));
    const QString tinyPath = QDir(dir).filePath(QStringLiteral("tiny.jpg"));
    const QByteArray &photoJpeg = photos.front().jpeg;
    if (!QDir().mkpath(dbDir) || !bench::writeFile(photoPath, photoJpeg) ||
        !fixtures::makeTestJpegFile(tinyPath, 8, 8))
        throw Error(QStringLiteral("cannot write to %1").arg(dir));
    timer.start();
    fillDatabase(dbDir, photos);
    const double fillSeconds = msSince(timer) / 1e3;
    qint64 smallest = photos.front().jpeg.size(), largest = 0, sum = 0;
    for (const Photo &photo : photos) {
        smallest = std::min(smallest, qint64(photo.jpeg.size()));
        largest = std::max(largest, qint64(photo.jpeg.size()));
        sum += photo.jpeg.size();
    }
    const double bitsPerPixel = double(sum) * 8.0 / double(photos.size()) / kWidth / kHeight;
    std::printf("  made in %.1f s; %.2f to %.2f MiB each, %.2f bits per pixel on average\n",
                makeSeconds, double(smallest) / kMiB, double(largest) / kMiB, bitsPerPixel);
    if (bitsPerPixel < 2.0)
        std::printf("  note: camera photos of this size hold about 2.5 to 4 bits per pixel; the\n"
                    "  entropy decoding that no DCT scale shortens weighs more in those\n");
    std::printf("  stored in %.1f s in %s\n", fillSeconds, utf8(dbDir).constData());
    std::printf("  djpeg reads %s (the bytes of %s) and %s (8 x 8)\n", utf8(photoPath).constData(),
                utf8(photos.front().name).constData(), utf8(tinyPath).constData());

    Query query;
    query.setDatabaseName(dbDir);
    query.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    query.open();

    // 2. Checks, untimed; their full-size decode is let go before the timing.
    std::printf("\nchecks\n");
    {
        const QStringList blobFaults = checkBlobs(query, photos);
        for (const QString &text : blobFaults)
            fault(text);
        if (blobFaults.isEmpty())
            std::printf("  every record's IMAGE equals the bytes stored for it\n");
        DisplayPicture reference;
        reference.setJpeg(photoJpeg);
        const DecodedPicture full = reference.pixelsFor(QSize());
        if (!full.isFullSize() || full.size != QSize(kWidth, kHeight))
            fault(QStringLiteral("our full-size decode is not %1 x %2").arg(kWidth).arg(kHeight));
        const QString ppmPath = QDir(dir).filePath(QStringLiteral("djpeg.ppm"));
        const ChildRun toFile =
            runProcess(djpeg, {QByteArray("-outfile"), QFile::encodeName(ppmPath),
                               QFile::encodeName(photoPath)});
        QString ppmSummary;
        const QString ppmFault = toFile.ok ? compareWithPpm(ppmPath, full, &ppmSummary)
                                           : QStringLiteral("djpeg failed on %1").arg(photoPath);
        QFile::remove(ppmPath); // 72 MB that nothing needs any more
        if (!ppmFault.isEmpty())
            fault(ppmFault);
        else
            std::printf("  djpeg's full-size PPM: %s\n", utf8(ppmSummary).constData());
        for (const QSize &area : options.areas) {
            DisplayPicture display;
            display.setJpeg(photoJpeg);
            const QSize fitted = FitPicture(kWidth, kHeight, area.width(), area.height());
            const DecodedPicture &reduced = display.pixelsFor(fitted);
            const double difference = reducedDifference(reduced, full);
            std::printf("  area %d x %d: decode at %d/8 differs from the full decode averaged by "
                        "%.2f per channel (at most %.1f)\n",
                        area.width(), area.height(), reduced.scaleEighths, difference,
                        kMaxReducedDifference);
            if (difference > kMaxReducedDifference)
                fault(QStringLiteral("the reduced decode does not show the picture"));
        }
    }

    // 3. Timing, in rounds: djpeg on the photo, djpeg on the 8 x 8 file, our full decode,
    // then a share of the moves of each area.
    std::vector<AreaRun> runs(options.areas.size());
    for (size_t a = 0; a < runs.size(); ++a)
        runs[a].area = options.areas[a];
    const std::vector<QByteArray> photoArgs = {"-outfile", "/dev/null",
                                               QFile::encodeName(photoPath)};
    const std::vector<QByteArray> tinyArgs = {"-outfile", "/dev/null", QFile::encodeName(tinyPath)};
    std::vector<double> djpegWall, djpegCpu, djpegFaults, tinyWall, tinyCpu, tinyFaults;
    std::vector<double> ownFull, ownCpu, ownFaults;
    // 1/1 on one record after another in the same picture, as the windows do it: each
    // full-size decode may write into the pixels of the one before.
    std::vector<double> reusedFull, reusedCpu, reusedFaults;
    DisplayPicture reused;

    // Untimed warm-up: page cache, dynamic loader, allocator.
    query.first();
    runProcess(djpeg, photoArgs);
    runProcess(djpeg, tinyArgs);
    for (AreaRun &run : runs)
        recordMove(query, run, false);

    std::printf("\ntiming: %d rounds of djpeg on the photo, djpeg on the 8 x 8 file, our "
                "full-size decode, and about %d moves per area\n",
                options.runs, (options.moves + options.runs - 1) / options.runs);
    std::fflush(stdout);
    for (int round = 0; round < options.runs; ++round) {
        const ChildRun photoRun = runProcess(djpeg, photoArgs);
        const ChildRun tinyRun = runProcess(djpeg, tinyArgs);
        if (!photoRun.ok || !tinyRun.ok)
            throw Error(QStringLiteral("djpeg failed"));
        djpegWall.push_back(photoRun.wallMs);
        djpegCpu.push_back(photoRun.cpuMs);
        djpegFaults.push_back(double(photoRun.pageFaults));
        tinyWall.push_back(tinyRun.wallMs);
        tinyCpu.push_back(tinyRun.cpuMs);
        tinyFaults.push_back(double(tinyRun.pageFaults));

        DisplayPicture own;
        own.setJpeg(photoJpeg);
        const CpuSample before = cpuNow();
        timer.start();
        const DecodedPicture &ownPixels = own.pixelsFor(QSize());
        ownFull.push_back(msSince(timer));
        const CpuSample after = cpuNow();
        ownCpu.push_back(after.cpuMs - before.cpuMs);
        ownFaults.push_back(double(after.pageFaults - before.pageFaults));
        if (!ownPixels.isFullSize())
            fault(QStringLiteral("our full-size decode was not full size"));

        reused.setJpeg(photos[1].jpeg);
        reused.pixelsFor(QSize());
        reused.setJpeg(photoJpeg);
        const CpuSample reusedBefore = cpuNow();
        timer.start();
        const DecodedPicture &reusedPixels = reused.pixelsFor(QSize());
        reusedFull.push_back(msSince(timer));
        const CpuSample reusedAfter = cpuNow();
        reusedCpu.push_back(reusedAfter.cpuMs - reusedBefore.cpuMs);
        reusedFaults.push_back(double(reusedAfter.pageFaults - reusedBefore.pageFaults));
        if (reusedPixels.pixels != ownPixels.pixels)
            fault(QStringLiteral("a full-size decode into reused pixels differs"));

        const int from = round * options.moves / options.runs;
        const int to = (round + 1) * options.moves / options.runs;
        for (AreaRun &run : runs)
            for (int i = from; i < to; ++i)
                recordMove(query, run, true);
    }
    query.close();

    // 4. Results.
    const Stats djpegStats = statsOf(djpegWall);
    const Stats tinyStats = statsOf(tinyWall);
    const double djpegNet = djpegStats.median - tinyStats.median;
    std::printf("\nrecord moves over %d records (moveTo, readBlob(\"IMAGE\"), "
                "DisplayPicture::setJpeg, FitPicture, pixelsFor(fitted)):\n",
                options.photos);
    for (const AreaRun &run : runs) {
        std::printf("  area %d x %d: fitted %d x %d, decoded at %d/8 = %d x %d, %zu moves\n",
                    run.area.width(), run.area.height(), run.fitted.width(), run.fitted.height(),
                    run.scale, run.decoded.width(), run.decoded.height(), run.total.size());
        printStats("move", run.total);
        printStats("moveTo", run.moveTo);
        printStats("readBlob", run.readBlob);
        printStats("setJpeg", run.setJpeg);
        printStats("FitPicture", run.fit);
        printStats("pixelsFor", run.pixelsFor);
        printStats("move CPU", run.cpu);
        printCount("page faults", run.pageFaults);
        for (const QString &text : run.faults)
            fault(text);
    }
    std::printf("\nour full-size decode (pixelsFor(QSize()), %d x %d), %zu runs:\n", kWidth,
                kHeight, ownFull.size());
    std::printf("  the first in its picture (new pixel memory):\n");
    printStats("decode", ownFull);
    printStats("CPU", ownCpu);
    printCount("page faults", ownFaults);
    std::printf("  after another 1/1 photo in the same picture (its pixel memory reused):\n");
    printStats("decode", reusedFull);
    printStats("CPU", reusedCpu);
    printCount("page faults", reusedFaults);

    std::printf("\ndjpeg, %zu runs each: %s %s %s %s\n", djpegWall.size(), djpeg.constData(),
                photoArgs[0].constData(), photoArgs[1].constData(), photoArgs[2].constData());
    std::printf("  (default settings: PPM output, accurate integer DCT, smooth upsampling)\n");
    std::printf("  on the photo, process start included:\n");
    printStats("wall", djpegWall);
    printStats("CPU", djpegCpu);
    printCount("page faults", djpegFaults);
    std::printf("  on the 8 x 8 file (start, loading, exit, next to no decoding):\n");
    printStats("wall", tinyWall);
    printStats("CPU", tinyCpu);
    printCount("page faults", tinyFaults);
    const double djpegNetCpu = statsOf(djpegCpu).median - statsOf(tinyCpu).median;
    std::printf("  decode without process start (median on the photo - median on 8 x 8): "
                "%.2f ms wall, %.2f ms CPU\n",
                djpegNet, djpegNetCpu);
    std::printf("  our full-size decode / djpeg's: first in its picture %.2f wall, %.2f CPU; "
                "memory reused %.2f wall, %.2f CPU\n",
                statsOf(ownFull).median / djpegNet, statsOf(ownCpu).median / djpegNetCpu,
                statsOf(reusedFull).median / djpegNet, statsOf(reusedCpu).median / djpegNetCpu);

    std::printf("\ngoal: median move <= %.1f x djpeg's decode without process start\n", kGoalRatio);
    for (const AreaRun &run : runs) {
        const double move = statsOf(run.total).median;
        const double ratio = move / djpegNet;
        const bool pass = djpegNet > 0 && ratio <= kGoalRatio;
        std::printf("  area %d x %d: %.2f ms / %.2f ms = %.3f  -> %s\n", run.area.width(),
                    run.area.height(), move, djpegNet, ratio, pass ? "PASS" : "FAIL");
        std::printf("    cross-checks: with djpeg's process start %.3f; CPU time %.2f ms / "
                    "%.2f ms = %.3f\n",
                    move / djpegStats.median, statsOf(run.cpu).median, djpegNetCpu,
                    statsOf(run.cpu).median / djpegNetCpu);
        if (!pass)
            exitCode = 1;
    }
    return exitCode;
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = parseOptions(argc, argv);

    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    if (djpeg.isEmpty()) {
        std::fprintf(stderr, "bench_record_move: djpeg not found on PATH; it comes with "
                             "libjpeg-turbo-progs (apt-get install libjpeg-turbo-progs)\n");
        return 2;
    }
    std::printf("djpeg: %s, %s\n", utf8(djpeg).constData(), utf8(djpegVersion(djpeg)).constData());
    std::printf("our libjpeg: libjpeg-turbo %d.%d.%d, API version %d\n",
                LIBJPEG_TURBO_VERSION_NUMBER / 1000000, LIBJPEG_TURBO_VERSION_NUMBER / 1000 % 1000,
                LIBJPEG_TURBO_VERSION_NUMBER % 1000, JPEG_LIB_VERSION);

    const std::unique_ptr<QTemporaryDir> temporary =
        bench::makeWorkDirectory("bench_record_move", options.keep);
    if (!temporary)
        return 2;

    int exitCode = 0;
    try {
        exitCode = runBenchmark(options, temporary->path(), QFile::encodeName(djpeg));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench_record_move: %s\n", error.what());
        exitCode = 1;
    }
    return bench::reportEnd(exitCode, options.keep ? temporary->path() : QString());
}
