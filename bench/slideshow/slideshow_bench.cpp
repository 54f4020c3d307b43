// Times a slideshow with no wait over 24-megapixel photos against the same show with the
// look-ahead decoder off, in the same run, with the real windows on Qt's offscreen
// platform. The show decodes the next two photos on two worker threads while the current
// one is drawn and counted; without the look-ahead each photo is decoded when it is
// reached. Goal: the show takes at most 0.6 times the show without look-ahead (two cores
// cannot make it less than 0.5). Record moves of the main window are timed too, for
// reference. Each step of a photo is also timed alone on the main thread, to show where a
// show's time goes.
//
// A second goal: with Down pressed every 300 ms in the main window, the next photo's
// fitted pixels are ready within 10 ms of the move (95th percentile), the look-ahead
// having decoded it meanwhile.
//
// Exit status: 0 when the goals are met and every check holds, 1 otherwise, 2 for bad
// options.

#include "album/record_maintenance.h"
#include "base/error.h"
#include "base/settings_store.h"
#include "common/bench_support.h"
#include "common/command_line.h"
#include "db/table.h"
#include "main/tformmain.h"
#include "picture/display_picture.h"
#include "picture/jpeg_decoder.h"
#include "picture/look_ahead_decoder.h"
#include "picture/picture_fit.h"
#include "picture/picture_memory.h"
#include "slide/tformslide.h"
#include "support/jpeg_fixtures.h"
#include "support/scripted_prompter.h"
#include "widgets/draw_picture.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>
#include <sys/resource.h>
#include <vector>

using namespace pictavo;
using bench::msSince;
using bench::utf8;

