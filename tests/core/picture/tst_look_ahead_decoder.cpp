#include "picture/display_picture.h"
#include "picture/look_ahead_decoder.h"
#include "picture/picture_fit.h"
#include "support/jpeg_fixtures.h"

#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <thread>

using namespace pictavo;
using fixtures::makeJpeg;

namespace {

QByteArray photo(int width, int height, quint32 seed)
{
    fixtures::JpegOptions options;
    options.seed = seed;
    return makeJpeg(width, height, options);
}

// The decode a picture makes by itself, with no look-ahead.
DecodedPicture direct(const QByteArray &jpeg, QSize target)
{
    const JpegDecoder decoder;
    return decoder.decodeAt(jpeg, JpegDecoder::drawScale(decoder.probe(jpeg).size, target));
}

bool samePixels(const DecodedPicture &a, const DecodedPicture &b)
{
    return a.size == b.size && a.fullSize == b.fullSize && a.scaleEighths == b.scaleEighths &&
           a.bytesPerLine == b.bytesPerLine && a.pixels == b.pixels;
}

// What the draw step saw: it must come back with the very decode it was made from.
struct Stamp : PreparedDraw
{
    Stamp(const DecodedPicture &seen, QSize forArea) : picture(seen), area(forArea) {}
    DecodedPicture picture;
    QSize area;
};

} // namespace

// The look-ahead decoder against direct decodes: random prepares (of bytes, or of records
// named by key whose photos change now and then), takes and drops, with the worker caught
// at random points of its decode.
class TestLookAheadDecoder : public QObject
{
    Q_OBJECT

private slots:
    void randomStepsMatchDirectDecodes();
    void disabledPreparesNothing();
    void spareBufferOnlyWhenNobodyHoldsIt();
};

