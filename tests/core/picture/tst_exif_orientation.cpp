#include "picture/display_picture.h"
#include "picture/exif_orientation.h"
#include "support/exif_fixtures.h"
#include "support/jpeg_fixtures.h"

#include <QRandomGenerator>
#include <QTest>

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

using namespace pictavo;
using namespace pictavo::fixtures;

namespace {

constexpr quint32 kRed = 0xff0000;
constexpr quint32 kBlue = 0x0000ff;

// A W x H photo, blue with its top left quarter red.
QByteArray markedPhoto(int width, int height)
{
    JpegOptions options;
    options.solid = kBlue;
    options.markedCorner = kRed;
    options.quality = 95;
    options.fullChroma = true;
    return makeJpeg(width, height, options);
}

bool isRed(quint32 pixel)
{
    const int r = int((pixel >> 16) & 0xff), g = int((pixel >> 8) & 0xff), b = int(pixel & 0xff);
    return r > 200 && g < 60 && b < 60;
}

// Which corner of the picture is red: "TL", "TR", "BL", "BR", or the list of all.
QString redCorners(const DecodedPicture &p)
{
    const int w = p.size.width(), h = p.size.height();
    // A quarter of the way in from each corner: clear of the blurred edges between colours.
    const struct
    {
        const char *name;
        int x, y;
    } corners[] = {{"TL", w / 4, h / 4},
                   {"TR", w - 1 - w / 4, h / 4},
                   {"BL", w / 4, h - 1 - h / 4},
                   {"BR", w - 1 - w / 4, h - 1 - h / 4}};
    QStringList red;
    for (const auto &c : corners)
        if (isRed(p.pixel(c.x, c.y)))
            red << QLatin1String(c.name);
    return red.join(QLatin1Char(','));
}

// Bytes that end where an inaccessible page begins: a read past their end stops the test
// at once, also without AddressSanitizer (which cannot see a read that stays inside a
// larger allocation, as a read past a segment into the rest of the photo does).
class GuardedBytes
{
public:
    explicit GuardedBytes(const QByteArray &bytes) : m_size(bytes.size())
    {
        const qsizetype page = ::sysconf(_SC_PAGESIZE);
        m_mapped = (m_size + page - 1) / page * page + page;
        m_base = static_cast<char *>(::mmap(nullptr, size_t(m_mapped), PROT_READ | PROT_WRITE,
                                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (m_base == MAP_FAILED || ::mprotect(m_base + m_mapped - page, size_t(page), PROT_NONE))
            qFatal("cannot map guarded bytes");
        std::memcpy(m_base + m_mapped - page - m_size, bytes.constData(), size_t(m_size));
    }
    ~GuardedBytes() { ::munmap(m_base, size_t(m_mapped)); }
    GuardedBytes(const GuardedBytes &) = delete;
    GuardedBytes &operator=(const GuardedBytes &) = delete;
    QByteArray bytes() const
    {
        const qsizetype page = ::sysconf(_SC_PAGESIZE);
        return QByteArray::fromRawData(m_base + m_mapped - page - m_size, m_size);
    }

private:
    qsizetype m_size;
    qsizetype m_mapped = 0;
    char *m_base = nullptr;
};

} // namespace

// Photos are shown the way up their orientation tag says; the tag is read by a bounded
// parser that no damaged segment can lead astray.
class TestExifOrientation : public QObject
{
    Q_OBJECT

private slots:
    void turnedAsTagged_data();
    void turnedAsTagged();
    void reducedDecodeCoversTurnedTarget();
    void truncatedAtEveryByte();
    void randomlyDamagedSegments();
};

void TestExifOrientation::turnedAsTagged_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<bool>("bigEndian");
    QTest::addColumn<QSize>("upright");
    QTest::addColumn<QString>("corner");

