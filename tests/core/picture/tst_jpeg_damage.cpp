#include "picture/jpeg_decoder.h"
#include "support/jpeg_fixtures.h"

#include <QTest>

using namespace pictavo;
using fixtures::JpegOptions;
using fixtures::makeJpeg;

Q_DECLARE_METATYPE(JpegOptions)

namespace {

// The DecodeError text, or "decoded" when there was none.
QString outcomeOf(const QByteArray &jpeg, const JpegDecoder &decoder = JpegDecoder(),
                  QSize target = QSize())
{
    try {
        decoder.decode(jpeg, target);
        return QStringLiteral("decoded");
    } catch (const DecodeError &e) {
        return e.text();
    }
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

qsizetype scanHeaderLength(const QByteArray &jpeg, const fixtures::JpegSegment &scan)
{
    return 2 + (uchar(jpeg[scan.offset + 2]) << 8 | uchar(jpeg[scan.offset + 3]));
}

// Offset of the first byte of entropy-coded data.
qsizetype firstScanData(const QByteArray &jpeg)
{
    for (const fixtures::JpegSegment &s : fixtures::jpegSegments(jpeg)) {
        if (s.marker == 0xDA)
            return s.offset + scanHeaderLength(jpeg, s);
    }
    return -1;
}

enum class CutIn
{
    Headers,    // before the first scan: no image can come of it
    ScanData,   // inside entropy-coded data: libjpeg fills in the rest
    ScanTables, // the headers and tables of a later scan: either outcome
};

CutIn whereIsCut(const QByteArray &jpeg, qsizetype cut)
{
    bool seenScan = false;
    for (const fixtures::JpegSegment &s : fixtures::jpegSegments(jpeg)) {
        if (s.marker != 0xDA)
            continue;
        if (cut < s.offset)
            return seenScan ? CutIn::ScanTables : CutIn::Headers;
        if (cut >= s.offset + scanHeaderLength(jpeg, s) && cut <= s.offset + s.length)
            return CutIn::ScanData;
        seenScan = true;
    }
    return CutIn::ScanTables;
}

JpegOptions kind(bool progressive, bool cmyk)
{
    JpegOptions o;
    o.progressive = progressive;
    o.cmyk = cmyk;
    return o;
}

} // namespace

class TestJpegDamage : public QObject
{
    Q_OBJECT

private slots:
    void errorTexts_data();
    void errorTexts();
    void probeErrors();
    void truncatedDecodesWithWarning_data();
    void truncatedDecodesWithWarning();
    void tooLargeRefused_data();
    void tooLargeRefused();
    void libraryMemoryBound_data();
    void libraryMemoryBound();
    void scanLimit_data();
    void scanLimit();
    void garbageNeverCrashes_data();
    void garbageNeverCrashes();
};

void TestJpegDamage::errorTexts_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("expected");

    const QByteArray jpeg = makeJpeg(64, 48);
    QTest::newRow("PNG") << bytes({0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13})
                         << "Not a JPEG file: starts with 0x89 0x50";
    QTest::newRow("GIF") << QByteArray("GIF89a\x01\x00\x01\x00", 10)
                         << "Not a JPEG file: starts with 0x47 0x49";
    QTest::newRow("zeros") << QByteArray(100, '\0') << "Not a JPEG file: starts with 0x00 0x00";
    QTest::newRow("noise") << bytes({0x5a, 0xe1}) + fixtures::randomBytes(3, 4096)
                           << "Not a JPEG file: starts with 0x5a 0xe1";
    QTest::newRow("one byte") << bytes({0xff}) << "Not a JPEG file: starts with 0xff 0xff";
    QTest::newRow("empty") << QByteArray() << "Empty input file";
    QTest::newRow("SOI only") << bytes({0xff, 0xd8}) << "JPEG datastream contains no image";
    QTest::newRow("SOI and EOI") << bytes({0xff, 0xd8, 0xff, 0xd9})
                                 << "JPEG datastream contains no image";
    QTest::newRow("zero height") << fixtures::withDimensions(jpeg, 64, 0)
                                 << "Empty JPEG image (DNL not supported)";
    QTest::newRow("beyond libjpeg's dimension limit")
        << fixtures::withDimensions(jpeg, 65535, 48)
        << "Maximum supported image dimension is 65500 pixels";
    QByteArray badSof = jpeg;
    badSof[fixtures::frameHeaderOffset(jpeg) + 4] = 12; // 12-bit samples
    QTest::newRow("12-bit samples") << badSof << "Unsupported JPEG data precision 12";
}

void TestJpegDamage::errorTexts()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, expected);

    QCOMPARE(outcomeOf(data), expected);
}

