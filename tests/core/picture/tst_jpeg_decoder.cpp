#include "picture/jpeg_decoder.h"
#include "support/jpeg_fixtures.h"

#include <QTest>
#include <cstdlib>

using namespace pictavo;
using fixtures::JpegOptions;
using fixtures::makeJpeg;

Q_DECLARE_METATYPE(JpegOptions)

namespace {

JpegOptions progressive()
{
    JpegOptions o;
    o.progressive = true;
    return o;
}

JpegOptions grayscale(bool progressiveToo = false)
{
    JpegOptions o;
    o.grayscale = true;
    o.progressive = progressiveToo;
    return o;
}

JpegOptions cmyk(bool adobe, bool ycck = false)
{
    JpegOptions o;
    o.cmyk = true;
    o.adobeMarker = adobe;
    o.ycck = ycck;
    return o;
}

JpegOptions fullChroma(bool progressiveToo)
{
    JpegOptions o;
    o.fullChroma = true;
    o.progressive = progressiveToo;
    return o;
}

// Largest difference of one channel between two 0x..RRGGBB colours.
int channelDistance(quint32 a, quint32 b)
{
    int worst = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        worst = std::max(worst, std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)));
    return worst;
}

void addKinds()
{
    QTest::addColumn<JpegOptions>("options");
    QTest::addColumn<int>("components");

    QTest::newRow("baseline YCbCr") << JpegOptions() << 3;
    QTest::newRow("progressive YCbCr") << progressive() << 3;
    QTest::newRow("4:4:4") << fullChroma(false) << 3;
    QTest::newRow("progressive 4:4:4") << fullChroma(true) << 3;
    QTest::newRow("grayscale") << grayscale() << 1;
    QTest::newRow("progressive grayscale") << grayscale(true) << 1;
    QTest::newRow("CMYK with Adobe marker") << cmyk(true) << 4;
    QTest::newRow("CMYK without Adobe marker") << cmyk(false) << 4;
    QTest::newRow("YCCK") << cmyk(true, true) << 4;
}

} // namespace

class TestJpegDecoder : public QObject
{
    Q_OBJECT

private slots:
    void decodesEveryKind_data();
    void decodesEveryKind();
    void oddSizes_data();
    void oddSizes();
    void solidColour_data();
    void solidColour();
    void scaledDecodeKeepsDeclaredSize_data();
    void scaledDecodeKeepsDeclaredSize();
    void chooseScale_data();
    void chooseScale();
    void drawScale_data();
    void drawScale();
    void progressReachesHundred_data();
    void progressReachesHundred();
    void throwingProgressAbandonsDecode();
    void fixturesDifferBySeed();
};

void TestJpegDecoder::decodesEveryKind_data()
{
    addKinds();
}

void TestJpegDecoder::decodesEveryKind()
{
    QFETCH(JpegOptions, options);
    QFETCH(int, components);

    const QSize size(97, 61);
    const QByteArray jpeg = makeJpeg(size.width(), size.height(), options);
    QVERIFY(!jpeg.isEmpty());

    const JpegDecoder decoder;
    const JpegHeader header = decoder.probe(jpeg);
    QCOMPARE(header.size, size);
    QCOMPARE(header.components, components);
    QCOMPARE(header.progressive, options.progressive);

    const DecodedPicture picture = decoder.decode(jpeg);
    QCOMPARE(picture.fullSize, size);
    QCOMPARE(picture.size, size);
    QCOMPARE(picture.scaleEighths, 8);
    QVERIFY(picture.isFullSize());
    QCOMPARE(picture.bytesPerLine, qsizetype(4 * size.width()));
    QCOMPARE(picture.pixels.size(), qsizetype(4 * size.width() * size.height()));
    QCOMPARE(picture.warningCount, 0);
    QVERIFY(picture.firstWarning.isEmpty());
    // Every pixel opaque, as a 32-bit RGB image requires.
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if ((picture.pixel(x, y) >> 24) != 0xff)
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 not opaque").arg(x).arg(y)));
        }
    }
}

