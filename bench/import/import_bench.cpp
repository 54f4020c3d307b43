// Times an import as `pictavo-cli import DB FOLDER` makes it (read each file, decode it for
// the preview, test it for a duplicate through the IMAGE_SIZE index, store it in one durable
// transaction) against the same work done with plain tools: for each file
// `djpeg -scale 1/8 -outfile /dev/null FILE`, then one sqlite3 shell process inserting the
// file's bytes with readfile() into a Photo Table made by our engine (same columns, indexes,
// page size), with PRAGMA synchronous=FULL and the default rollback journal, as our posts
// are: one transaction per file. Three sets: plain 12- and 24-megapixel photos, and a
// camera-like set of 24-megapixel photos with grain (about 3 bits per pixel), some
// progressive, some 4:4:4. The goal: 1.3 times the tools' photos per second on every set,
// 1.6 times on the camera-like one. `--before CLI` times another pictavo-cli (an older
// build) in the same rounds, for comparison; it has no goal.
//
// Exit status: 0 when every size meets the goal and every check holds, 1 otherwise, 2 for
// bad options or a missing tool.

#include "base/error.h"
#include "common/bench_support.h"
#include "common/child_process.h"
#include "common/command_line.h"
#include "db/query.h"
#include "db/schema.h"
#include "support/jpeg_fixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSize>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace pictavo;
using bench::msSince;

