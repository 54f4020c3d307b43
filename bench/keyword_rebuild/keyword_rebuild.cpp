// Times the keyword table rebuild ("Update Keyword") over a Photo Table of 100,000
// records holding 1,000,000 keyword occurrences of about 5,000 distinct keywords. The
// yardstick is the sqlite3 tool doing the same count in SQL (each Keyword String turned
// into a JSON array for json_each, then GROUP BY) and writing the result into the Keyword
// Table in one transaction. The rebuild may take at most 0.3 times sqlite3's time without
// its process start.
//
// Then, on a second database holding 1 GB of photos, it measures with /proc/self/io the
// bytes one rebuild reads: only the Keyword Strings are needed, so it must stay under 1%
// of the photo bytes.
//
// Exit status: 0 when both goals are met and the checks hold, 1 otherwise, 2 for bad
// options or a missing sqlite3.

#include "keyword/keyword_rebuild.h"
#include "base/error.h"
#include "common/bench_support.h"
#include "common/child_process.h"
#include "common/command_line.h"
#include "common/photo_fill.h"
#include "common/process_io.h"

#include <QElapsedTimer>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sqlite3.h>
#include <unistd.h>
#include <vector>

using namespace pictavo;

namespace {

constexpr double kGoalRatio = 0.3;
constexpr double kReadGoal = 0.01;
constexpr int kBlobSize = 200;

struct Options
{
    int records = 100000;
    int perRecord = 10;
    int vocabulary = 5000;
    int runs = 5;
    int photoMb = 1024;
    bool keep = false;
};

constexpr char kUsage[] =
    "usage: bench_keyword_rebuild [--records N] [--per-record N] [--vocabulary N] [--runs N]\n"
    "                             [--photo-mb M] [--keep]\n"
    "  --records N     photo records of the timed database (default 100000)\n"
    "  --per-record N  keywords in each Keyword String (default 10)\n"
    "  --vocabulary N  distinct keywords to draw from (default 5000)\n"
    "  --runs N        timed runs of each side (default 5)\n"
    "  --photo-mb M    photo bytes of the database whose reads are measured, in MiB\n"
    "                  (default 1024; 0 leaves that part out)\n"
    "  --keep          keep the temporary databases and print where they are\n";

Options parseOptions(int argc, char **argv)
{
    Options options;
    bench::parseCommandLine(argc, argv, kUsage, [&](bench::CommandLine &args) {
        return args.takeInt("--records", options.records, 1, 10000000) ||
               args.takeInt("--per-record", options.perRecord, 1, 20) ||
               args.takeInt("--vocabulary", options.vocabulary, 1, 1000000) ||
               args.takeInt("--runs", options.runs, 1, 1000) ||
               args.takeInt("--photo-mb", options.photoMb, 0, 100000) ||
               args.takeSwitch("--keep", options.keep);
    });
    return options;
}

// Distinct keywords of 3 to 12 letters, a tenth of them capitalised, a few with a Japanese
// letter; no comma, blank or double quote, so that the SQL on the other side, which
// neither trims nor unquotes, counts the same keywords.
std::vector<QByteArray> makeVocabulary(int size, std::mt19937 &rng)
{
    std::uniform_int_distribution<int> length(3, 12);
    std::uniform_int_distribution<int> letter('a', 'z');
    std::uniform_int_distribution<int> percent(0, 99);
    QSet<QByteArray> seen;
    std::vector<QByteArray> words;
    while (int(words.size()) < size) {
        QByteArray word;
        const int n = length(rng);
        for (int i = 0; i < n; ++i)
            word += char(letter(rng));
        const int kind = percent(rng);
        if (kind < 10)
            word[0] = char(word[0] - 'a' + 'A');
        else if (kind < 13)
            word += "\xE7\x8C\xAB"; // 猫
        if (!seen.contains(word)) {
            seen.insert(word);
            words.push_back(word);
        }
    }
    return words;
}

// Keyword Strings of a fixed number of keywords drawn with Zipf-like weights (a few
// keywords are on many photos); a keyword may stand twice in one string.
class KeywordStrings
{
public:
    KeywordStrings(const Options &options, std::mt19937 &rng)
        : m_rng(rng), m_perRecord(options.perRecord),
          m_words(makeVocabulary(options.vocabulary, rng))
    {
        std::vector<double> weights;
        for (size_t i = 0; i < m_words.size(); ++i)
            weights.push_back(1.0 / std::pow(double(i + 1), 0.8));
        m_pick = std::discrete_distribution<int>(weights.begin(), weights.end());
    }
    QByteArray next()
    {
        QByteArray text;
        for (int i = 0; i < m_perRecord; ++i) {
            if (i > 0)
                text += ',';
            text += m_words[size_t(m_pick(m_rng))];
        }
        return text;
    }

private:
    std::mt19937 &m_rng;
    int m_perRecord;
    std::vector<QByteArray> m_words;
    std::discrete_distribution<int> m_pick;
};

// Records of photos of `blobSize` bytes that start as a JPEG does, written through SQLite
// directly.
void fillDatabase(const QString &dir, int records, KeywordStrings &strings, int blobSize,
                  std::mt19937 &rng)
{
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray blob(blobSize, '\0');
    bench::fillPhotoTable(dir, records, [&](int, bench::PhotoRecord &record) {
        record.keyword = strings.next();
        for (int b = 0; b < blob.size(); b += 64) // no two photos alike
            blob[b] = char(byte(rng));
        blob[0] = char(0xFF);
        blob[1] = char(0xD8);
        record.photo = blob;
    });
}

// The Keyword Table's rows as "KEYWORD\tCOUNT", in key order.
QList<QByteArray> keywordRows(const QString &dir)
{
    sqlite3 *db = nullptr;
    const QByteArray path = (dir + QStringLiteral("/keyword.db")).toUtf8();
    QList<QByteArray> rows;
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *select = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT KEYWORD, \"COUNT\" FROM keyword ORDER BY KEYWORD", -1,
                               &select, nullptr) == SQLITE_OK)
            while (sqlite3_step(select) == SQLITE_ROW)
                rows << QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(select, 0)),
                                   sqlite3_column_bytes(select, 0)) +
                            '\t' + QByteArray::number(sqlite3_column_int64(select, 1));
        sqlite3_finalize(select);
    }
    sqlite3_close(db);
    return rows;
}

