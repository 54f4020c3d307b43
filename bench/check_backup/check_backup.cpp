// bench_check_backup: `pictavo-cli check` and `pictavo-cli backup` on a library of about
// 1 GB, each against the plain file tools doing the least the command must do: `cat` of
// the Photo Table (check reads every byte of it) and `cp` of both table files followed
// by `sync` (backup writes every byte to the disk). The OS cache is dropped before every
// timed command, so each starts cold.
#include "common/bench_support.h"
#include "common/child_process.h"
#include "common/command_line.h"
#include "db/schema.h"
#include "db/table.h"
#include "support/jpeg_fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <functional>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace pictavo;

namespace {

const char kUsage[] = "usage: bench_check_backup [--photos N] [--size-mb M] [--runs R] [--keep]\n";
constexpr double kGoal = 0.8;

struct Options
{
    int photos = 400;
    double sizeMb = 2.6;
    int runs = 2;
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

bool dropCaches()
{
    ::sync();
    QFile drop(QStringLiteral("/proc/sys/vm/drop_caches"));
    return drop.open(QIODevice::WriteOnly) && drop.write("3\n") == 2 && drop.flush();
}

// Wall time of one run from a cold cache; negative when the command failed.
double timed(const QByteArray &program, const std::vector<QByteArray> &args)
{
    if (!dropCaches())
        return -1;
    const bench::ChildRun run = bench::runProcess(program, args, {"/dev/null", ""});
    return run.ok ? run.wallMs : -1;
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
    if (!dropCaches()) {
        std::fprintf(stderr, "bench_check_backup: cannot drop the OS cache (run as root)\n");
        return 2;
    }
    auto work = bench::makeWorkDirectory("bench_check_backup", options.keep);
    if (!work)
        return 2;
    const QString lib = work->filePath(QStringLiteral("library"));
    fill(lib, options);
    const QByteArray photo = bench::utf8(QDir(lib).filePath(schema::kPhotoTableFile));
    const QByteArray keyword = bench::utf8(QDir(lib).filePath(schema::kKeywordTableFile));
    const qint64 bytes = QFileInfo(QString::fromUtf8(photo)).size();
    std::printf("library: %d photos, photodb.db %.1f MB\n", options.photos, bytes / 1e6);
    std::printf("(cat and cp stand for: %s; %s)\n", "cat photodb.db > /dev/null",
                "cp photodb.db keyword.db DEST/ && sync");

    const QByteArray cli = PICTAVO_CLI;
    int exitCode = 0;
    std::vector<double> checkRatios, backupRatios;
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
        const auto [cat, check] = timeBoth([&] { return timed("/bin/cat", {photo}); },
                                           [&] {
                                               return timed(cli, {"check", bench::utf8(lib)});
                                           });
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
        if (cat < 0 || check < 0 || cp < 0 || backup < 0) {
            std::printf("run %d: a command failed\n", run);
            exitCode = 1;
            continue;
        }
        const double checkRatio = cat / check, backupRatio = cp / backup;
        checkRatios.push_back(checkRatio);
        backupRatios.push_back(backupRatio);
        std::printf("run %d (%s first): cat %.0f ms (%.0f MB/s), check %.0f ms (%.0f MB/s): "
                    "%.2f x\n",
                    run, toolFirst ? "tools" : "pictavo", cat, bytes / 1e3 / cat, check,
                    bytes / 1e3 / check, checkRatio);
        std::printf("run %d: cp+sync %.0f ms, backup %.0f ms: %.2f x\n", run, cp, backup,
                    backupRatio);
        if (checkRatio < kGoal || backupRatio < kGoal)
            exitCode = 1;
    }
    if (!checkRatios.empty())
        std::printf("median of %zu runs: check %.2f x, backup %.2f x\n", checkRatios.size(),
                    bench::median(checkRatios), bench::median(backupRatios));
    std::printf("goal: at least %.1f x for each\n", kGoal);
    return bench::reportEnd(exitCode, options.keep ? work->path() : QString());
}
