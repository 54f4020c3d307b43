// bench_check_backup: `pictavo-cli check` and `pictavo-cli backup` on a library of about
// 1 GB, each against the tools doing the least the command must do: the sqlite3 shell's
// `PRAGMA integrity_check` of photodb.db and then of keyword.db (the check runs SQLite's
// integrity check of both files, and cannot do without it), and `cp` of both table files
// followed by `sync` (backup writes every byte to the disk). `cat` of the Photo Table is
// timed too, for information. The OS cache is dropped before every timed command, so each
// starts cold.
#include "common/bench_support.h"
#include "common/child_process.h"
#include "common/command_line.h"
#include "db/schema.h"
#include "db/table.h"
#include "support/jpeg_fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>
#include <cstring>
#include <functional>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace pictavo;

namespace {

const char kUsage[] = "usage: bench_check_backup [--photos N] [--size-mb M] [--runs R] [--keep]\n";
// check / the integrity checks, at most.
constexpr double kCheckGoal = 1.2;
// cp+sync / backup, at least.
constexpr double kBackupGoal = 0.8;

struct Options
{
    int photos = 400;
    double sizeMb = 2.6;
    int runs = 5;
    bool keep = false;
};

// A real JPEG header and picture, then noise up to `size` bytes: check reads the header
// of each photo; nothing could compress the rest.
QByteArray photoBytes(int index, qsizetype size)
{
    fixtures::JpegOptions options;
    options.seed = quint32(index + 1);
    QByteArray bytes = fixtures::makeJpeg(64, 48, options);
    bytes +=
        fixtures::randomBytes(quint32(index + 7919), std::max<qsizetype>(0, size - bytes.size()));
    return bytes;
}

void fill(const QString &dir, const Options &options)
{
    bench::createPhotoDatabase(dir);
    Table table;
    table.setDatabaseName(dir);
    table.setTableName(schema::kPhotoTableFile);
    table.open();
    const qsizetype size = qsizetype(options.sizeMb * 1024 * 1024);
    for (int i = 0; i < options.photos; ++i) {
        // Sizes vary by up to 40%, as camera files do.
        const QByteArray image = photoBytes(i, size * (80 + (i * 37) % 41) / 100);
        table.append();
        table.setValue(QStringLiteral("NAME"), QStringLiteral("p%1").arg(i));
        table.setValue(QStringLiteral("EXT"), QStringLiteral(".jpg"));
        table.setValue(QStringLiteral("KEYWORD"), QStringLiteral("sea"));
        table.setValue(QStringLiteral("COUNT"), 0);
        table.setValue(QStringLiteral("IMAGE_SIZE"), qint64(image.size()));
        table.setBlob(QStringLiteral("IMAGE"), image);
        table.post();
    }
    table.close();
    table.setTableName(schema::kKeywordTableFile);
    table.open();
    table.append();
    table.setValue(QStringLiteral("KEYWORD"), QStringLiteral("sea"));
    table.setValue(QStringLiteral("COUNT"), options.photos);
    table.post();
    table.close();
}

struct Command
{
    QByteArray program;
    std::vector<QByteArray> args;
};

// Wall time of the commands run one after the other, from a cold cache; negative when
// one of them failed.
double timed(const std::vector<Command> &commands)
{
    if (!bench::dropOsCache())
        return -1;
    double ms = 0;
    for (const Command &command : commands) {
        const bench::ChildRun run =
            bench::runProcess(command.program, command.args, {"/dev/null", ""});
        if (!run.ok)
            return -1;
        ms += run.wallMs;
    }
    return ms;
}

double timed(const QByteArray &program, const std::vector<QByteArray> &args)
{
    return timed({Command{program, args}});
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
        std::fprintf(stderr, "bench_check_backup: cannot drop the OS cache (run as root)\n");
        return 2;
    }
    const QString sqlite3Path = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (sqlite3Path.isEmpty()) {
        std::fprintf(stderr, "bench_check_backup: sqlite3 not found on PATH (Debian package "
                             "sqlite3)\n");
        return 2;
    }
    const QByteArray sqlite3 = bench::utf8(sqlite3Path);
    auto work = bench::makeWorkDirectory("bench_check_backup", options.keep);
    if (!work)
        return 2;
    const QString lib = work->filePath(QStringLiteral("library"));
    fill(lib, options);
    const QByteArray photo = bench::utf8(QDir(lib).filePath(schema::kPhotoTableFile));
    const QByteArray keyword = bench::utf8(QDir(lib).filePath(schema::kKeywordTableFile));
    const qint64 bytes = QFileInfo(QString::fromUtf8(photo)).size();
    std::printf("library: %d photos, photodb.db %.1f MB\n", options.photos, bytes / 1e6);
    std::printf("(integrity, cat and cp stand for: %s; %s; %s)\n",
                "sqlite3 photodb.db 'PRAGMA integrity_check' then sqlite3 keyword.db "
                "'PRAGMA integrity_check'",
                "cat photodb.db > /dev/null", "cp photodb.db keyword.db DEST/ && sync");

