// Times the keyword edit window's replace: the first "sunset" in every Keyword String of a
// Photo Table of 100,000 records becomes "dusk", which changes half of them, in one
// transaction. The yardstick is the sqlite3 tool running the equivalent UPDATE with
// instr/substr in one transaction on the table of the records alone (photodb_record: the
// same indexes, no photos), with the engine's settings (synchronous=FULL,
// secure_delete=OFF). Both sides work on the same file by turns, one from "sunset" to
// "dusk" and the other back, so that no copy of a library of gigabytes is needed. The
// replace may take at most 3 times sqlite3's time without its process start, and write at
// most 64 MB, whatever the size of the photos.
//
// Exit status: 0 when the goal is met and both sides give the same table, 1 otherwise, 2
// for bad options or a missing sqlite3.

#include "keyword/keyword_replace.h"
#include "base/error.h"
#include "common/bench_support.h"
#include "common/child_process.h"
#include "common/command_line.h"
#include "common/photo_fill.h"
#include "common/process_io.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <sqlite3.h>
#include <vector>

using namespace pictavo;

namespace {

constexpr double kGoalRatio = 3.0;
constexpr double kGoalWrittenMB = 64;
constexpr int kVocabulary = 5000;
constexpr int kWordsPerRecord = 10;

struct Options
{
    int records = 100000;
    int runs = 5;
    int photoBytes = 200;
    bool keep = false;
};

constexpr char kUsage[] = "usage: bench_keyword_replace [--records N] [--runs N] [--photo-kb K] "
                          "[--keep]\n"
                          "  --records N  photo records in the table (default 100000)\n"
                          "  --runs N     timed runs of each side (default 5)\n"
                          "  --photo-kb K each record's photo, in KB (default: 200 bytes)\n"
                          "  --keep       keep the temporary databases and print where\n";

bool takePhotoSize(bench::CommandLine &args, int &bytes)
{
    int kb = 0;
    if (!args.takeInt("--photo-kb", kb, 1, 64 * 1024))
        return false;
    bytes = kb * 1024;
    return true;
}

Options parseOptions(int argc, char **argv)
{
    Options options;
    bench::parseCommandLine(argc, argv, kUsage, [&](bench::CommandLine &args) {
        return args.takeInt("--records", options.records, 2, 10000000) ||
               args.takeInt("--runs", options.runs, 1, 1000) ||
               takePhotoSize(args, options.photoBytes) || args.takeSwitch("--keep", options.keep);
    });
    return options;
}

// Ten keywords of a vocabulary of 5,000 per record (1,000,000 occurrences for 100,000
// records); every other record also holds "sunset" at a random place among them.
QByteArray keywordString(std::mt19937 &rng, bool withSunset)
{
    std::uniform_int_distribution<int> word(1, kVocabulary);
    QList<QByteArray> words;
    for (int i = 0; i < kWordsPerRecord; ++i)
        words << "kw" + QByteArray::number(word(rng));
    if (withSunset)
        words.insert(std::uniform_int_distribution<int>(0, kWordsPerRecord)(rng), "sunset");
    return words.join(',');
}

// Records with photos of random bytes, written through SQLite directly; the photos differ
// only in their first bytes, which is all a photo's size needs here.
void fillDatabase(const QString &dir, int records, int photoBytes)
{
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray blob(photoBytes, '\0');
    for (char &c : blob)
        c = char(byte(rng));
    bench::fillPhotoTable(
        dir, records,
        [&](int i, bench::PhotoRecord &record) {
            record.keyword = keywordString(rng, i % 2 == 0);
            for (int b = 0; b < std::min(16, photoBytes); ++b)
                blob[b] = char(byte(rng));
            record.photo = blob;
        },
        1000);
}

// Every Keyword String in row order, as sqlite3 prints it: what both sides must agree on.
QByteArray keywordDump(const QString &sqlite3Path, const QString &dir)
{
    QProcess dump;
    dump.start(sqlite3Path, {dir + QStringLiteral("/photodb.db"),
                             QStringLiteral("SELECT KEYWORD FROM photodb_record ORDER BY rowid;")});
    dump.waitForFinished(-1);
    return dump.readAllStandardOutput();
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = parseOptions(argc, argv);
    const QString sqlite3Path = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (sqlite3Path.isEmpty()) {
        std::printf("sqlite3 not found on PATH (Debian package sqlite3)\n");
        return 2;
    }
    try {
        const std::unique_ptr<QTemporaryDir> temp =
            bench::makeWorkDirectory("keyword_replace", options.keep);
        if (!temp)
            return 1;
        const QString dir = temp->filePath(QStringLiteral("library"));
        std::printf("sqlite3: %s (%s)\n", qPrintable(sqlite3Path), sqlite3_libversion());
        QElapsedTimer fill;
        fill.start();
        fillDatabase(dir, options.records, options.photoBytes);
        std::printf("filled %d records (%d keywords each of %d, \"sunset\" in every other one, "
                    "%d-byte photos, %.2f GB) in %.1f s, written with SQLite directly: the fill "
                    "is not what is measured\n",
                    options.records, kWordsPerRecord, kVocabulary, options.photoBytes,
                    double(QFileInfo(dir + QStringLiteral("/photodb.db")).size()) / 1e9,
                    double(fill.elapsed()) / 1000.0);
        const QByteArray original = keywordDump(sqlite3Path, dir);

        const auto update = [](const char *from, const char *to) {
            return QByteArray("PRAGMA synchronous=FULL; PRAGMA secure_delete=OFF; BEGIN; UPDATE "
                              "photodb_record SET KEYWORD = substr(KEYWORD, 1, instr(KEYWORD, '") +
                   from + "') - 1) || '" + to + "' || substr(KEYWORD, instr(KEYWORD, '" + from +
                   "') + " + QByteArray::number(qstrlen(from)) + ") WHERE instr(KEYWORD, '" + from +
                   "') > 0; COMMIT;";
        };
        std::printf("ours:    replaceKeywordInPhotoTable(DIR, FROM, TO)\n");
        std::printf("sqlite3: sqlite3 DIR/photodb.db \"%s\"\n", update("FROM", "TO").constData());
        std::printf("         (FROM, TO: sunset, dusk and back by turns)\n");
        const QByteArray program = sqlite3Path.toUtf8();
        const QByteArray toolFile = (dir + QStringLiteral("/photodb.db")).toUtf8();
        const bench::ChildOutput discard{"/dev/null", {}};

        std::vector<double> ours, tool, start, writtenMB;
        int changed = -1;
        bool sameTables = true;
        for (int round = 0; round < options.runs; ++round) {
            // The side that goes first alternates, so that neither always finds the other's
            // writes still being flushed; the second undoes what the first did.
            for (int side = 0; side < 2; ++side) {
                const char *from = side == 0 ? "sunset" : "dusk";
                const char *to = side == 0 ? "dusk" : "sunset";
                if ((side == 0) == (round % 2 == 0)) {
                    const qint64 before = bench::readProcessIo().wchar;
                    QElapsedTimer timer;
                    timer.start();
                    const KeywordReplaceResult result = replaceKeywordInPhotoTable(
                        dir, QString::fromLatin1(from), QString::fromLatin1(to));
                    ours.push_back(bench::msSince(timer));
                    writtenMB.push_back(double(bench::readProcessIo().wchar - before) /
                                        (1024.0 * 1024.0));
                    changed = result.changed;
                } else {
                    const bench::ChildRun run =
                        bench::runProcess(program, {toolFile, update(from, to)}, discard);
                    const bench::ChildRun started =
                        bench::runProcess(program, {toolFile, "select 1"}, discard);
                    if (!run.ok || !started.ok)
                        throw Error(QStringLiteral("sqlite3 failed"));
                    tool.push_back(run.wallMs);
                    start.push_back(started.wallMs);
                }
            }
            if (round == 0) // untimed: the two sides undid each other
                sameTables = keywordDump(sqlite3Path, dir) == original;
        }
        const double oursMs = bench::median(ours);
        const double toolMs = bench::median(tool);
        const double startMs = bench::median(start);
        const double toolNet = std::max(0.001, toolMs - startMs);
        const double ratio = oursMs / toolNet;
        std::printf("\nrecords changed: %d of %d\n", changed, options.records);
        std::printf("\nruns (ms), %d each:\n", options.runs);
        std::printf("  replace (ours)         : %s\n", qPrintable(bench::joinNumbers(ours)));
        std::printf("  written by ours (MB)   : %s\n", qPrintable(bench::joinNumbers(writtenMB)));
        std::printf("  sqlite3 UPDATE         : %s\n", qPrintable(bench::joinNumbers(tool)));
        std::printf("  sqlite3 \"select 1\"     : %s\n", qPrintable(bench::joinNumbers(start)));
        std::printf("\nmedians:\n");
        std::printf("  replace (ours)         : %8.1f ms\n", oursMs);
        std::printf("  sqlite3 UPDATE         : %8.1f ms\n", toolMs);
        std::printf("  sqlite3 process start  : %8.1f ms\n", startMs);
        std::printf("  sqlite3 without start  : %8.1f ms\n", toolNet);
        std::printf("  ratio ours / sqlite3   : %8.2f (with its process start: %.2f)\n", ratio,
                    oursMs / toolMs);
        const double written = *std::max_element(writtenMB.begin(), writtenMB.end());
        const bool pass = ratio <= kGoalRatio && written <= kGoalWrittenMB;
        const bool halfChanged = changed == (options.records + 1) / 2;
        std::printf("\n%s: the replace takes %.2f times sqlite3's UPDATE (goal: at most %.1f) and "
                    "writes at most %.1f MB (goal: at most %.0f)\n",
                    pass ? "PASS" : "FAIL", ratio, kGoalRatio, written, kGoalWrittenMB);
        if (!sameTables)
            std::printf("CHECK FAILED: the Keyword Strings did not come back as they were\n");
        if (!halfChanged)
            std::printf("CHECK FAILED: %d records changed, not half of them\n", changed);
        return bench::reportEnd(pass && sameTables && halfChanged ? 0 : 1,
                                options.keep ? temp->path() : QString());
    } catch (const Error &error) {
        std::printf("error: %s\n", qPrintable(error.text()));
        return 1;
    }
}