void TestJpegDamage::probeErrors()
{
    const QByteArray png = bytes({0x89, 'P', 'N', 'G'});
    try {
        JpegDecoder().probe(png);
        QFAIL("probe accepted a PNG");
    } catch (const DecodeError &e) {
        QCOMPARE(e.text(), QStringLiteral("Not a JPEG file: starts with 0x89 0x50"));
    }
    // A header can be read even where decoding would be refused.
    const QByteArray huge = fixtures::withDimensions(makeJpeg(64, 48), 60000, 60000);
    QCOMPARE(JpegDecoder().probe(huge).size, QSize(60000, 60000));
}

void TestJpegDamage::truncatedDecodesWithWarning_data()
{
    QTest::addColumn<JpegOptions>("options");

    QTest::newRow("baseline") << kind(false, false);
    QTest::newRow("progressive") << kind(true, false);
    QTest::newRow("CMYK") << kind(false, true);
}

void TestJpegDamage::truncatedDecodesWithWarning()
{
    QFETCH(JpegOptions, options);

    const QSize size(120, 90);
    const QByteArray jpeg = makeJpeg(size.width(), size.height(), options);

    // A cut before the first scan is an error; inside scan data libjpeg fills in what is
    // missing and only warns. Every header byte is tried, then a sample of the rest.
    const qsizetype dataStart = firstScanData(jpeg);
    QVERIFY(dataStart > 0);
    const qsizetype step = std::max<qsizetype>(1, jpeg.size() / 150);
    int inData = 0;
    for (qsizetype cut = 0; cut < jpeg.size(); cut += (cut < dataStart + 8 ? 1 : step)) {
        const QByteArray part = jpeg.left(cut);
        const CutIn where = whereIsCut(jpeg, cut);
        const QString context = QStringLiteral("cut at %1 of %2").arg(cut).arg(jpeg.size());
        try {
            const DecodedPicture picture = JpegDecoder().decode(part);
            QVERIFY2(where != CutIn::Headers, qPrintable(context));
            QCOMPARE(picture.size, size);
            QVERIFY2(picture.warningCount >= 1, qPrintable(context));
        } catch (const DecodeError &e) {
            QVERIFY2(where != CutIn::ScanData, qPrintable(context + ": " + e.text()));
        }
        if (where == CutIn::ScanData) {
            ++inData;
            QCOMPARE(JpegDecoder().decode(part).firstWarning,
                     QStringLiteral("Premature end of JPEG file"));
        }
    }
    QVERIFY(inData > 20);
    // Only the end marker missing.
    const DecodedPicture nearlyWhole = JpegDecoder().decode(jpeg.left(jpeg.size() - 2));
    QCOMPARE(nearlyWhole.warningCount, 1);
    QCOMPARE(nearlyWhole.firstWarning, QStringLiteral("Premature end of JPEG file"));
}

void TestJpegDamage::tooLargeRefused_data()
{
    QTest::addColumn<QByteArray>("jpeg");
    QTest::addColumn<qint64>("maxPixelBytes");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<QString>("expected");

    const qint64 standard = DecodeLimits().maxPixelBytes;
    const QByteArray small = makeJpeg(64, 48);
    const QByteArray progressive = makeJpeg(64, 48, kind(true, false));
    const QString huge = QStringLiteral("Image is too large to decode: 60000 x 60000 pixels");
    // Each would need gigabytes; had anything been allocated first, these would
    // not finish quickly, if at all.
    QTest::newRow("60000 x 60000")
        << fixtures::withDimensions(small, 60000, 60000) << standard << QSize() << huge;
    QTest::newRow("60000 x 60000 at 1/8")
        << fixtures::withDimensions(small, 60000, 60000) << standard << QSize(100, 100) << huge;
    QTest::newRow("60000 x 60000 progressive")
        << fixtures::withDimensions(progressive, 60000, 60000) << standard << QSize() << huge;
    QTest::newRow("just over 512 MiB")
        << fixtures::withDimensions(small, 16384, 8193) << standard << QSize()
        << QStringLiteral("Image is too large to decode: 16384 x 8193 pixels");

    QTest::newRow("at a small limit")
        << makeJpeg(100, 100) << qint64(100 * 100 * 4) << QSize() << QStringLiteral("decoded");
    QTest::newRow("one row over a small limit")
        << makeJpeg(100, 101) << qint64(100 * 100 * 4) << QSize()
        << QStringLiteral("Image is too large to decode: 100 x 101 pixels");
}

void TestJpegDamage::tooLargeRefused()
{
    QFETCH(QByteArray, jpeg);
    QFETCH(qint64, maxPixelBytes);
    QFETCH(QSize, target);
    QFETCH(QString, expected);

    DecodeLimits limits;
    limits.maxPixelBytes = maxPixelBytes;
    QCOMPARE(outcomeOf(jpeg, JpegDecoder(limits), target), expected);
}