void TestLookAheadDecoder::randomStepsMatchDirectDecodes()
{
    // Photos of several shapes, one that cannot be decoded, and two byte-for-byte copies
    // held apart (a record read twice from the database).
    const QList<QByteArray> photos{photo(1600, 1200, 1),
                                   photo(1200, 1600, 2),
                                   photo(640, 480, 3),
                                   photo(2400, 900, 4),
                                   photo(1600, 1200, 5),
                                   fixtures::withCorruptedBytes(photo(800, 600, 6), 9, 400, 700),
                                   QByteArray("\xff\xd8 not a photo", 14)};
    const QList<QSize> areas{QSize(381, 308), QSize(800, 600), QSize(1280, 1024), QSize(200, 900),
                             QSize(3000, 3000)};
    QRandomGenerator random(20261208);
    LookAheadDecoder lookAhead;
    lookAhead.setDrawStep([](const DecodedPicture &picture, QSize area) {
        return std::make_shared<const Stamp>(picture, area);
    });
    // Records named by key, each with a photo that a step may replace.
    QList<int> recordPhoto;
    for (int r = 0; r < 6; ++r)
        recordPhoto.append(random.bounded(int(photos.size())));
    // The model: what was prepared and not yet taken or dropped, in the order prepared.
    struct Prepared
    {
        int photo;
        QSize area;
        qint64 key = -1;
    };
    QList<Prepared> prepared;
    const auto randomPhoto = [&] { return random.bounded(int(photos.size())); };
    int hits = 0;
    int misses = 0;
    int keptOnTheWay = 0; // prepares that went on with a photo prepared the step before
    int readsSaved = 0;   // keyed prepares that kept a photo without reading it
    int staleKept = 0;    // ... whose record's photo had changed meanwhile
    for (int step = 0; step < 900; ++step) {
        const int action = random.bounded(13);
        if (action < 6 && random.bounded(2) == 0) {
            // Records by key, the show's way or at random; now and then one with no key.
            const QSize area = random.bounded(3) != 0 && !prepared.isEmpty()
                                   ? prepared.first().area
                                   : areas[random.bounded(int(areas.size()))];
            std::vector<qint64> keys;
            if (random.bounded(4) != 0)
                for (const Prepared &p : prepared)
                    keys.push_back(p.key);
            for (int n = random.bounded(1, 4) - int(keys.size()); n > 0; --n)
                keys.push_back(random.bounded(8) == 0 ? -1
                                                      : random.bounded(int(recordPhoto.size())));
            QList<int> keyless; // the photo read for a key of -1
            for (size_t i = 0; i < keys.size(); ++i)
                keyless.append(randomPhoto());
            const auto photoOf = [&](size_t i) {
                return keys[i] < 0 ? keyless[int(i)] : recordPhoto[int(keys[i])];
            };
            QList<size_t> reads;
            lookAhead.prepare(keys, area, [&](size_t i) {
                reads.append(i);
                return photos[photoOf(i)];
            });

            QList<size_t> expectedReads;
            QList<Prepared> left = prepared;
            QList<Prepared> next;
            QList<bool> held;
            for (size_t i = 0; i < keys.size() && held.size() < LookAheadDecoder::kMaxAhead; ++i) {
                held.append(keys[i] >= 0 &&
                            std::any_of(prepared.begin(), prepared.end(), [&](const Prepared &e) {
                                return e.key == keys[i] && e.area == area;
                            }));
                if (!held.last())
                    expectedReads.append(i);
            }
            for (qsizetype i = 0; i < held.size(); ++i) {
                const auto match = std::find_if(left.begin(), left.end(), [&](const Prepared &e) {
                    return e.area == area &&
                           (held[i] ? e.key == keys[size_t(i)]
                                    : photos[e.photo] == photos[photoOf(size_t(i))]);
                });
                if (match != left.end()) {
                    if (held[i]) {
                        ++readsSaved;
                        staleKept += match->photo != photoOf(size_t(i)) ? 1 : 0;
                    }
                    next.append({match->photo, area, keys[size_t(i)]});
                    left.erase(match);
                } else if (!held[i]) {
                    next.append({photoOf(size_t(i)), area, keys[size_t(i)]});
                }
            }
            QCOMPARE(reads, expectedReads);
            prepared = next;
        } else if (action < 6) {
            // One to three photos, sometimes the show's way: those still prepared come
            // first, one more after them.
            const QSize area = random.bounded(3) != 0 && !prepared.isEmpty()
                                   ? prepared.first().area
                                   : areas[random.bounded(int(areas.size()))];
            QList<int> asked;
            if (action < 3 && !prepared.isEmpty()) {
                for (const Prepared &p : prepared)
                    asked.append(p.photo);
                keptOnTheWay += prepared.first().area == area ? 1 : 0;
            }
            for (int n = random.bounded(1, 4) - int(asked.size()); n > 0; --n)
                asked.append(randomPhoto());
            std::vector<QByteArray> bytes;
            for (int p : asked)
                bytes.push_back(photos[p]);
            lookAhead.prepare(bytes, area);
            // Prepared by bytes, a photo is named by no key.
            prepared.clear();
            for (int p : asked.mid(0, LookAheadDecoder::kMaxAhead))
                prepared.append({p, area, -1});
        } else if (action == 12) {
            // A record's photo replaced, most often one prepared under its key: that slot
            // now holds the old bytes.
            const auto keyed = std::find_if(prepared.begin(), prepared.end(),
                                            [](const Prepared &e) { return e.key >= 0; });
            const int record =
                keyed != prepared.end() ? int(keyed->key) : random.bounded(int(recordPhoto.size()));
            recordPhoto[record] = randomPhoto();
        } else if (action < 11) {
            // Another copy of the same bytes must be found too.
            const int p = random.bounded(3) != 0 && !prepared.isEmpty()
                              ? prepared[random.bounded(int(prepared.size()))].photo
                              : randomPhoto();
            QByteArray asked = photos[p];
            asked.detach();
            const JpegHeader header = [&] {
                try {
                    return JpegDecoder().probe(asked);
                } catch (const DecodeError &) {
                    return JpegHeader();
                }
            }();
            const auto found =
                std::find_if(prepared.begin(), prepared.end(),
                             [&](const Prepared &e) { return photos[e.photo] == asked; });
            const QSize area = random.bounded(3) != 0 && found != prepared.end()
                                   ? found->area
                                   : areas[random.bounded(int(areas.size()))];
            const QSize target =
                random.bounded(4) == 0 ? QSize() : FitAndCentrePicture(header.size, area).size();
            // Sometimes the workers are far along or done, sometimes they have just begun.
            if (random.bounded(3) == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(random.bounded(20)));
            std::shared_ptr<const PreparedDraw> drawn;
            const std::optional<DecodedPicture> taken = lookAhead.take(asked, target, &drawn);

            bool expected = false;
            if (found != prepared.end() && !header.size.isEmpty()) {
                const QSize preparedFit = FitAndCentrePicture(header.size, found->area).size();
                expected = JpegDecoder::drawScale(header.size, preparedFit) ==
                           JpegDecoder::drawScale(header.size, target);
                try {
                    direct(asked, target);
                } catch (const DecodeError &) {
                    expected = false; // the caller meets the failure in its own decode
                }
            }
            QCOMPARE(taken.has_value(), expected);
            if (taken) {
                QVERIFY(samePixels(*taken, direct(asked, target)));
                const auto *stamp = dynamic_cast<const Stamp *>(drawn.get());
                QVERIFY(stamp != nullptr);
                QCOMPARE(stamp->area, found->area);
                QVERIFY(samePixels(stamp->picture, *taken));
                ++hits;
            } else {
                QVERIFY(!drawn);
                ++misses;
            }
            // The photo taken and those before it are let go; a photo not prepared leaves
            // the prepared ones as they are.
            if (found != prepared.end())
                prepared.erase(prepared.begin(), found + 1);
        } else {
            lookAhead.drop();
            prepared.clear();
        }
        // Nothing is held beyond what may still be asked for, two photos at most.
        QCOMPARE(lookAhead.preparedCount(), int(prepared.size()));
    }
    QCOMPARE(lookAhead.hits(), hits);
    QCOMPARE(lookAhead.drawnHits(), hits);
    // The walk must have tried every way for the comparison to mean anything.
    QVERIFY(hits > 30);
    QVERIFY(misses > 30);
    QVERIFY(keptOnTheWay > 30);
    QVERIFY(readsSaved > 30);
    QVERIFY(staleKept > 3);
}