namespace {

constexpr int kQuality = 90;

// One set of photos made by the benchmark.
struct PhotoSet
{
    const char *name;
    QSize size;
    int grain = 0;       // fixtures::JpegOptions::grain
    bool camera = false; // every third progressive, every third 4:4:4, quality 92
    double goal = 1.3;   // photos per second against the tools'
};

const PhotoSet kSets[] = {
    {"plain", QSize(4000, 3000)},
    {"plain", QSize(6000, 4000)},
    {"camera-like", QSize(6000, 4000), 7, true, 1.6},
};

struct Options
{
    int photos = 6;
    int rounds = 3;
    bool keep = false;
    QString before;
};

constexpr char kUsage[] =
    "usage: bench_import [--photos N] [--rounds N] [--before CLI] [--keep]\n"
    "  --photos N    photos of each set (default 6)\n"
    "  --rounds N    imports timed per set and side, the median counts (default 3)\n"
    "  --before CLI  also time this pictavo-cli (an older build) in the same rounds\n"
    "  --keep        keep the temporary photos and databases and print where they are\n";

Options parseOptions(int argc, char **argv)
{
    Options options;
    bench::parseCommandLine(argc, argv, kUsage, [&](bench::CommandLine &args) {
        return args.takeInt("--photos", options.photos, 1, 1000) ||
               args.takeInt("--rounds", options.rounds, 1, 1000) ||
               args.takeValue("--before", options.before) ||
               args.takeSwitch("--keep", options.keep);
    });
    return options;
}

// The CPU time (user and system) of the processes run so far, in ms: what the machine
// had to give each side, whatever else was running on it.
double g_cpuMs = 0;

// Runs a program to its end with its standard output going to `output` (or /dev/null)
// and its standard error to /dev/null.
bool runProcess(const QByteArray &program, const std::vector<QByteArray> &args,
                const QByteArray &output = QByteArray("/dev/null"))
{
    const bench::ChildRun run = bench::runProcess(program, args, {output, "/dev/null"});
    g_cpuMs += run.cpuMs;
    return run.ok;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Photo
{
    QString path;
    QByteArray bytes;
};

struct Tools
{
    QByteArray cli, before, djpeg, sqlite3;
};

// Every photo stored, byte for byte; "" when so.
QString checkStored(const QString &dir, const std::vector<Photo> &photos)
{
    Query album;
    album.setDatabaseName(dir);
    album.setSql({QStringLiteral("SELECT * FROM PHOTODB.DB;")});
    album.open();
    if (album.recordCount() != int(photos.size()))
        return QStringLiteral("%1 records, expected %2")
            .arg(album.recordCount())
            .arg(photos.size());
    for (album.first(); !album.eof(); album.next()) {
        const QString name = album.asString(QStringLiteral("NAME"));
        const auto photo = std::find_if(photos.begin(), photos.end(), [&](const Photo &p) {
            return QFileInfo(p.path).completeBaseName() == name;
        });
        if (photo == photos.end() || album.readBlob(QStringLiteral("IMAGE")) != photo->bytes ||
            album.asInteger(QStringLiteral("IMAGE_SIZE")) != photo->bytes.size())
            return QStringLiteral("record %1 does not hold its file's bytes").arg(name);
    }
    return QString();
}

struct SizeResult
{
    QString label;
    double goal = 1.3;
    std::vector<double> ours, before, base, djpeg, insert; // ms per import of all photos
    double oursCpu = 0, beforeCpu = 0, baseCpu = 0;        // ms, all rounds
    QStringList faults;
};

void timeOurs(const QByteArray &cli, const QString &work, const QString &folder,
              const QString &name, const std::vector<Photo> &photos, std::vector<double> &times,
              QStringList &faults)
{
    const QString db = QDir(work).filePath(name);
    bench::createPhotoDatabase(db);
    const QByteArray output = QFile::encodeName(QDir(work).filePath(QStringLiteral("ours.out")));
    QElapsedTimer timer;
    timer.start();
    const bool ok =
        runProcess(cli, {"import", QFile::encodeName(db), QFile::encodeName(folder)}, output);
    times.push_back(msSince(timer));
    const QByteArray printed = readAll(QString::fromLocal8Bit(output));
    const QByteArray summary = QByteArray::number(qsizetype(photos.size())) +
                               " stored, 0 duplicates, 0 not JPEG, 0 failed\n";
    if (!ok || !printed.endsWith(summary))
        faults << QStringLiteral("%1 import failed: %2")
                      .arg(QString::fromLocal8Bit(cli), QString::fromLocal8Bit(printed));
    else if (const QString fault = checkStored(db, photos); !fault.isEmpty())
        faults << fault;
}

void timeBaseline(const Tools &tools, const QString &work, int round,
                  const std::vector<Photo> &photos, SizeResult &result)
{
    const QString dir = QDir(work).filePath(QStringLiteral("base-%1").arg(round));
    bench::createPhotoDatabase(dir);
    const QByteArray table = QFile::encodeName(QDir(dir).filePath(schema::kPhotoTableFile));
    double djpegMs = 0, insertMs = 0;
    bool ok = true;
    QElapsedTimer timer;
    timer.start();
    for (const Photo &photo : photos) {
        const QByteArray file = QFile::encodeName(photo.path);
        const double t0 = msSince(timer);
        ok = runProcess(tools.djpeg, {"-scale", "1/8", "-outfile", "/dev/null", file}) && ok;
        const double t1 = msSince(timer);
        // The names are ours and hold no quote.
        const QByteArray sql = "PRAGMA synchronous=FULL; INSERT INTO photodb(PREFIX, NAME, EXT, "
                               "KEYWORD, COUNT, IMAGE_SIZE, IMAGE) SELECT '', '" +
                               QFileInfo(photo.path).completeBaseName().toUtf8() +
                               "', '.jpg', '*', 0, length(b), b FROM (SELECT readfile('" + file +
                               "') AS b);";
        ok = runProcess(tools.sqlite3, {table, sql}) && ok;
        djpegMs += t1 - t0;
        insertMs += msSince(timer) - t1;
    }
    result.base.push_back(msSince(timer));
    result.djpeg.push_back(djpegMs);
    result.insert.push_back(insertMs);
    if (!ok)
        result.faults << QStringLiteral("a djpeg or sqlite3 run failed");
    else if (const QString fault = checkStored(dir, photos); !fault.isEmpty())
        result.faults << QStringLiteral("baseline: ") + fault;
}

SizeResult runSet(const Tools &tools, const Options &options, const QString &work,
                  const PhotoSet &set)
{
    const QSize size = set.size;
    SizeResult result;
    result.goal = set.goal;
    result.label = QStringLiteral("%1 %2 x %3 (%4 MP)")
                       .arg(QLatin1String(set.name))
                       .arg(size.width())
                       .arg(size.height())
                       .arg(qint64(size.width()) * size.height() / 1000000);
    const QString folder = QDir(work).filePath(QStringLiteral("photos"));
    QDir().mkpath(folder);
    std::vector<Photo> photos;
    qint64 bytes = 0;
    for (int i = 0; i < options.photos; ++i) {
        fixtures::JpegOptions jpeg;
        jpeg.quality = set.camera ? 92 : kQuality;
        jpeg.seed = quint32(100 + i);
        jpeg.grain = set.grain;
        jpeg.progressive = set.camera && i % 3 == 1;
        jpeg.fullChroma = set.camera && i % 3 == 2;
        Photo photo{QDir(folder).filePath(
                        QStringLiteral("photo%1.jpg").arg(i + 1, 2, 10, QLatin1Char('0'))),
                    fixtures::makeJpeg(size.width(), size.height(), jpeg)};
        if (photo.bytes.isEmpty() || !bench::writeFile(photo.path, photo.bytes))
            throw Error(QStringLiteral("cannot write %1").arg(photo.path));
        bytes += photo.bytes.size();
        photos.push_back(photo);
    }
    std::printf("\n%s: %d photos, %.1f MiB in all, %.2f bits per pixel\n",
                result.label.toUtf8().constData(), options.photos,
                double(bytes) / (1024.0 * 1024.0),
                double(bytes) * 8 / (double(size.width()) * size.height() * options.photos));
    for (int round = 0; round < options.rounds; ++round) {
        // Turn the order round, so that no side always finds a warmer machine.
        // Each side's CPU time is added up too.
        const auto side = [](double &cpu, const std::function<void()> &timed) {
            const double start = g_cpuMs;
            timed();
            cpu += g_cpuMs - start;
        };
        const auto ours = [&] {
            side(result.oursCpu, [&] {
                timeOurs(tools.cli, work, folder, QStringLiteral("ours-%1").arg(round), photos,
                         result.ours, result.faults);
            });
        };
        const auto before = [&] {
            if (!tools.before.isEmpty())
                side(result.beforeCpu, [&] {
                    timeOurs(tools.before, work, folder, QStringLiteral("before-%1").arg(round),
                             photos, result.before, result.faults);
                });
        };
        const auto base = [&] {
            side(result.baseCpu, [&] { timeBaseline(tools, work, round, photos, result); });
        };
        switch (round % 3) {
        case 0:
            ours(), before(), base();
            break;
        case 1:
            base(), ours(), before();
            break;
        default:
            before(), base(), ours();
            break;
        }
        std::printf("  round %d: pictavo-cli import %.0f ms;", round + 1, result.ours.back());
        if (!result.before.empty())
            std::printf(" before %.0f ms;", result.before.back());
        std::printf(" tools %.0f ms (djpeg %.0f, sqlite3 %.0f)\n", result.base.back(),
                    result.djpeg.back(), result.insert.back());
        std::fflush(stdout);
    }
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = parseOptions(argc, argv);

    Tools tools;
    tools.cli = QByteArray(PICTAVO_CLI);
    tools.before = QFile::encodeName(options.before);
    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    const QString sqlite3 = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (djpeg.isEmpty() || sqlite3.isEmpty()) {
        std::fprintf(stderr, "bench_import: djpeg and sqlite3 are needed on PATH (apt-get install "
                             "libjpeg-turbo-progs sqlite3)\n");
        return 2;
    }
    tools.djpeg = QFile::encodeName(djpeg);
    tools.sqlite3 = QFile::encodeName(sqlite3);
    std::printf("pictavo-cli: %s\ndjpeg: %s\nsqlite3: %s\n", tools.cli.constData(),
                tools.djpeg.constData(), tools.sqlite3.constData());
    std::printf(
        "work per photo on both sides: read the file, decode it at 1/8 scale, store its bytes\n"
        "in one transaction with synchronous=FULL and a rollback journal\n");

    const std::unique_ptr<QTemporaryDir> temporary =
        bench::makeWorkDirectory("bench_import", options.keep);
    if (!temporary)
        return 2;

    int exitCode = 0;
    std::vector<SizeResult> results;
    try {
        for (const PhotoSet &set : kSets) {
            const QString work =
                QDir(temporary->path())
                    .filePath(
                        QStringLiteral("%1-%2").arg(QLatin1String(set.name)).arg(set.size.width()));
            results.push_back(runSet(tools, options, work, set));
            if (!options.keep) // the photos and databases of one size, before the next
                QDir(work).removeRecursively();
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench_import: %s\n", error.what());
        return 1;
    }

    std::printf("\ngoal: photos per second of pictavo-cli import >= the set's goal x the tools' "
                "(medians of %d rounds)\n",
                options.rounds);
    for (const SizeResult &result : results) {
        const double ours = options.photos * 1000.0 / bench::median(result.ours);
        const double base = options.photos * 1000.0 / bench::median(result.base);
        const bool pass = result.faults.isEmpty() && ours >= result.goal * base;
        std::printf("  %s: tools %.2f photos/s; pictavo-cli %.2f photos/s = %.2f x",
                    result.label.toUtf8().constData(), base, ours, ours / base);
        if (!result.before.empty()) {
            const double before = options.photos * 1000.0 / bench::median(result.before);
            std::printf("; before %.2f photos/s = %.2f x", before, before / base);
        }
        std::printf("  (goal %.1f) -> %s\n", result.goal, pass ? "PASS" : "FAIL");
        const double photosDone = double(options.photos) * options.rounds;
        std::printf("    CPU time per photo: tools %.0f ms, pictavo-cli %.0f ms",
                    result.baseCpu / photosDone, result.oursCpu / photosDone);
        if (!result.before.empty())
            std::printf(", before %.0f ms", result.beforeCpu / photosDone);
        std::printf("\n");
        for (const QString &fault : result.faults)
            std::printf("    check failed: %s\n", fault.toUtf8().constData());
        if (!pass)
            exitCode = 1;
    }
    return bench::reportEnd(exitCode, options.keep ? temporary->path() : QString());
}
