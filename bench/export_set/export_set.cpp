// bench_export_set: `pictavo-cli export-set` of a library of about 1 GB against the least
// a program must do to write the same photos out: the sqlite3 shell's writefile() of every
// photo in one statement. Each side starts from a cold OS cache and is timed until its
// files are on the disk (the command, then `sync`): export-set makes each file durable
// before it takes its name, writefile() leaves them in the OS cache. The export's largest
// resident set is read too, against 64 MB plus the largest photo.
#include "common/bench_support.h"
#include "common/child_process.h"
#include "common/command_line.h"
#include "common/photo_fill.h"
#include "support/jpeg_fixtures.h"

#include <QDir>
#include <QDirIterator>
#include <QStandardPaths>

#include <cstdio>

using namespace pictavo;

namespace {

const char kUsage[] = "usage: bench_export_set [--photos N] [--size-mb M] [--runs R] [--keep]\n";
// export-set's rate / the sqlite3 shell's, at least.
constexpr double kRateGoal = 0.8;
constexpr double kMemoryAllowanceMb = 64;

// The baseline, in one place: the sqlite3 shell writing every photo to DEST/NAME+EXT in one
// statement. It names the table that holds the Photo Table in photodb.db's current layout;
// when that layout changes, this statement is what changes with it.
const char kSqlite3Statement[] =
    "SELECT count(writefile('%1/' || NAME || EXT, IMAGE)) FROM photodb;";

struct Options
{
    int photos = 400;
    double sizeMb = 2.6;
    int runs = 5;
    bool keep = false;
};

struct Timed
{
    double commandMs = -1; // the command alone
    double diskMs = -1;    // the command and the `sync` after it
    long maxRssKb = 0;
};

// From a cold cache; negative times when the command failed.
Timed timed(const QByteArray &program, const std::vector<QByteArray> &args)
{
    Timed result;
    if (!bench::dropOsCache())
        return result;
    const bench::ChildRun run = bench::runProcess(program, args, {"/dev/null", ""});
    const bench::ChildRun flush = bench::runProcess("/bin/sync", {});
    if (run.ok && flush.ok) {
        result.commandMs = run.wallMs;
        result.diskMs = run.wallMs + flush.wallMs;
        result.maxRssKb = run.maxRssKb;
    }
    return result;
}

// Files below `dir` and their bytes.
std::pair<int, qint64> filesIn(const QString &dir)
{
    std::pair<int, qint64> found{0, 0};
    for (QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        it.next();
        ++found.first;
        found.second += it.fileInfo().size();
    }
    return found;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    bench::parseCommandLine(argc, argv, kUsage, [&](bench::CommandLine &c) {
        return c.takeInt("--photos", options.photos, 1, 100000) ||
               c.takeDouble("--size-mb", options.sizeMb, 0.01, 100) ||
               c.takeInt("--runs", options.runs, 1, 100) || c.takeSwitch("--keep", options.keep);
    });
    if (!bench::dropOsCache()) {
        std::fprintf(stderr, "bench_export_set: cannot drop the OS cache (run as root)\n");
        return 2;
    }
    const QString sqlite3 = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (sqlite3.isEmpty()) {
        std::fprintf(stderr,
                     "bench_export_set: sqlite3 not found on PATH (Debian package sqlite3)\n");
        return 2;
    }
    auto work = bench::makeWorkDirectory("bench_export_set", options.keep);
    if (!work)
        return 2;
    const QString lib = work->filePath(QStringLiteral("library"));
    const qsizetype size = qsizetype(options.sizeMb * 1024 * 1024);
    qsizetype largest = 0;
    qint64 total = 0;
    // Photos without a prefix, so both sides write into one folder; sizes vary by up to 40%.
    bench::fillPhotoTable(lib, options.photos, [&](int i, bench::PhotoRecord &record) {
        record.prefix.clear();
        record.keyword = QStringLiteral("海,猫,café,sea").toUtf8();
        record.photo = fixtures::randomBytes(quint32(i + 1), size * (80 + (i * 37) % 41) / 100);
        largest = std::max(largest, record.photo.size());
        total += record.photo.size();
    });
    std::printf("library: %d photos, %.1f MB, the largest %.1f MB\n", options.photos, total / 1e6,
                largest / 1e6);
    std::printf("(sqlite3 stands for: sqlite3 photodb.db \"%s\")\n", kSqlite3Statement);

    const QByteArray cli = PICTAVO_CLI;
    const QByteArray photodb = bench::utf8(QDir(lib).filePath(QStringLiteral("photodb.db")));
    std::vector<double> ratios, exportMs, sqliteMs, cachedRatios;
    long maxRssKb = 0;
    int exitCode = 0;
    for (int run = 1; run <= options.runs; ++run) {
        const QString sqliteDest = work->filePath(QStringLiteral("sqlite%1").arg(run));
        const QString exportDest = work->filePath(QStringLiteral("export%1").arg(run));
        QDir().mkpath(sqliteDest);
        const auto baseline = [&] {
            return timed(
                bench::utf8(sqlite3),
                {photodb, QByteArray(kSqlite3Statement).replace("%1", bench::utf8(sqliteDest))});
        };
        const auto ours = [&] {
            return timed(cli, {"export-set", bench::utf8(lib), bench::utf8(exportDest)});
        };
        // Odd runs time sqlite3 first, even runs export-set first, so that what one leaves
        // below the dropped cache weighs on both alike.
        Timed tool, pictavo;
        if (run % 2 == 1) {
            tool = baseline();
            pictavo = ours();
        } else {
            pictavo = ours();
            tool = baseline();
        }
        const auto [toolFiles, toolBytes] = filesIn(sqliteDest);
        const auto [ourFiles, ourBytes] = filesIn(exportDest);
        QDir(sqliteDest).removeRecursively();
        QDir(exportDest).removeRecursively();
        if (tool.diskMs < 0 || pictavo.diskMs < 0 || toolFiles != options.photos ||
            ourFiles != toolFiles || ourBytes != toolBytes || ourBytes != total) {
            std::printf("run %d: a command failed or wrote other files\n", run);
            exitCode = 1;
            continue;
        }
        ratios.push_back(tool.diskMs / pictavo.diskMs);
        cachedRatios.push_back(tool.commandMs / pictavo.commandMs);
        sqliteMs.push_back(tool.diskMs);
        exportMs.push_back(pictavo.diskMs);
        maxRssKb = std::max(maxRssKb, pictavo.maxRssKb);
        std::printf("run %d: sqlite3 %.0f ms + sync %.0f ms, export-set %.0f ms + sync %.0f ms "
                    "(%.0f MB/s): %.2f x; resident %.1f MB\n",
                    run, tool.commandMs, tool.diskMs - tool.commandMs, pictavo.commandMs,
                    pictavo.diskMs - pictavo.commandMs, total / 1e3 / pictavo.diskMs, ratios.back(),
                    pictavo.maxRssKb / 1024.0);
    }
    // With sidecars, for information.
    const QString xmpDest = work->filePath(QStringLiteral("xmp"));
    const Timed xmp = timed(cli, {"export-set", bench::utf8(lib), bench::utf8(xmpDest), "--xmp"});
    QDir(xmpDest).removeRecursively();
    std::printf("export-set --xmp: %.0f ms + sync %.0f ms (information)\n", xmp.commandMs,
                xmp.diskMs - xmp.commandMs);
    if (ratios.empty())
        return bench::reportEnd(1, options.keep ? work->path() : QString());
    const double ratio = bench::median(ratios);
    const double allowanceMb = kMemoryAllowanceMb + largest / 1048576.0;
    std::printf("medians of %zu runs: sqlite3+sync %.0f ms, export-set+sync %.0f ms; without "
                "the sync: %.2f x (information)\n",
                ratios.size(), bench::median(sqliteMs), bench::median(exportMs),
                bench::median(cachedRatios));
    std::printf(
        "goal: export-set at least %.1f x the rate of sqlite3 (to the disk): %.2f x  -> %s\n",
        kRateGoal, ratio, ratio >= kRateGoal ? "PASS" : "FAIL");
    std::printf("goal: resident memory under %.1f MB (64 MB + the largest photo): %.1f MB  -> %s\n",
                allowanceMb, maxRssKb / 1024.0, maxRssKb / 1024.0 < allowanceMb ? "PASS" : "FAIL");
    if (ratio < kRateGoal || maxRssKb / 1024.0 >= allowanceMb)
        exitCode = 1;
    return bench::reportEnd(exitCode, options.keep ? work->path() : QString());
}