    const QSize stored(48, 32), turned(32, 48);
    const struct
    {
        int tag;
        QSize size;
        const char *corner;
    } rows[] = {
        {1, stored, "TL"},
        {2, stored, "TR"},
        {3, stored, "BR"},
        {4, stored, "BL"},
        {5, turned, "TL"},
        {6, turned, "TR"},
        {7, turned, "BR"},
        {8, turned, "BL"},
        // Values outside 1 to 8 are not trusted: the photo stays as stored.
        {0, stored, "TL"},
        {9, stored, "TL"},
        {0x106, stored, "TL"},
    };
    for (const auto &row : rows) {
        for (const bool big : {false, true})
            QTest::addRow("%d %s", row.tag, big ? "MM" : "II")
                << row.tag << big << row.size << QString::fromLatin1(row.corner);
    }
}

void TestExifOrientation::turnedAsTagged()
{
    QFETCH(int, tag);
    QFETCH(bool, bigEndian);
    QFETCH(QSize, upright);
    QFETCH(QString, corner);

    const QByteArray jpeg = withExifOrientation(markedPhoto(48, 32), tag, bigEndian);
    DisplayPicture picture;
    picture.setJpeg(jpeg);
    QCOMPARE(picture.fullSize(), upright);
    QCOMPARE(picture.header().size, QSize(48, 32)); // as stored
    QCOMPARE(picture.jpeg(), jpeg);                 // the bytes are never changed
    // 1/1 and a reduced (DCT-scaled) decode for a small Auto area turn alike.
    for (const QSize target : {QSize(), QSize(8, 8)}) {
        DisplayPicture fresh;
        fresh.setJpeg(jpeg);
        const DecodedPicture &pixels = fresh.pixelsFor(target);
        QCOMPARE(pixels.fullSize, upright);
        QCOMPARE(pixels.size.width() > pixels.size.height(), upright.width() > upright.height());
        QCOMPARE(pixels.bytesPerLine, qsizetype(pixels.size.width()) * 4);
        QCOMPARE(redCorners(pixels), corner);
    }
}

void TestExifOrientation::reducedDecodeCoversTurnedTarget()
{
    // A 1600 x 1200 photo tagged "turn a quarter" stands 1200 x 1600; fitted into a
    // 381 x 308 area it is drawn 231 x 308. The decoder must be asked for 308 x 231 of
    // its stored picture (scale 2/8 gives 400 x 300), not 231 x 308 (that needs 3/8).
    DisplayPicture picture;
    picture.setJpeg(withExifOrientation(makeJpeg(1600, 1200), 6));
    const DecodedPicture &pixels = picture.pixelsFor(QSize(231, 308));
    QCOMPARE(pixels.scaleEighths, 2);
    QCOMPARE(pixels.size, QSize(300, 400));
    QVERIFY(picture.covers(QSize(231, 308)));
    QVERIFY(!picture.covers(QSize(301, 400)));
    QCOMPARE(picture.decodeCount(), 1);
}

void TestExifOrientation::truncatedAtEveryByte()
{
    // Every prefix of a tagged file: the segment's lengths now promise bytes that are
    // not there. The tag is read only while the whole segment is present.
    const QByteArray segment = exifSegment(6, true, 3);
    const QByteArray jpeg = withSegment(makeJpeg(16, 16), segment);
    const qsizetype segmentEnd = 2 + segment.size();
    for (qsizetype n = 0; n <= segmentEnd + 8; ++n) {
        const Orientation o = readExifOrientation(jpeg.left(n));
        const Orientation expected = n >= segmentEnd ? Orientation::Rotate90 : Orientation::Upright;
        if (o != expected)
            QFAIL(qPrintable(QStringLiteral("prefix of %1 bytes read as %2").arg(n).arg(int(o))));
    }
}

void TestExifOrientation::randomlyDamagedSegments()
{
    // Random damage to the segment from a fixed seed: changed bytes (lengths, offsets,
    // counts, types), cut, shortened or grown segments. Nothing may read outside the
    // segment (a guard page catches it; AddressSanitizer catches more); a damaged entry
    // reads as Upright or as a value of 1 to 8; bytes after the segment never change the
    // answer; and the photo is still shown.
    QRandomGenerator rng(20261208);
    const QByteArray photo = markedPhoto(24, 16);
    int tagsStillRead = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray segment =
            exifSegment(1 + int(rng.bounded(8)), rng.bounded(2) == 1, int(rng.bounded(6)));
        const int mutations = 1 + int(rng.bounded(4));
        for (int m = 0; m < mutations && segment.size() > 12; ++m) {
            switch (rng.bounded(5)) {
            case 0: // any byte, the marker and length included
                segment[qsizetype(rng.bounded(quint32(segment.size())))] = char(rng.bounded(256));
                break;
            case 1: // a byte of the TIFF block set to an extreme
                segment[10 + qsizetype(rng.bounded(quint32(segment.size() - 10)))] =
                    rng.bounded(2) ? char(0xff) : char(0);
                break;
            case 2: // cut short, its length field left as it was
                segment.truncate(qsizetype(rng.bounded(quint32(segment.size()))));
                break;
            case 3: // grown with noise
                segment += randomBytes(rng.generate(), rng.bounded(64));
                break;
            case 4: // a length too short for the Exif block it announces
                segment[2] = 0;
                segment[3] = char(rng.bounded(24));
                break;
            }
        }
        const QByteArray jpeg = withSegment(photo, segment);
        const Orientation o = readExifOrientation(jpeg);
        QVERIFY(int(o) >= 1 && int(o) <= 8);
        tagsStillRead += o != Orientation::Upright;
        // What follows an Exif segment is none of the parser's business once it has
        // decided: the segment alone, cut where its length says it ends, is read the same,
        // and as it ends at a page no one may read, a look past its end faults at once.
        const qsizetype declared =
            segment.size() >= 4 ? (quint8(segment[2]) << 8) | quint8(segment[3]) : 0;
        const bool exif = segment.size() >= 10 && quint8(segment[0]) == 0xFF &&
                          quint8(segment[1]) == 0xE1 && declared >= 8 &&
                          declared + 2 <= segment.size() &&
                          segment.mid(4, 6) == QByteArray("Exif\0\0", 6);
        const GuardedBytes alone(QByteArray("\xFF\xD8", 2) +
                                 (exif ? segment.left(declared + 2) : segment));
        const Orientation aloneRead = readExifOrientation(alone.bytes());
        QVERIFY(int(aloneRead) >= 1 && int(aloneRead) <= 8);
        if (exif)
            QCOMPARE(aloneRead, o);
        if (round % 50 == 0) {
            DisplayPicture picture;
            try {
                picture.setJpeg(jpeg);
                picture.pixelsFor(QSize());
                QCOMPARE(picture.fullSize(), orientedSize(QSize(24, 16), o));
            } catch (const DecodeError &) {
                // libjpeg may refuse a file whose damaged segment swallowed the frame
            }
        }
    }
    // The damage is not so heavy that no tag ever survives: the test reaches the parser.
    QVERIFY2(tagsStillRead > 300, qPrintable(QString::number(tagsStillRead)));
}

QTEST_GUILESS_MAIN(TestExifOrientation)
#include "tst_exif_orientation.moc"
