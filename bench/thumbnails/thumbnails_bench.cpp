// Measures the thumbnails. First on 12-megapixel camera-like photos: the rate at which
// `fillThumbnails` (what `pictavo-cli thumbnails` runs) makes their thumbnails against
// `djpeg -scale 1/8` run over the same files one after another, the start of a djpeg
// process subtracted; the room thumbs.db takes a photo; and the main window's record
// moves with the thumbnail window shown against the same moves with it hidden. Then on a
// library of 100,000 photos whose thumbnails are made, each in a child process of its
// own, with the real windows on Qt's offscreen platform: the time from the Thumbnails
// command to the window's first screen of thumbnails, and Page Down from the first record
// to the last, timing every stretch the main thread is busy.
//
// Goals: making at least 1.6 times djpeg's rate; thumbs.db at most 25 KB a photo; moves
// with the window at most 1.1 times those without; the first screen within 150 ms; no
// stretch of a Page Down step longer than 16 ms.
//
// Exit status: 0 when the goals are met and the checks hold, 1 otherwise, 2 for bad
// options or a missing djpeg.

#include "base/error.h"
#include "base/settings_store.h"
#include "common/bench_support.h"
#include "common/child_process.h"
#include "common/command_line.h"
#include "common/photo_fill.h"
#include "db/query.h"
#include "main/main_window_album.h"
#include "main/tformmain.h"
#include "support/jpeg_fixtures.h"
#include "support/scripted_prompter.h"
#include "thumbnails/tformthumbnails.h"
#include "thumbnails/thumbnail_filler.h"
#include "thumbnails/thumbnail_model.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QListView>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

using namespace pictavo;
using bench::msSince;
using bench::utf8;

namespace {

constexpr double kGoalRate = 1.6;
constexpr double kGoalKiB = 25;
constexpr double kGoalMoveRatio = 1.1;
constexpr double kGoalFirstScreenMs = 150;
constexpr double kGoalHoldMs = 16;

struct Options
{
    int photos = 24;
    int rounds = 3;
    int records = 100000;
    int screens = 3;
    QString dir;
    bool keep = false;
    // Internal: the child's side.
    QString child;
    QString childLibrary;
};

constexpr char kUsage[] =
    "usage: bench_thumbnails [--photos N] [--rounds N] [--records N] [--screens N]\n"
    "                        [--dir PATH] [--keep]\n"
    "  --photos N   12-megapixel photos made small (default 24)\n"
    "  --rounds N   rounds of djpeg and of our making (default 3)\n"
    "  --records N  photos of the large library (default 100000; 0 leaves it out)\n"
    "  --screens N  child processes that time the first screen (default 3)\n"
    "  --dir PATH   build the large library in PATH and keep it; one already there with\n"
    "               N records is used again\n"
    "  --keep       keep the temporary files and print where they are\n";

Options parseOptions(int argc, char **argv)
{
    Options options;
    bench::parseCommandLine(argc, argv, kUsage, [&](bench::CommandLine &args) {
        return args.takeInt("--photos", options.photos, 2, 1000) ||
               args.takeInt("--rounds", options.rounds, 1, 100) ||
               args.takeInt("--records", options.records, 0, 10000000) ||
               args.takeInt("--screens", options.screens, 1, 100) ||
               args.takeValue("--dir", options.dir) || args.takeSwitch("--keep", options.keep) ||
               args.takeValue("--child", options.child) ||
               args.takeValue("--child-library", options.childLibrary);
    });
    return options;
}

double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

void removeThumbnails(const QString &dir)
{
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(QDir(dir).filePath(QStringLiteral("thumbs.db") + QLatin1String(suffix)));
}

// The windows as the program makes them, over the library in `dir`; the thumbnail window
// takes `size`.
struct Windows
{
    Windows(const QString &dir, QSize size)
    {
        SettingsStore::instance().writeStrings(QStringLiteral("\\software\\Orbelin_PV\\formMain"),
                                               {{QStringLiteral("Database_Name"), dir},
                                                {QStringLiteral("Width"), "700"},
                                                {QStringLiteral("Height"), "560"}});
        SettingsStore::instance().writeStrings(
            QStringLiteral("\\software\\Orbelin_PV\\formThumbnails"),
            {{QStringLiteral("Left"), "0"},
             {QStringLiteral("Top"), "0"},
             {QStringLiteral("Width"), QString::number(size.width())},
             {QStringLiteral("Height"), QString::number(size.height())}});
        main = std::make_unique<TformMain>(prompter);
        album = std::make_unique<MainWindowAlbum>(*main);
        thumbnails = std::make_unique<TformThumbnails>(*album, prompter);
        main->setThumbnails(thumbnails.get());
        main->show();
        settle();
    }
    ~Windows()
    {
        thumbnails.reset();
        album.reset();
        main.reset();
    }
    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    // Every record on the thumbnail window's screen shows its thumbnail. The cells are a
    // grid of equal lines: which rows are on screen is arithmetic, as in the window.
    bool screenDone() const
    {
        QListView *view = thumbnails->listviewThumbnails;
        const ThumbnailModel *model = thumbnails->model();
        const QSize cell = view->gridSize();
        const QRect first = view->visualRect(model->index(0));
        const int columns = std::max(1, view->viewport()->width() / cell.width());
        const int top = std::max(0, -first.top() / cell.height());
        const int bottom = (view->viewport()->height() - 1 - first.top()) / cell.height();
        const int last = std::min(model->rowCount() - 1, (bottom + 1) * columns - 1);
        for (int row = top * columns; row <= last; ++row)
            if (model->index(row).data(ThumbnailModel::StateRole).toInt() !=
                int(ThumbnailCache::State::Shown))
                return false;
        return last >= top * columns;
    }