qint64 rchar()
{
    return bench::readProcessIo().rchar;
}

struct Timed
{
    double ms = 0;
    RebuildResult result;
};

Timed rebuild(const QString &dir)
{
    QElapsedTimer timer;
    timer.start();
    Timed timed;
    timed.result = rebuildKeywordTable(dir);
    timed.ms = bench::msSince(timer);
    return timed;
}

bool timedPart(const Options &options, const QString &dir, const QByteArray &program)
{
    std::mt19937 rng(20261208);
    KeywordStrings strings(options, rng);
    QElapsedTimer fill;
    fill.start();
    fillDatabase(dir, options.records, strings, kBlobSize, rng);
    std::printf("filled %d records, %d keywords each, %d-byte blobs, in %.1f s (SQLite directly, "
                "one transaction)\n",
                options.records, options.perRecord, kBlobSize, double(fill.elapsed()) / 1000.0);

    const QByteArray keywordFile = (dir + QStringLiteral("/keyword.db")).toUtf8();
    const QByteArray script =
        "ATTACH '" + (dir + QStringLiteral("/photodb.db")).toUtf8() +
        "' AS p; BEGIN; DELETE FROM keyword; INSERT INTO keyword (KEYWORD, \"COUNT\") SELECT "
        "j.value, count(*) FROM p.photodb, json_each('[\"' || replace(p.photodb.KEYWORD, ',', "
        "'\",\"') || '\"]') AS j GROUP BY j.value; COMMIT;";
    std::printf("sqlite3 %s \"%s\"\n", keywordFile.constData(), script.constData());

    // Untimed: both sides write the same table.
    const Timed first = rebuild(dir);
    const QList<QByteArray> ours = keywordRows(dir);
    const bench::ChildOutput discard{"/dev/null", {}};
    if (!bench::runProcess(program, {keywordFile, script}, discard).ok)
        throw Error(QStringLiteral("sqlite3 failed"));
    const QList<QByteArray> theirs = keywordRows(dir);
    const bool same = ours == theirs && !ours.isEmpty();
    std::printf("rows: ours %lld, sqlite3 %lld, %s; %lld occurrences\n", qlonglong(ours.size()),
                qlonglong(theirs.size()), same ? "identical" : "DIFFERENT",
                qlonglong(first.result.occurrences));

    std::vector<double> oursMs, toolMs, startMs;
    for (int round = 0; round < options.runs; ++round) {
        oursMs.push_back(rebuild(dir).ms);
        const bench::ChildRun tool = bench::runProcess(program, {keywordFile, script}, discard);
        const bench::ChildRun start =
            bench::runProcess(program, {keywordFile, "select 1"}, discard);
        if (!tool.ok || !start.ok)
            throw Error(QStringLiteral("sqlite3 failed"));
        toolMs.push_back(tool.wallMs);
        startMs.push_back(start.wallMs);
    }
    const double oursMedian = bench::median(oursMs);
    const double toolMedian = bench::median(toolMs);
    const double toolNet = std::max(0.001, toolMedian - bench::median(startMs));
    const double ratio = oursMedian / toolNet;
    std::printf("\nruns (ms), %d each:\n", options.runs);
    std::printf("  rebuild                 : %s\n", qPrintable(bench::joinNumbers(oursMs)));
    std::printf("  sqlite3 count and write : %s\n", qPrintable(bench::joinNumbers(toolMs)));
    std::printf("  sqlite3 \"select 1\"      : %s\n", qPrintable(bench::joinNumbers(startMs)));
    std::printf("medians: rebuild %.1f ms, sqlite3 %.1f ms, without its start %.1f ms\n",
                oursMedian, toolMedian, toolNet);
    const bool pass = ratio <= kGoalRatio;
    std::printf("%s: the rebuild takes %.3f times sqlite3's time (goal: at most %.1f; with its "
                "process start %.3f)\n",
                pass ? "PASS" : "FAIL", ratio, kGoalRatio, oursMedian / toolMedian);
    if (!same)
        std::printf("CHECK FAILED: the two sides wrote different Keyword Tables\n");
    return pass && same;
}