namespace {

constexpr double kGoalRatio = 0.6;
constexpr double kGoalLatencyMs = 10;
constexpr int kPressIntervalMs = 300;
constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kQuality = 90;

struct Options
{
    int photos = 30;
    int rounds = 2;
    int presses = 40;
    QSize screen{1920, 1080};
    QSize window{1000, 700};
    bool keep = false;
};

constexpr char kUsage[] =
    "usage: bench_slideshow [--photos N] [--rounds N] [--presses N] [--screen WxH]\n"
    "                       [--window WxH] [--keep]\n"
    "  --photos N    6000 x 4000 photos, shown by the show and moved over (default 30)\n"
    "  --rounds N    rounds of show and moves, interleaved (default 2)\n"
    "  --presses N   Down keys, one every 300 ms, whose latency is timed (default 40)\n"
    "  --screen WxH  the offscreen screen the slide covers (default 1920x1080)\n"
    "  --window WxH  the main window (default 1000x700)\n"
    "  --keep        keep the temporary database and print where it is\n";

std::optional<QSize> parseSize(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    bool okWidth = false, okHeight = false;
    const int width = parts.value(0).toInt(&okWidth);
    const int height = parts.value(1).toInt(&okHeight);
    if (parts.size() != 2 || !okWidth || !okHeight || width < 64 || height < 64 || width > 16384 ||
        height > 16384)
        return std::nullopt;
    return QSize(width, height);
}

Options parseOptions(int argc, char **argv)
{
    Options options;
    bench::parseCommandLine(argc, argv, kUsage, [&](bench::CommandLine &args) {
        QString size;
        for (auto [name, target] :
             {std::pair{"--screen", &options.screen}, std::pair{"--window", &options.window}}) {
            if (args.takeValue(name, size)) {
                const std::optional<QSize> parsed = parseSize(size);
                if (!parsed)
                    args.fail();
                *target = *parsed;
                return true;
            }
        }
        return args.takeInt("--photos", options.photos, 2, 1000) ||
               args.takeInt("--rounds", options.rounds, 1, 100) ||
               args.takeInt("--presses", options.presses, 2, 10000) ||
               args.takeSwitch("--keep", options.keep);
    });
    return options;
}

double cpuMs(int who)
{
    if (who == RUSAGE_THREAD) {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    }
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

struct Timing
{
    std::vector<double> wall, mainCpu, processCpu, waited;
    void add(double ms, double main, double process, double waitedMs = 0)
    {
        wall.push_back(ms);
        mainCpu.push_back(main);
        processCpu.push_back(process);
        waited.push_back(waitedMs);
    }
    void print(const char *label, int photos) const
    {
        const double w = bench::median(wall), m = bench::median(mainCpu),
                     p = bench::median(processCpu);
        std::printf("  %-36s %8.0f ms (%6.1f ms a photo), CPU: main thread %7.0f ms, "
                    "process %7.0f ms   [",
                    label, w, w / photos, m, p);
        for (double v : wall)
            std::printf(" %.0f", v);
        std::printf(" ]\n");
        if (bench::median(waited) > 0)
            std::printf("  %-36s %8.0f ms (%6.1f ms a photo)\n",
                        "  of it waiting for the look-ahead:", bench::median(waited),
                        bench::median(waited) / photos);
    }
};

void fillDatabase(const QString &dir, const std::vector<QByteArray> &photos)
{
    bench::createPhotoDatabase(dir);
    Table table;
    table.setDatabaseName(dir);
    table.setTableName(QStringLiteral("PHOTODB.DB"));
    table.open();
    for (size_t i = 0; i < photos.size(); ++i) {
        table.append();
        table.setValue(QStringLiteral("PREFIX"), QStringLiteral("holiday"));
        table.setValue(QStringLiteral("NAME"),
                       QStringLiteral("img_%1").arg(i, 4, 10, QLatin1Char('0')));
        table.setValue(QStringLiteral("EXT"), QStringLiteral(".jpg"));
        table.setValue(QStringLiteral("KEYWORD"), QStringLiteral("sea,beach"));
        table.setValue(QStringLiteral("COUNT"), 0);
        table.setValue(QStringLiteral("IMAGE_SIZE"), qint64(photos[i].size()));
        table.setBlob(QStringLiteral("IMAGE"), photos[i]);
        table.post();
    }
    table.close();
    table.setTableName(QStringLiteral("KEYWORD.DB"));
    table.open();
    for (const char *keyword : {"beach", "sea"}) {
        table.append();
        table.setValue(QStringLiteral("KEYWORD"), QString::fromLatin1(keyword));
        table.setValue(QStringLiteral("COUNT"), qint64(photos.size()));
        table.post();
    }
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

qint64 countSum(Query &album)
{
    qint64 sum = 0;
    for (int row = 0; row < album.recordCount(); ++row)
        sum += album.valueAt(row, album.fieldNumber(QStringLiteral("COUNT"))).toLongLong();
    return sum;
}

// Where a photo's time goes, one step at a time on this thread: medians over the photos.
void printBreakdown(TformMain &form, TformSlide &slide, QSize screenFit, QSize areaFit)
{
    Query &album = form.queryAlbum;
    const QRect screenArea = form.screen()->geometry();
    std::vector<double> read, decodeSlide, decodeArea, scale, draw, drawAhead, count, countCpu;
    // The slide decoded at the smallest scale that covers it, when the draw scale is larger:
    // what the choice of the larger one is measured against.
    std::vector<double> decodeSmallest, scaleSmallest, bothSmallest, bothDrawn;
    const QSize full(kWidth, kHeight);
    const int smallest = JpegDecoder::chooseScale(full, screenFit);
    const int drawn = JpegDecoder::drawScale(full, screenFit);
    const JpegDecoder decoder;
    // A look-ahead of its own, as the show's, to draw slides that a worker scaled.
    LookAheadDecoder ahead;
    ahead.setDrawStep(prepareFittedDraw);
    QElapsedTimer timer;
    for (int row = 0; row < album.recordCount(); ++row) {
        album.moveTo(row);
        timer.start();
        const QByteArray jpeg = album.readBlobAt(row, QStringLiteral("IMAGE"));
        read.push_back(msSince(timer));
        timer.start();
        decoder.decode(jpeg, areaFit);
        decodeArea.push_back(msSince(timer));
        DisplayPicture picture;
        picture.setJpeg(jpeg);
        timer.start();
        const DecodedPicture &decoded = picture.pixelsFor(screenFit);
        decodeSlide.push_back(msSince(timer));
        timer.start();
        const QImage image(reinterpret_cast<const uchar *>(decoded.pixels.constData()),
                           decoded.size.width(), decoded.size.height(), decoded.bytesPerLine,
                           QImage::Format_RGB32);
        const QImage fitted =
            image.scaled(screenFit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        scale.push_back(msSince(timer));
        bothDrawn.push_back(decodeSlide.back() + scale.back());
        if (smallest != drawn) {
            timer.start();
            const DecodedPicture low = decoder.decodeAt(jpeg, smallest);
            decodeSmallest.push_back(msSince(timer));
            timer.start();
            const QImage lowImage(reinterpret_cast<const uchar *>(low.pixels.constData()),
                                  low.size.width(), low.size.height(), low.bytesPerLine,
                                  QImage::Format_RGB32);
            const QImage lowFitted =
                lowImage.scaled(screenFit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            scaleSmallest.push_back(msSince(timer));
            bothSmallest.push_back(decodeSmallest.back() + scaleSmallest.back());
        }
        timer.start();
        slide.showPicture(picture, true, screenArea);
        draw.push_back(msSince(timer));
        DisplayPicture prepared;
        prepared.setLookAhead(&ahead);
        ahead.prepare(jpeg, TformSlide::viewArea(screenArea));
        prepared.setJpeg(jpeg);
        prepared.pixelsFor(screenFit); // waits for the worker
        timer.start();
        slide.showPicture(prepared, true, screenArea);
        drawAhead.push_back(msSince(timer));
        const double cpu0 = cpuMs(RUSAGE_THREAD);
        timer.start();
        CountView(album);
        count.push_back(msSince(timer));
        countCpu.push_back(cpuMs(RUSAGE_THREAD) - cpu0);
    }
    slide.hide();
    settle();
    const auto line = [](const char *label, const std::vector<double> &ms) {
        std::printf("  %-44s %6.1f ms\n", label, bench::median(ms));
    };
    std::printf("\na photo's steps one at a time on the main thread (medians):\n");
    line("read the photo from the database:", read);
    line("decode for the main window's picture area:", decodeArea);
    std::printf("  %-44s %6.1f ms\n",
                qPrintable(QStringLiteral("decode for the slide (at %1/8):").arg(drawn)),
                bench::median(decodeSlide));
    line("scale the slide's decode to its fitted size:", scale);
    if (smallest != drawn) {
        std::printf(
            "  %-44s %6.1f ms\n",
            qPrintable(QStringLiteral("decode at %1/8, the smallest covering:").arg(smallest)),
            bench::median(decodeSmallest));
        std::printf(
            "  %-44s %6.1f ms\n",
            qPrintable(QStringLiteral("scale the %1/8 decode to the fitted size:").arg(smallest)),
            bench::median(scaleSmallest));
        std::printf("  decode and scale for the slide: %.1f ms at %d/8 against %.1f ms at %d/8\n",
                    bench::median(bothDrawn), drawn, bench::median(bothSmallest), smallest);
    }
    line("draw the slide (the scale above, then paint):", draw);
    line("draw a slide a worker scaled (paint only):", drawAhead);
    line("count the view (a post to disk):", count);
    // The rest of the count is the journal's and the table's writes and flushes.
    line("  of it CPU (the update builds the whole record):", countCpu);
}

// The value that 95 % of the values do not exceed.
double percentile95(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = size_t(std::ceil(0.95 * double(values.size())));
    return values[std::max<size_t>(rank, 1) - 1];
}

struct DownKeys
{
    std::vector<double> ms;
    int taken = 0;       // decodes the look-ahead handed over
    int takenScaled = 0; // of them, already scaled to the fitted size by its worker
};

// Down pressed every kPressIntervalMs in the main window. Each press is what the window's
// move does up to the picture: the move, the read of the photo, its header, and
// DrawPicture, which takes the look-ahead's decode (and its worker's scale to the fitted
// size) when the next photo was prepared. Timed from the move to the fitted pixels in the
// label. Then the next record is prepared as the window prepares it: by its SERIAL, its
// photo read on this thread.
DownKeys timeDownKeys(const QString &dbDir, QSize area, int presses)
{
    Query query;
    query.setDatabaseName(dbDir);
    query.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    query.open();
    LookAheadDecoder ahead;
    ahead.setDrawStep(prepareFittedDraw);
    DisplayPicture picture;
    picture.setLookAhead(&ahead);
    QScrollArea scroll;
    scroll.resize(area);
    auto *label = new QLabel;
    setUpPictureArea(&scroll, label);
    const int serial = query.fieldIndex(QStringLiteral("SERIAL"));
    const auto prepareNext = [&] {
        const int next = (query.recNo() + 1) % query.recordCount();
        ahead.prepare({query.valueAt(next, serial).toLongLong()}, area,
                      [&](size_t) { return query.readBlobAt(next, QStringLiteral("IMAGE")); });
    };
    query.first();
    picture.setJpeg(query.readBlob(QStringLiteral("IMAGE")));
    DrawPicture(picture, label, &scroll, true);
    prepareNext();

    DownKeys result;
    QElapsedTimer sincePress;
    sincePress.start();
    for (int i = 0; i < presses; ++i) {
        // The user's next press; meanwhile the worker decodes.
        const qint64 left = kPressIntervalMs - sincePress.elapsed();
        if (left > 0)
            QThread::msleep(quint64(left));
        const int hits = ahead.hits(), drawn = ahead.drawnHits();
        sincePress.start();
        QElapsedTimer timer;
        timer.start();
        query.moveTo((query.recNo() + 1) % query.recordCount());
        picture.setJpeg(query.readBlob(QStringLiteral("IMAGE")));
        DrawPicture(picture, label, &scroll, true);
        result.ms.push_back(msSince(timer));
        result.taken += ahead.hits() - hits;
        result.takenScaled += ahead.drawnHits() - drawn;
        prepareNext();
    }
    return result;
}

int runBenchmark(const Options &options, const QString &dir)
{
    int exitCode = 0;
    const auto fault = [&](const QString &text) {
        std::printf("  CHECK FAILED: %s\n", utf8(text).constData());
        exitCode = 1;
    };

    std::printf("making %d photos of %d x %d at quality %d...\n", options.photos, kWidth, kHeight,
                kQuality);
    std::fflush(stdout);
    QElapsedTimer timer;
    timer.start();
    std::vector<QByteArray> photos;
    for (int i = 0; i < options.photos; ++i) {
        fixtures::JpegOptions jpegOptions;
        jpegOptions.quality = kQuality;
        jpegOptions.seed = quint32(i + 1);
        photos.push_back(fixtures::makeJpeg(kWidth, kHeight, jpegOptions));
        if (photos.back().isEmpty())
            throw Error(QStringLiteral("libjpeg could not make a photo"));
    }
    const QString dbDir = QDir(dir).filePath(QStringLiteral("db"));
    fillDatabase(dbDir, photos);
    std::printf("  made and stored in %.1f s in %s\n", msSince(timer) / 1e3,
                utf8(dbDir).constData());

    SettingsStore::instance().setFilePath(QDir(dir).filePath(QStringLiteral("settings.json")));
    SettingsStore::instance().writeStrings(
        QStringLiteral("\\software\\Orbelin_PV\\formMain"),
        {{QStringLiteral("Database_Name"), dbDir},
         {QStringLiteral("Left"), QStringLiteral("0")},
         {QStringLiteral("Top"), QStringLiteral("0")},
         {QStringLiteral("Width"), QString::number(options.window.width())},
         {QStringLiteral("Height"), QString::number(options.window.height())}});

    ScriptedPrompter prompter; // any question would be a fault of the set-up
    TformMain form(prompter);
    TformSlide slide(prompter, &form);
    form.setSlide(&slide);
    form.show();
    settle();
    Query &album = form.queryAlbum;
    if (!album.active() || album.recordCount() != options.photos)
        throw Error(
            QStringLiteral("the database did not open with %1 records").arg(options.photos));

    const QSize screen = form.screen()->geometry().size();
    const QSize area = form.scrollboxViewArea->size();
    const QSize full(kWidth, kHeight);
    const QSize areaFit = FitPicture(kWidth, kHeight, area.width(), area.height());
    const QSize screenFit = FitPicture(kWidth, kHeight, screen.width(), screen.height());
    std::printf("\nscreen %d x %d: a slide is %d x %d, decoded at %d/8 (the smallest scale "
                "covering it: %d/8)\n",
                screen.width(), screen.height(), screenFit.width(), screenFit.height(),
                JpegDecoder::drawScale(full, screenFit), JpegDecoder::chooseScale(full, screenFit));
    std::printf("main window's picture area %d x %d: a photo is %d x %d, decoded at %d/8\n",
                area.width(), area.height(), areaFit.width(), areaFit.height(),
                JpegDecoder::drawScale(full, areaFit));

    Timing moves, show, oneAheadShow, plainShow;
    const auto timeMoves = [&] {
        form.lookAhead().setEnabled(false);
        album.first();
        settle();
        const double main0 = cpuMs(RUSAGE_THREAD), process0 = cpuMs(RUSAGE_SELF);
        timer.start();
        for (int i = 0; i < options.photos; ++i) {
            album.moveTo((album.recNo() + 1) % album.recordCount());
            QCoreApplication::processEvents(); // and paint, as the show does
        }
        moves.add(msSince(timer), cpuMs(RUSAGE_THREAD) - main0, cpuMs(RUSAGE_SELF) - process0);
        if (album.recNo() != 0)
            fault(QStringLiteral("the moves did not come round to the first record"));
    };
    const auto timeShow = [&](bool lookAhead, Timing &timing, int ahead = 2) {
        form.lookAhead().setEnabled(lookAhead);
        form.lookAhead().setMaxAhead(ahead);
        album.first();
        settle();
        const qint64 countsBefore = countSum(album);
        const int hitsBefore = form.lookAhead().hits();
        const int drawnBefore = form.lookAhead().drawnHits();
        const double waitedBefore = form.lookAhead().waitedMs();
        form.SetWaitTime(0);
        const double main0 = cpuMs(RUSAGE_THREAD), process0 = cpuMs(RUSAGE_SELF);
        timer.start();
        form.menuDisplaySlideshowClick();
        timing.add(msSince(timer), cpuMs(RUSAGE_THREAD) - main0, cpuMs(RUSAGE_SELF) - process0,
                   form.lookAhead().waitedMs() - waitedBefore);
        if (countSum(album) != countsBefore + options.photos)
            fault(QStringLiteral("the show did not count every photo once"));
        if (album.recNo() != options.photos - 1 || slide.isVisible())
            fault(QStringLiteral("the show did not end on the last record with the slide closed"));
        const int hits = form.lookAhead().hits() - hitsBefore;
        if (hits != (lookAhead ? options.photos - 1 : 0))
            fault(QStringLiteral("%1 photos came from the look-ahead").arg(hits));
        // Scaled on the workers whenever the decode is not already the slide's size.
        const bool scaled =
            JpegDecoder::scaledSize(full, JpegDecoder::drawScale(full, screenFit)) != screenFit;
        const int drawn = form.lookAhead().drawnHits() - drawnBefore;
        if (drawn != (scaled ? hits : 0))
            fault(QStringLiteral("%1 of %2 slides were scaled on a worker").arg(drawn).arg(hits));
    };

    // Untimed warm-up: page cache, allocator, the slide's first showing.
    timeShow(true, show);
    show = Timing();
    std::printf("\ntiming %d rounds (moves, show, show one photo ahead, show without "
                "look-ahead; the order turns)\n",
                options.rounds);
    std::fflush(stdout);
    for (int round = 0; round < options.rounds; ++round) {
        if (round % 2 == 0) {
            timeMoves();
            timeShow(true, show);
            timeShow(true, oneAheadShow, 1);
            timeShow(false, plainShow);
        } else {
            timeShow(false, plainShow);
            timeShow(true, oneAheadShow, 1);
            timeShow(true, show);
            timeMoves();
        }
    }
    std::printf("\nDown pressed %d times, every %d ms, in a %d x %d picture area\n",
                options.presses, kPressIntervalMs, area.width(), area.height());
    std::fflush(stdout);
    const DownKeys keys = timeDownKeys(dbDir, area, options.presses);
    if (keys.taken != options.presses)
        fault(QStringLiteral("%1 of %2 moves took the look-ahead's decode")
                  .arg(keys.taken)
                  .arg(options.presses));
    printBreakdown(form, slide, screenFit, areaFit);
    if (!prompter.calls.isEmpty())
        fault(QStringLiteral("a message came up: %1").arg(prompter.calls.first().text));

    std::printf("\nmedians over %d rounds, %d photos each:\n", options.rounds, options.photos);
    moves.print("record moves, no look-ahead:", options.photos);
    show.print("slideshow, wait 0:", options.photos);
    oneAheadShow.print("slideshow, wait 0, one photo ahead:", options.photos);
    plainShow.print("slideshow, wait 0, no look-ahead:", options.photos);
    // Each round runs the two shows a few seconds apart, so a round's own ratio is free of
    // what the machine did in other rounds; the goal takes the median of those.
    std::vector<double> ratios;
    for (size_t i = 0; i < show.wall.size(); ++i)
        ratios.push_back(show.wall[i] / plainShow.wall[i]);
    const double ratio = bench::median(ratios);
    std::printf("\ngoal: show <= %.1f x show without look-ahead, median of the rounds' ratios:"
                " %.3f  -> %s\n",
                kGoalRatio, ratio, ratio <= kGoalRatio ? "PASS" : "FAIL");
    std::printf("  information: ratio of the medians %.0f ms / %.0f ms = %.3f\n",
                bench::median(show.wall), bench::median(plainShow.wall),
                bench::median(show.wall) / bench::median(plainShow.wall));
    std::printf("  information: show / record moves = %.3f\n",
                bench::median(show.wall) / bench::median(moves.wall));
    std::printf("\nDown every %d ms, move to fitted pixels: median %.2f ms, max %.2f ms; %d of %d "
                "decodes from the look-ahead, %d of them scaled by its worker\n",
                kPressIntervalMs, bench::median(keys.ms),
                *std::max_element(keys.ms.begin(), keys.ms.end()), keys.taken, options.presses,
                keys.takenScaled);
    const double p95 = percentile95(keys.ms);
    std::printf("goal: 95th percentile <= %.0f ms: %.2f ms  -> %s\n", kGoalLatencyMs, p95,
                p95 <= kGoalLatencyMs ? "PASS" : "FAIL");
    if (ratio > kGoalRatio || p95 > kGoalLatencyMs)
        exitCode = 1;
    return exitCode;
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = parseOptions(argc, argv);
    const std::unique_ptr<QTemporaryDir> temporary =
        bench::makeWorkDirectory("bench_slideshow", options.keep);
    if (!temporary)
        return 2;
    // The real windows, drawn offscreen on a screen of the size asked for.
    const QString screenFile = temporary->filePath(QStringLiteral("screen.json"));
    bench::writeFile(screenFile,
                     QStringLiteral("{\"screens\": [{\"name\": \"bench\", \"x\": 0, \"y\": 0, "
                                    "\"width\": %1, \"height\": %2, \"logicalDpi\": 96, "
                                    "\"logicalBaseDpi\": 96, \"dpr\": 1}]}")
                         .arg(options.screen.width())
                         .arg(options.screen.height())
                         .toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screenFile));
    // The offscreen platform says for every slide that it cannot raise a window.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
        if (!text.startsWith(QLatin1String("This plugin does not support")))
            std::fprintf(stderr, "%s\n", utf8(text).constData());
    });
    KeepPictureBuffersForReuse(); // as the program starts
    QApplication app(argc, argv);

    int exitCode = 0;
    try {
        exitCode = runBenchmark(options, temporary->path());
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench_slideshow: %s\n", error.what());
        exitCode = 1;
    }
    return bench::reportEnd(exitCode, options.keep ? temporary->path() : QString());
}