    ScriptedPrompter prompter;
    std::unique_ptr<TformMain> main;
    std::unique_ptr<MainWindowAlbum> album;
    std::unique_ptr<TformThumbnails> thumbnails;
};

// Handles events until `done`, timing each batch of them: a batch is at least as long as
// the longest stretch in it that the main thread was busy. Between batches it sleeps a
// millisecond, as the event loop would wait. Returns the time it took.
double runUntil(const std::function<bool()> &done, std::vector<double> *holds, int limitMs)
{
    QElapsedTimer total;
    total.start();
    while (!done() && total.elapsed() < limitMs) {
        QElapsedTimer busy;
        busy.start();
        QCoreApplication::processEvents();
        if (holds)
            holds->push_back(msSince(busy));
        QThread::usleep(1000);
    }
    return msSince(total);
}

// With BENCH_TRACE set, every event that takes more than 3 ms is named on standard error,
// with the object it went to: where a long stretch of the main thread went.
class TracingApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        if (!m_trace)
            return QApplication::notify(receiver, event);
        QElapsedTimer timer;
        timer.start();
        const int type = event->type();
        const bool result = QApplication::notify(receiver, event);
        if (timer.nsecsElapsed() > 3000000)
            std::fprintf(stderr, "  event %d to %s %s (in %s): %.2f ms\n", type,
                         receiver->metaObject()->className(), qPrintable(receiver->objectName()),
                         receiver->parent() ? receiver->parent()->metaObject()->className() : "-",
                         double(timer.nsecsElapsed()) / 1e6);
        return result;
    }

private:
    const bool m_trace = qEnvironmentVariableIsSet("BENCH_TRACE");
};

// ---- the child: one library, one window -----------------------------------------------

int childMain(const Options &options)
{
    Windows windows(options.childLibrary, QSize(1400, 900));
    TformThumbnails &window = *windows.thumbnails;
    if (options.child == QLatin1String("first-screen")) {
        QElapsedTimer timer;
        timer.start();
        windows.main->menuDisplayThumbnails->trigger();
        runUntil([&] { return windows.screenDone(); }, nullptr, 10000);
        std::printf("first-screen %.2f\n", msSince(timer));
        return 0;
    }
    // Page Down from the first record to the last.
    windows.main->menuDisplayThumbnails->trigger();
    runUntil([&] { return windows.screenDone(); }, nullptr, 10000);
    QListView *view = window.listviewThumbnails;
    view->setFocus();
    const int last = window.model()->rowCount() - 1;
    std::vector<double> stepMax, stepDone, all;
    int over = 0;
    // Page Down keeps the column: on the last line it moves no more.
    for (int before = -1; view->currentIndex().row() != before;) {
        before = view->currentIndex().row();
        std::vector<double> holds;
        QElapsedTimer busy;
        busy.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &press);
        holds.push_back(msSince(busy)); // the key itself, handled right here
        const double took = runUntil(
            [&] {
                return windows.screenDone() &&
                       windows.main->queryAlbum.recNo() == view->currentIndex().row();
            },
            &holds, 10000);
        const double most = *std::max_element(holds.begin(), holds.end());
        if (qEnvironmentVariableIsSet("BENCH_TRACE"))
            std::fprintf(stderr, "step row %d album %d took %.1f most %.2f done %d\n",
                         view->currentIndex().row(), windows.main->queryAlbum.recNo(), took, most,
                         int(windows.screenDone()));
        stepMax.push_back(most);
        stepDone.push_back(took);
        all.insert(all.end(), holds.begin(), holds.end());
        over += most > kGoalHoldMs ? 1 : 0;
    }
    std::printf("steps %zu over %d max %.2f p99 %.2f median %.2f done-median %.2f "
                "done-p99 %.2f reached %d\n",
                stepMax.size(), over, *std::max_element(stepMax.begin(), stepMax.end()),
                percentile(stepMax, 0.99), bench::median(stepMax), bench::median(stepDone),
                percentile(stepDone, 0.99),
                int(last - view->currentIndex().row() <
                    std::max(1, view->viewport()->width() / view->gridSize().width())));
    return 0;
}