bool readPart(const Options &options, const QString &dir)
{
    constexpr int kPhotoBytes = 2621440; // 2.5 MiB
    const int photos = std::max(1, int(qint64(options.photoMb) * 1048576 / kPhotoBytes));
    std::mt19937 rng(7);
    KeywordStrings strings(options, rng);
    QElapsedTimer fill;
    fill.start();
    fillDatabase(dir, photos, strings, kPhotoBytes, rng);
    const qint64 photoBytes = qint64(photos) * kPhotoBytes;
    std::printf("\nfilled %d photos of %d bytes (%.0f MiB) in %.1f s\n", photos, kPhotoBytes,
                double(photoBytes) / 1048576.0, double(fill.elapsed()) / 1000.0);
    const qint64 before = rchar();
    const Timed run = rebuild(dir);
    const qint64 read = rchar() - before;
    const double share = double(read) / double(photoBytes);
    const bool pass = before >= 0 && share < kReadGoal && run.result.keywords > 0;
    std::printf("rebuild: %.1f ms, %lld keywords; rchar %lld bytes = %.4f%% of the photo bytes\n",
                run.ms, qlonglong(run.result.keywords), qlonglong(read), share * 100.0);
    std::printf("%s: a rebuild reads %.4f%% of the photo bytes (goal: under %.0f%%)\n",
                pass ? "PASS" : "FAIL", share * 100.0, kReadGoal * 100.0);
    return pass;
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
        std::printf("sqlite3: %s (%s)\n", qPrintable(sqlite3Path), sqlite3_libversion());
        const auto timedDir = bench::makeWorkDirectory("keyword_rebuild", options.keep);
        if (!timedDir)
            return 1;
        bool ok = timedPart(options, timedDir->path(), sqlite3Path.toUtf8());
        if (options.photoMb > 0) {
            const auto photoDir = bench::makeWorkDirectory("keyword_rebuild_photos", options.keep);
            if (!photoDir)
                return 1;
            ok = readPart(options, photoDir->path()) && ok;
            if (options.keep)
                std::printf("photo database kept in %s\n", qPrintable(photoDir->path()));
        }
        return bench::reportEnd(ok ? 0 : 1, options.keep ? timedDir->path() : QString());
    } catch (const Error &error) {
        std::printf("error: %s\n", qPrintable(error.text()));
        return 1;
    }
}