void TestLookAheadDecoder::disabledPreparesNothing()
{
    const QByteArray jpeg = photo(1600, 1200, 1);
    const QSize area(381, 308);
    const QSize target = FitAndCentrePicture(QSize(1600, 1200), area).size();
    LookAheadDecoder lookAhead;
    lookAhead.setEnabled(false);
    lookAhead.prepare(jpeg, area);
    QVERIFY(!lookAhead.take(jpeg, target));
    lookAhead.setEnabled(true);
    lookAhead.prepare(jpeg, area);
    lookAhead.setEnabled(false); // drops what was prepared
    QVERIFY(!lookAhead.take(jpeg, target));

    // A picture with a look-ahead takes the prepared decode instead of decoding.
    lookAhead.setEnabled(true);
    DisplayPicture picture;
    picture.setLookAhead(&lookAhead);
    lookAhead.prepare(jpeg, area);
    picture.setJpeg(jpeg);
    QVERIFY(samePixels(picture.pixelsFor(target), direct(jpeg, target)));
    QCOMPARE(picture.decodeCount(), 0);
    QCOMPARE(lookAhead.hits(), 1);
    picture.setJpeg(photo(1600, 1200, 2)); // not prepared: decoded directly
    picture.pixelsFor(target);
    QCOMPARE(picture.decodeCount(), 1);
    QCOMPARE(lookAhead.hits(), 1);
}

void TestLookAheadDecoder::spareBufferOnlyWhenNobodyHoldsIt()
{
    const QList<QByteArray> photos{photo(1200, 900, 1), photo(1200, 900, 2), photo(640, 480, 3),
                                   photo(1200, 900, 4)};
    DisplayPicture picture;
    picture.setJpeg(photos[0]);
    // What the screen holds of the first photo while the next one is decoded.
    const QByteArray shown = picture.pixelsFor(QSize()).pixels;
    const QByteArray shownCopy(shown.constData(), shown.size());

    picture.setJpeg(photos[1]);
    const DecodedPicture &second = picture.pixelsFor(QSize());
    QVERIFY(samePixels(second, direct(photos[1], QSize())));
    QVERIFY(second.pixels.constData() != shown.constData());
    QCOMPARE(shown, shownCopy); // never written over while held

    // Nobody holds the second photo's pixels once the picture moves on: the next
    // full-size decode writes into them, smaller photos included.
    const char *secondBuffer = second.pixels.constData();
    picture.setJpeg(photos[2]);
    const DecodedPicture &third = picture.pixelsFor(QSize());
    QCOMPARE(third.pixels.constData(), secondBuffer);
    QVERIFY(samePixels(third, direct(photos[2], QSize())));
    // A reduced decode leaves the spare alone, and the next full one still finds it.
    picture.setJpeg(photos[3]);
    QVERIFY(samePixels(picture.pixelsFor(QSize(300, 225)), direct(photos[3], QSize(300, 225))));
    const DecodedPicture &fourth = picture.pixelsFor(QSize());
    QCOMPARE(fourth.pixels.constData(), secondBuffer);
    QVERIFY(samePixels(fourth, direct(photos[3], QSize())));
}

QTEST_GUILESS_MAIN(TestLookAheadDecoder)
#include "tst_look_ahead_decoder.moc"