void TestJpegDamage::libraryMemoryBound_data()
{
    QTest::addColumn<JpegOptions>("options");
    QTest::addColumn<QString>("expected");

    // A progressive file is held whole as coefficients (2 bytes per sample, here
    // 3 x 2 MiB); a baseline one streams through a few rows and never nears the bound.
    JpegOptions options;
    options.fullChroma = true;
    QTest::newRow("baseline") << options << QStringLiteral("decoded");
    options.progressive = true;
    QTest::newRow("progressive") << options
                                 << QStringLiteral(
                                        "Image is too large to decode: 1024 x 1024 pixels");
}

void TestJpegDamage::libraryMemoryBound()
{
    QFETCH(JpegOptions, options);
    QFETCH(QString, expected);

    DecodeLimits limits;
    limits.maxLibraryBytes = 1024 * 1024;
    const QByteArray jpeg = makeJpeg(1024, 1024, options);
    QCOMPARE(outcomeOf(jpeg, JpegDecoder(limits)), expected);
    QCOMPARE(outcomeOf(jpeg, JpegDecoder()), QStringLiteral("decoded"));
}

void TestJpegDamage::scanLimit_data()
{
    QTest::addColumn<int>("extraScans");
    QTest::addColumn<int>("maxScans");
    QTest::addColumn<QString>("expected");

    // libjpeg's simple progression has 10 scans for a colour file.
    QTest::newRow("10 scans, limit 10") << 0 << 10 << QStringLiteral("decoded");
    QTest::newRow("10 scans, limit 9")
        << 0 << 9 << QStringLiteral("JPEG file has too many scans (more than 9)");
    QTest::newRow("40 scans") << 30 << 500 << QStringLiteral("decoded");
    QTest::newRow("600 scans") << 590 << 500
                               << QStringLiteral("JPEG file has too many scans (more than 500)");
}

void TestJpegDamage::scanLimit()
{
    QFETCH(int, extraScans);
    QFETCH(int, maxScans);
    QFETCH(QString, expected);

    const QByteArray jpeg =
        fixtures::withRepeatedLastScan(makeJpeg(48, 32, kind(true, false)), extraScans);
    DecodeLimits limits;
    limits.maxScans = maxScans;
    QCOMPARE(outcomeOf(jpeg, JpegDecoder(limits)), expected);
}

void TestJpegDamage::garbageNeverCrashes_data()
{
    QTest::addColumn<QByteArray>("seedFile");
    QTest::addColumn<bool>("headerOnly");

    QTest::newRow("baseline data") << makeJpeg(80, 60) << false;
    QTest::newRow("baseline headers") << makeJpeg(80, 60) << true;
    QTest::newRow("progressive data") << makeJpeg(80, 60, kind(true, false)) << false;
    QTest::newRow("progressive headers") << makeJpeg(80, 60, kind(true, false)) << true;
    QTest::newRow("CMYK data") << makeJpeg(80, 60, kind(false, true)) << false;
}

// Each damaged file must either decode to pixels matching its header or give a
// DecodeError with a text; anything else (a crash, another exception) fails.
void TestJpegDamage::garbageNeverCrashes()
{
    QFETCH(QByteArray, seedFile);
    QFETCH(bool, headerOnly);

    const qsizetype dataStart = firstScanData(seedFile);
    DecodeLimits limits;
    limits.maxPixelBytes = 64 * 1024 * 1024; // damaged dimensions stay cheap to decode
    const JpegDecoder decoder(limits);
    int decoded = 0, refused = 0;
    for (quint32 seed = 1; seed <= 150; ++seed) {
        QByteArray damaged;
        if (headerOnly) {
            damaged = fixtures::withCorruptedBytes(seedFile, seed, 1 + seed % 4, 2);
            damaged = damaged.left(dataStart).append(seedFile.mid(dataStart));
        } else {
            damaged = fixtures::withCorruptedBytes(seedFile, seed, 1 + seed % 8, dataStart);
        }
        try {
            const DecodedPicture picture = decoder.decode(damaged, QSize(), [](int) {});
            QCOMPARE(picture.pixels.size(),
                     qsizetype(picture.bytesPerLine) * picture.size.height());
            QCOMPARE(picture.size, picture.fullSize);
            ++decoded;
        } catch (const DecodeError &e) {
            QVERIFY(!e.text().isEmpty());
            ++refused;
        }
    }
    // Sheer noise after a start of image marker, of many lengths.
    for (quint32 seed = 1; seed <= 100; ++seed) {
        const QByteArray noise = bytes({0xff, 0xd8}) + fixtures::randomBytes(seed, seed * 37);
        try {
            decoder.decode(noise);
            ++decoded;
        } catch (const DecodeError &e) {
            QVERIFY(!e.text().isEmpty());
            ++refused;
        }
    }
    QCOMPARE(decoded + refused, 250);
}

QTEST_GUILESS_MAIN(TestJpegDamage)
#include "tst_jpeg_damage.moc"