// ---- the parent ------------------------------------------------------------------------

struct ChildResult
{
    bool ok = false;
    QString line;
};

ChildResult runChild(const QString &mode, const QString &library, const QString &settings)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PICTAVO_SETTINGS"), settings);
    QFile::remove(settings);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), mode, QStringLiteral("--child-library"), library});
    child.waitForFinished(-1);
    const QString out = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
    return {child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
            out.section(QLatin1Char('\n'), -1)};
}

double field(const QString &line, const QString &name)
{
    const QStringList words = line.split(QLatin1Char(' '));
    const qsizetype at = words.indexOf(name);
    return at >= 0 && at + 1 < words.size() ? words[at + 1].toDouble() : -1;
}

int measureMaking(const Options &options, const QString &dir, const QString &djpeg,
                  double &kibPerPhoto)
{
    int exitCode = 0;
    std::printf("making %d photos of 4000 x 3000, camera-like (quality 90, sensor grain)...\n",
                options.photos);
    std::fflush(stdout);
    std::vector<QByteArray> photos;
    std::vector<QByteArray> files;
    qint64 bytes = 0;
    for (int i = 0; i < options.photos; ++i) {
        fixtures::JpegOptions jpeg;
        jpeg.quality = 90;
        jpeg.grain = 6;
        jpeg.seed = quint32(i + 1);
        photos.push_back(fixtures::makeJpeg(4000, 3000, jpeg));
        bytes += photos.back().size();
        const QString path = QDir(dir).filePath(QStringLiteral("photo%1.jpg").arg(i));
        if (photos.back().isEmpty() || !bench::writeFile(path, photos.back()))
            throw Error(QStringLiteral("cannot make %1").arg(path));
        files.push_back(QFile::encodeName(path));
    }
    const QString tiny = QDir(dir).filePath(QStringLiteral("tiny.jpg"));
    fixtures::makeTestJpegFile(tiny, 8, 8);
    std::printf("  %.2f MiB a photo, %.2f bits per pixel\n",
                double(bytes) / options.photos / 1048576.0,
                double(bytes) * 8 / options.photos / 12e6);
    const QString library = QDir(dir).filePath(QStringLiteral("camera"));
    bench::fillPhotoTable(library, options.photos,
                          [&](int i, bench::PhotoRecord &record) { record.photo = photos[i]; });
    photos.clear();

    const QByteArray program = QFile::encodeName(djpeg);
    const auto runDjpeg = [&](const QByteArray &file) {
        return bench::runProcess(program, {"-scale", "1/8", "-outfile", "/dev/null", file},
                                 {"/dev/null", "/dev/null"});
    };
    // Untimed: the files and the library in the OS cache, the thumbnails once.
    for (const QByteArray &file : files)
        runDjpeg(file);
    fillThumbnails(library);

    std::vector<double> djpegMs, startMs, oursMs, oursCpu;
    for (int round = 0; round < options.rounds; ++round) {
        double djpegWall = 0, tinyWall = 0;
        for (const QByteArray &file : files) {
            const bench::ChildRun run = runDjpeg(file);
            if (!run.ok)
                throw Error(QStringLiteral("djpeg failed on %1").arg(QString::fromUtf8(file)));
            djpegWall += run.wallMs;
        }
        for (size_t i = 0; i < files.size(); ++i)
            tinyWall += runDjpeg(QFile::encodeName(tiny)).wallMs;
        djpegMs.push_back(djpegWall);
        startMs.push_back(tinyWall);
        removeThumbnails(library);
        const double cpu = processCpuMs();
        QElapsedTimer timer;
        timer.start();
        const FillSummary made = fillThumbnails(library);
        oursMs.push_back(msSince(timer));
        oursCpu.push_back(processCpuMs() - cpu);
        if (made.made != options.photos) {
            std::printf("  CHECK FAILED: %lld thumbnails made of %d photos\n", made.made,
                        options.photos);
            exitCode = 1;
        }
    }
    const double n = options.photos;
    const double djpegRate = n * 1000 / (bench::median(djpegMs) - bench::median(startMs));
    const double ourRate = n * 1000 / bench::median(oursMs);
    std::printf("\nmaking thumbnails (medians of %d rounds)\n", options.rounds);
    std::printf("  djpeg -scale 1/8, one after another: %8.0f ms, of it process starts %6.0f ms "
                "(%d runs on an 8 x 8 file)  [%s]\n",
                bench::median(djpegMs), bench::median(startMs), options.photos,
                utf8(bench::joinNumbers(djpegMs, 0)).constData());
    std::printf("  fillThumbnails:                      %8.0f ms, CPU %6.0f ms (%.2f cores)  "
                "[%s]\n",
                bench::median(oursMs), bench::median(oursCpu),
                bench::median(oursCpu) / bench::median(oursMs),
                utf8(bench::joinNumbers(oursMs, 0)).constData());
    std::printf("  rates: djpeg %.1f photos/s, ours %.1f photos/s, ratio %.2f (goal >= %.1f): "
                "%s\n",
                djpegRate, ourRate, ourRate / djpegRate, kGoalRate,
                ourRate / djpegRate >= kGoalRate ? "PASS" : "FAIL");
    if (ourRate / djpegRate < kGoalRate)
        exitCode = 1;
    kibPerPhoto = double(QFileInfo(QDir(library).filePath("thumbs.db")).size()) / 1024 / n;
    std::printf("  thumbs.db: %.1f KiB a photo (goal <= %.0f KB): %s\n", kibPerPhoto, kGoalKiB,
                kibPerPhoto * 1024 <= kGoalKiB * 1000 ? "PASS" : "FAIL");
    if (kibPerPhoto * 1024 > kGoalKiB * 1000)
        exitCode = 1;

    // The main window's moves over the same photos, with the thumbnail window hidden and
    // shown, in turns.
    Windows windows(library, QSize(1000, 700));
    Query &album = windows.main->queryAlbum;
    std::vector<double> hidden, shown;
    for (int round = 0; round < 2 * options.rounds; ++round) {
        const bool withWindow = round % 2 == 1;
        if (withWindow) {
            windows.main->menuDisplayThumbnails->trigger();
            runUntil([&] { return windows.screenDone(); }, nullptr, 10000);
        } else {
            windows.thumbnails->hide();
        }
        Windows::settle();
        for (int row = 0; row < album.recordCount(); ++row) {
            QElapsedTimer timer;
            timer.start();
            album.moveTo(row);
            Windows::settle();
            (withWindow ? shown : hidden).push_back(msSince(timer));
        }
    }
    const double ratio = bench::median(shown) / bench::median(hidden);
    std::printf("\nmain window record moves (medians of %zu moves each)\n", shown.size());
    std::printf("  thumbnail window hidden %.2f ms, shown %.2f ms, ratio %.2f (goal <= %.1f): %s\n",
                bench::median(hidden), bench::median(shown), ratio, kGoalMoveRatio,
                ratio <= kGoalMoveRatio ? "PASS" : "FAIL");
    if (ratio > kGoalMoveRatio)
        exitCode = 1;
    return exitCode;
}