void TestJpegDecoder::oddSizes_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<JpegOptions>("options");

    QTest::newRow("1 x 1") << QSize(1, 1) << JpegOptions();
    QTest::newRow("1 x 1 progressive") << QSize(1, 1) << progressive();
    QTest::newRow("one row") << QSize(517, 1) << JpegOptions();
    QTest::newRow("one column") << QSize(1, 333) << cmyk(true);
    QTest::newRow("one MCU") << QSize(16, 16) << JpegOptions();
    QTest::newRow("one past an MCU") << QSize(17, 17) << grayscale(true);
}

void TestJpegDecoder::oddSizes()
{
    QFETCH(QSize, size);
    QFETCH(JpegOptions, options);

    const DecodedPicture picture =
        JpegDecoder().decode(makeJpeg(size.width(), size.height(), options));
    QCOMPARE(picture.size, size);
    QCOMPARE(picture.pixels.size(), qsizetype(4 * size.width() * size.height()));
}

void TestJpegDecoder::solidColour_data()
{
    QTest::addColumn<JpegOptions>("options");
    QTest::addColumn<quint32>("colour");
    QTest::addColumn<int>("scale");

    // Distinct red and blue, so swapped channels show.
    const quint32 orange = 0xc86432;
    const quint32 teal = 0x2090b0;
    const quint32 grey = 0x808080;
    struct Kind
    {
        const char *name;
        JpegOptions options;
    };
    const Kind kinds[] = {
        {"baseline", JpegOptions()},
        {"progressive", progressive()},
        {"CMYK inverted (Adobe)", cmyk(true)},
        {"CMYK plain", cmyk(false)},
        {"YCCK", cmyk(true, true)},
    };
    for (const Kind &kind : kinds) {
        for (const quint32 colour : {orange, teal}) {
            for (const int scale : {8, 1}) {
                QTest::addRow("%s %06x at %d/8", kind.name, colour, scale)
                    << kind.options << colour << scale;
            }
        }
    }
    QTest::newRow("grayscale") << grayscale() << grey << 8;
    QTest::newRow("grayscale at 3/8") << grayscale() << grey << 3;
    QTest::newRow("CMYK black") << cmyk(true) << quint32(0x000000) << 8;
    QTest::newRow("CMYK white") << cmyk(false) << quint32(0xffffff) << 8;
}

void TestJpegDecoder::solidColour()
{
    QFETCH(JpegOptions, options);
    QFETCH(quint32, colour);
    QFETCH(int, scale);

    options.solid = colour;
    options.quality = 95;
    const QSize size(64, 48);
    const QByteArray jpeg = makeJpeg(size.width(), size.height(), options);
    const QSize target = JpegDecoder::scaledSize(size, scale);
    const DecodedPicture picture = JpegDecoder().decode(jpeg, target);
    QCOMPARE(picture.scaleEighths, scale);
    QCOMPARE(picture.size, target);
    for (int y = 0; y < picture.size.height(); ++y) {
        for (int x = 0; x < picture.size.width(); ++x) {
            const quint32 got = picture.pixel(x, y);
            if (channelDistance(got, colour) > 4 || (got >> 24) != 0xff) {
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is %3, expected about %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(got, 8, 16, QLatin1Char('0'))
                                     .arg(colour, 6, 16, QLatin1Char('0'))));
            }
        }
    }
}