    const QByteArray cli = PICTAVO_CLI;
    int exitCode = 0;
    std::vector<double> checkRatios, catRatios, backupRatios, checkMs, integrityMs;
    for (int run = 1; run <= options.runs; ++run) {
        // Odd runs time the tool first, even runs pictavo first: whatever a command leaves
        // behind below the OS cache that is dropped (the host still writing cp's gigabyte,
        // the host's cache of the file) then weighs on both sides alike.
        const bool toolFirst = run % 2 == 1;
        const auto timeBoth = [toolFirst](const std::function<double()> &tool,
                                          const std::function<double()> &pictavo) {
            double toolMs = 0, pictavoMs = 0;
            if (toolFirst)
                toolMs = tool();
            pictavoMs = pictavo();
            if (!toolFirst)
                toolMs = tool();
            return std::pair(toolMs, pictavoMs);
        };
        const auto [integrity, check] = timeBoth(
            [&] {
                const QByteArray pragma = "PRAGMA integrity_check";
                return timed(
                    {Command{sqlite3, {photo, pragma}}, Command{sqlite3, {keyword, pragma}}});
            },
            [&] {
                return timed(cli, {"check", bench::utf8(lib)});
            });
        const double cat = timed("/bin/cat", {photo});
        const QByteArray copyDir = bench::utf8(work->filePath(QStringLiteral("cp%1").arg(run)));
        QDir().mkpath(QString::fromUtf8(copyDir));
        const QByteArray dest = bench::utf8(work->filePath(QStringLiteral("backup%1").arg(run)));
        const auto [cp, backup] = timeBoth(
            [&] {
                return timed("/bin/sh", {"-c", "cp \"$0\" \"$1\" \"$2\" && sync", photo, keyword,
                                         copyDir + "/"});
            },
            [&] {
                return timed(cli, {"backup", bench::utf8(lib), dest});
            });
        if (integrity < 0 || cat < 0 || check < 0 || cp < 0 || backup < 0) {
            std::printf("run %d: a command failed\n", run);
            exitCode = 1;
            continue;
        }
        const double checkRatio = check / integrity, backupRatio = cp / backup;
        checkRatios.push_back(checkRatio);
        checkMs.push_back(check);
        integrityMs.push_back(integrity);
        catRatios.push_back(cat / check);
        backupRatios.push_back(backupRatio);
        std::printf("run %d (%s first): integrity checks %.0f ms, check %.0f ms (%.0f MB/s): "
                    "check / integrity %.2f x\n",
                    run, toolFirst ? "tools" : "pictavo", integrity, check, bytes / 1e3 / check,
                    checkRatio);
        std::printf("run %d: cat %.0f ms (%.0f MB/s): cat / check %.2f x (information)\n", run, cat,
                    bytes / 1e3 / cat, catRatios.back());
        std::printf("run %d: cp+sync %.0f ms, backup %.0f ms: %.2f x\n", run, cp, backup,
                    backupRatio);
    }
    if (checkRatios.empty())
        return bench::reportEnd(1, options.keep ? work->path() : QString());
    // The check's goal compares the medians of the times; the other figures are ratios per
    // run, as they always were.
    const double checkMedian = bench::median(checkMs) / bench::median(integrityMs);
    const double backupMedian = bench::median(backupRatios);
    std::printf("medians of %zu runs: check %.0f ms, integrity checks %.0f ms; ratios per run: "
                "check / integrity %.2f x, cat / check %.2f x, cp+sync / backup %.2f x\n",
                checkRatios.size(), bench::median(checkMs), bench::median(integrityMs),
                bench::median(checkRatios), bench::median(catRatios), backupMedian);
    std::printf("goal: check at most %.1f x the integrity checks (medians): %.2f x  -> %s\n",
                kCheckGoal, checkMedian, checkMedian <= kCheckGoal ? "PASS" : "FAIL");
    std::printf("goal: backup at least %.1f x cp+sync: %.2f x  -> %s\n", kBackupGoal, backupMedian,
                backupMedian >= kBackupGoal ? "PASS" : "FAIL");
    if (checkMedian > kCheckGoal || backupMedian < kBackupGoal)
        exitCode = 1;
    return bench::reportEnd(exitCode, options.keep ? work->path() : QString());
}