int measureLargeLibrary(const Options &options, const QString &library, const QString &settings)
{
    int exitCode = 0;
    Query album;
    album.setDatabaseName(library);
    album.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    bool reuse = false;
    try {
        album.open();
        reuse = album.recordCount() == options.records;
    } catch (const Error &) {
    }
    album.close();
    if (!reuse) {
        std::printf("\nmaking a library of %d photos of 320 x 240...\n", options.records);
        std::fflush(stdout);
        std::vector<QByteArray> bases;
        for (int i = 0; i < 64; ++i) {
            fixtures::JpegOptions jpeg;
            jpeg.seed = quint32(i + 100);
            bases.push_back(fixtures::makeJpeg(320, 240, jpeg));
        }
        removeThumbnails(library);
        // Each record's photo its own bytes: a picture, then a number after its end.
        bench::fillPhotoTable(
            library, options.records,
            [&](int i, bench::PhotoRecord &record) {
                record.photo = bases[size_t(i) % bases.size()] + QByteArray::number(i);
            },
            5000);
    }
    QElapsedTimer timer;
    timer.start();
    const FillSummary made = fillThumbnails(library);
    std::printf("\nlarge library: %lld photos, %lld thumbnails made in %.1f s, thumbs.db %.1f KiB "
                "a photo\n",
                made.photos, made.made, msSince(timer) / 1e3,
                double(QFileInfo(QDir(library).filePath("thumbs.db")).size()) / 1024 /
                    std::max<qint64>(1, made.photos));

    std::vector<double> firstScreens;
    for (int run = 0; run < options.screens; ++run) {
        const ChildResult result = runChild(QStringLiteral("first-screen"), library, settings);
        if (!result.ok)
            throw Error(QStringLiteral("the first-screen child failed: %1").arg(result.line));
        firstScreens.push_back(field(result.line, QStringLiteral("first-screen")));
    }
    const double first = bench::median(firstScreens);
    std::printf("  first screen after the command: median %.1f ms (goal <= %.0f): %s  [%s]\n",
                first, kGoalFirstScreenMs, first <= kGoalFirstScreenMs ? "PASS" : "FAIL",
                utf8(bench::joinNumbers(firstScreens, 1)).constData());
    if (first > kGoalFirstScreenMs)
        exitCode = 1;

    const ChildResult paging = runChild(QStringLiteral("page-down"), library, settings);
    if (!paging.ok)
        throw Error(QStringLiteral("the page-down child failed: %1").arg(paging.line));
    const double longest = field(paging.line, QStringLiteral("max"));
    std::printf("  Page Down, first record to last: %.0f steps; the longest stretch the main "
                "thread was busy in a step: max %.2f ms, 99th percentile %.2f ms, median %.2f "
                "ms; steps with one over %.0f ms: %.0f (goal: none): %s\n",
                field(paging.line, QStringLiteral("steps")), longest,
                field(paging.line, QStringLiteral("p99")),
                field(paging.line, QStringLiteral("median")), kGoalHoldMs,
                field(paging.line, QStringLiteral("over")),
                longest <= kGoalHoldMs ? "PASS" : "FAIL");
    std::printf("  a step's screen complete (thumbnails drawn, main window moved): median %.1f "
                "ms, 99th percentile %.1f ms\n",
                field(paging.line, QStringLiteral("done-median")),
                field(paging.line, QStringLiteral("done-p99")));
    if (longest > kGoalHoldMs)
        exitCode = 1;
    if (field(paging.line, QStringLiteral("reached")) != 1) {
        std::printf("  CHECK FAILED: Page Down did not reach the last line\n");
        exitCode = 1;
    }
    return exitCode;
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = parseOptions(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each line as it comes, also into a file
    // The real windows, drawn offscreen on a screen of 1600 x 1000.
    const QString screen = QDir::temp().filePath(QStringLiteral("bench_thumbnails_screen.json"));
    bench::writeFile(screen, "{\"screens\": [{\"name\": \"bench\", \"x\": 0, \"y\": 0, "
                             "\"width\": 1600, \"height\": 1000, \"logicalDpi\": 96}]}");
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screen));
    // The offscreen platform says for every window that it cannot raise it.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
        if (!text.startsWith(QLatin1String("This plugin does not support")))
            std::fprintf(stderr, "%s\n", utf8(text).constData());
    });
    TracingApplication app(argc, argv);
    if (!options.child.isEmpty())
        return childMain(options);

    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    if (djpeg.isEmpty()) {
        std::fprintf(stderr, "bench_thumbnails: djpeg is not on PATH (libjpeg-turbo-progs)\n");
        return 2;
    }
    std::unique_ptr<QTemporaryDir> work = bench::makeWorkDirectory("thumbnails", options.keep);
    if (!work)
        return 2;
    const QString settings = work->filePath(QStringLiteral("settings.json"));
    qputenv("PICTAVO_SETTINGS", QFile::encodeName(settings));
    SettingsStore::instance().setFilePath(settings);
    int exitCode = 0;
    try {
        double kib = 0;
        exitCode |= measureMaking(options, work->path(), djpeg, kib);
        if (options.records > 0) {
            const QString library =
                options.dir.isEmpty() ? work->filePath(QStringLiteral("large")) : options.dir;
            QDir().mkpath(library);
            exitCode |= measureLargeLibrary(options, library, work->filePath("child.json"));
        }
    } catch (const Error &error) {
        std::printf("error: %s\n", utf8(error.text()).constData());
        exitCode = 1;
    }
    return bench::reportEnd(exitCode, options.keep ? work->path() : QString());
}