void TestJpegDecoder::scaledDecodeKeepsDeclaredSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<JpegOptions>("options");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QSize>("expected");

    // libjpeg rounds the scaled size up: ceil(W * M / 8).
    for (int m = 1; m <= 8; ++m) {
        const int w = (1001 * m + 7) / 8, h = (749 * m + 7) / 8;
        QTest::addRow("1001 x 749 at %d/8", m)
            << QSize(1001, 749) << JpegOptions() << m << QSize(w, h);
    }
    QTest::newRow("progressive at 1/8") << QSize(1001, 749) << progressive() << 1 << QSize(126, 94);
    QTest::newRow("progressive at 5/8")
        << QSize(1001, 749) << progressive() << 5 << QSize(626, 469);
    QTest::newRow("grayscale at 3/8") << QSize(1001, 749) << grayscale() << 3 << QSize(376, 281);
    QTest::newRow("CMYK at 2/8") << QSize(1001, 749) << cmyk(true) << 2 << QSize(251, 188);
    QTest::newRow("YCCK at 7/8") << QSize(1001, 749) << cmyk(true, true) << 7 << QSize(876, 656);
    QTest::newRow("tiny at 1/8") << QSize(5, 3) << JpegOptions() << 1 << QSize(1, 1);
}

void TestJpegDecoder::scaledDecodeKeepsDeclaredSize()
{
    QFETCH(QSize, size);
    QFETCH(JpegOptions, options);
    QFETCH(int, scale);
    QFETCH(QSize, expected);

    QCOMPARE(JpegDecoder::scaledSize(size, scale), expected);
    const QByteArray jpeg = makeJpeg(size.width(), size.height(), options);
    const DecodedPicture picture = JpegDecoder().decode(jpeg, expected);
    QCOMPARE(picture.scaleEighths, scale);
    QCOMPARE(picture.size, expected);
    QCOMPARE(picture.fullSize, size);
    QCOMPARE(picture.isFullSize(), scale == 8);
    QCOMPARE(picture.bytesPerLine, qsizetype(4 * expected.width()));
    QCOMPARE(picture.pixels.size(), qsizetype(4 * expected.width() * expected.height()));
}

void TestJpegDecoder::chooseScale_data()
{
    QTest::addColumn<QSize>("full");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<int>("expected");

    QTest::newRow("0 x 0 asks for full size") << QSize(1600, 1200) << QSize(0, 0) << 8;
    QTest::newRow("invalid asks for full size") << QSize(1600, 1200) << QSize() << 8;
    QTest::newRow("wide photo fitted in 381 x 308") << QSize(1600, 1200) << QSize(381, 285) << 2;
    QTest::newRow("tall photo fitted in 381 x 308") << QSize(1200, 1600) << QSize(231, 308) << 2;
    QTest::newRow("exactly one eighth") << QSize(1600, 1200) << QSize(200, 150) << 1;
    QTest::newRow("one pixel more than an eighth") << QSize(1600, 1200) << QSize(201, 150) << 2;
    QTest::newRow("rounding up counts") << QSize(1601, 1201) << QSize(201, 151) << 1;
    QTest::newRow("seven eighths") << QSize(4000, 3000) << QSize(3500, 2625) << 7;
    QTest::newRow("just above seven eighths") << QSize(4000, 3000) << QSize(3501, 100) << 8;
    QTest::newRow("three eighths by height") << QSize(4000, 3000) << QSize(10, 1125) << 3;
    QTest::newRow("unshrunk small photo") << QSize(300, 200) << QSize(300, 200) << 8;
    QTest::newRow("target beyond full size") << QSize(300, 200) << QSize(600, 400) << 8;
    QTest::newRow("width only") << QSize(1600, 1200) << QSize(381, 0) << 2;
    QTest::newRow("height only") << QSize(1600, 1200) << QSize(0, 151) << 2;
    QTest::newRow("1 x 1") << QSize(1, 1) << QSize(1, 1) << 1;
}

void TestJpegDecoder::chooseScale()
{
    QFETCH(QSize, full);
    QFETCH(QSize, target);
    QFETCH(int, expected);

    QCOMPARE(JpegDecoder::chooseScale(full, target), expected);
}

void TestJpegDecoder::drawScale_data()
{
    QTest::addColumn<QSize>("target");
    QTest::addColumn<int>("expected");

    // 1001 x 749 is 376 x 281 at 3/8, 501 x 375 at 4/8, 626 x 469 at 5/8.
    QTest::newRow("3/8 raised to 4/8") << QSize(300, 0) << 4;
    QTest::newRow("4/8 kept") << QSize(501, 375) << 4;
    QTest::newRow("5/8 raised to full size") << QSize(502, 1) << 8;
    QTest::newRow("1 x 1") << QSize(1, 1) << 1;
    QTest::newRow("full size asked") << QSize() << 8;
}

void TestJpegDecoder::drawScale()
{
    QFETCH(QSize, target);
    QFETCH(int, expected);

    const QSize full(1001, 749);
    QCOMPARE(JpegDecoder::drawScale(full, target), expected);
    const DecodedPicture picture =
        JpegDecoder().decodeAt(makeJpeg(full.width(), full.height()), expected);
    QCOMPARE(picture.scaleEighths, expected);
    QCOMPARE(picture.size, JpegDecoder::scaledSize(full, expected));
    QVERIFY(picture.size.width() >= target.width() && picture.size.height() >= target.height());
}

void TestJpegDecoder::progressReachesHundred_data()
{
    QTest::addColumn<QByteArray>("jpeg");
    QTest::addColumn<QSize>("target");

    QTest::newRow("baseline") << makeJpeg(640, 480) << QSize();
    QTest::newRow("baseline at 1/4") << makeJpeg(640, 480) << QSize(160, 120);
    QTest::newRow("progressive") << makeJpeg(640, 480, progressive()) << QSize();
    QTest::newRow("CMYK") << makeJpeg(640, 480, cmyk(true)) << QSize();
    // More scans than libjpeg's estimate: its own fraction falls back when it catches up.
    QTest::newRow("progressive, scans beyond the estimate")
        << fixtures::withRepeatedLastScan(makeJpeg(640, 480, progressive()), 30) << QSize();
    QTest::newRow("tiny") << makeJpeg(1, 1) << QSize();
}

void TestJpegDecoder::progressReachesHundred()
{
    QFETCH(QByteArray, jpeg);
    QFETCH(QSize, target);

    QList<int> reported;
    JpegDecoder().decode(jpeg, target, [&reported](int percent) { reported.append(percent); });
    QVERIFY(reported.size() >= 2);
    QCOMPARE(reported.first(), 0);
    QCOMPARE(reported.last(), 100);
    for (qsizetype i = 1; i < reported.size(); ++i)
        QVERIFY2(reported[i] > reported[i - 1],
                 qPrintable(QStringLiteral("%1 after %2").arg(reported[i]).arg(reported[i - 1])));
    if (jpeg.size() > 1000)
        QVERIFY2(reported.size() > 5, "no progress between start and end");
}

void TestJpegDecoder::throwingProgressAbandonsDecode()
{
    struct Stop
    {
    };
    const QByteArray jpeg = makeJpeg(640, 480, progressive());
    int last = -1;
    bool stopped = false;
    try {
        JpegDecoder().decode(jpeg, QSize(), [&last](int percent) {
            last = percent;
            if (percent >= 30)
                throw Stop();
        });
    } catch (const Stop &) {
        stopped = true;
    }
    QVERIFY(stopped);
    QVERIFY(last >= 30 && last < 100);
    // The decoder is left in no half state.
    QCOMPARE(JpegDecoder().decode(jpeg).size, QSize(640, 480));
}

void TestJpegDecoder::fixturesDifferBySeed()
{
    JpegOptions a, b;
    a.seed = 1;
    b.seed = 2;
    const QByteArray first = makeJpeg(200, 150, a);
    QCOMPARE(makeJpeg(200, 150, a), first); // reproducible
    QVERIFY(makeJpeg(200, 150, b) != first);
    // Noise keeps the size near a real photo's, not a flat picture's few hundred bytes.
    QVERIFY(first.size() > 200 * 150 / 10);
}

QTEST_GUILESS_MAIN(TestJpegDecoder)
#include "tst_jpeg_decoder.moc"
