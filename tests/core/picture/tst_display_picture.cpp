#include "picture/display_picture.h"
#include "support/jpeg_fixtures.h"

#include <QTest>

using namespace pictavo;
using fixtures::makeJpeg;

class TestDisplayPicture : public QObject
{
    Q_OBJECT

private slots:
    void decodesOnlyWhenTooSmall_data();
    void decodesOnlyWhenTooSmall();
    void newRecordDecodesAgain();
    void emptyRecordHoldsNothing();
    void undecodableHeaderHoldsNothing();
    void refusedDecodeHoldsNothing();
    void abandonedDecodeKeepsBytes();
};

void TestDisplayPicture::decodesOnlyWhenTooSmall_data()
{
    QTest::addColumn<QList<QSize>>("requests");
    QTest::addColumn<QList<int>>("scales"); // of the decode held after each request
    QTest::addColumn<int>("decodes");

    const QSize fitted(381, 285); // 1600 x 1200 in a 381 x 308 area
    const QSize full(1600, 1200);
    QTest::newRow("redraws in Auto")
        << QList<QSize>{fitted, fitted, fitted} << QList<int>{2, 2, 2} << 1;
    QTest::newRow("smaller window")
        << QList<QSize>{fitted, QSize(200, 150), QSize(10, 5)} << QList<int>{2, 2, 2} << 1;
    QTest::newRow("larger window, same scale")
        << QList<QSize>{fitted, QSize(400, 300)} << QList<int>{2, 2} << 1;
    // 3/8 would cover it; 4/8 is decoded, being faster.
    QTest::newRow("larger window")
        << QList<QSize>{fitted, QSize(401, 300), fitted} << QList<int>{2, 4, 4} << 2;
    QTest::newRow("between 4/8 and full size")
        << QList<QSize>{QSize(801, 600), fitted} << QList<int>{8, 8} << 1;
    QTest::newRow("1/1 and back to Auto")
        << QList<QSize>{fitted, full, fitted, full} << QList<int>{2, 8, 8, 8} << 2;
    QTest::newRow("1/1 asked as 0 x 0")
        << QList<QSize>{QSize(0, 0), full, fitted} << QList<int>{8, 8, 8} << 1;
    QTest::newRow("beyond full size")
        << QList<QSize>{QSize(3000, 3000), full} << QList<int>{8, 8} << 1;
}

void TestDisplayPicture::decodesOnlyWhenTooSmall()
{
    QFETCH(QList<QSize>, requests);
    QFETCH(QList<int>, scales);
    QFETCH(int, decodes);

    DisplayPicture picture;
    picture.setJpeg(makeJpeg(1600, 1200));
    QCOMPARE(picture.fullSize(), QSize(1600, 1200));
    QCOMPARE(picture.decodeCount(), 0); // reading the header decodes nothing
    for (qsizetype i = 0; i < requests.size(); ++i) {
        const DecodedPicture &pixels = picture.pixelsFor(requests[i]);
        QCOMPARE(pixels.scaleEighths, scales[i]);
        QCOMPARE(pixels.fullSize, QSize(1600, 1200));
        QVERIFY(pixels.size.width() >= std::min(requests[i].width(), 1600));
        QVERIFY(pixels.size.height() >= std::min(requests[i].height(), 1200));
        QVERIFY(picture.covers(requests[i]));
    }
    QCOMPARE(picture.decodeCount(), decodes);
}

void TestDisplayPicture::newRecordDecodesAgain()
{
    fixtures::JpegOptions second;
    second.seed = 2;
    DisplayPicture picture;
    picture.setJpeg(makeJpeg(1600, 1200));
    picture.pixelsFor(QSize(1600, 1200));
    QCOMPARE(picture.decodeCount(), 1);

    // The same bytes read back from the database (another copy) keep the decode...
    QByteArray readBack = makeJpeg(1600, 1200);
    readBack.detach();
    picture.setJpeg(readBack);
    QVERIFY(picture.covers(QSize(1600, 1200)));
    QCOMPARE(picture.decodeCount(), 1);
    // ...but one byte different is another photo.
    readBack[readBack.size() - 3] = char(readBack[readBack.size() - 3] ^ 0x01);
    picture.setJpeg(readBack);
    QVERIFY(picture.decoded().isNull());

    // Another record: the old decode must not stand in for it, whatever its size.
    picture.setJpeg(makeJpeg(800, 600, second));
    QVERIFY(picture.decoded().isNull());
    QVERIFY(!picture.covers(QSize(10, 10)));
    const DecodedPicture &pixels = picture.pixelsFor(QSize(200, 150));
    QCOMPARE(picture.decodeCount(), 2);
    QCOMPARE(pixels.fullSize, QSize(800, 600));
    QCOMPARE(pixels.size, QSize(200, 150));
}

void TestDisplayPicture::emptyRecordHoldsNothing()
{
    DisplayPicture picture;
    picture.setJpeg(makeJpeg(64, 48));
    picture.pixelsFor(QSize());
    picture.setJpeg(QByteArray());
    QVERIFY(picture.isEmpty());
    QCOMPARE(picture.fullSize(), QSize());
    QVERIFY(picture.pixelsFor(QSize()).isNull());
    QCOMPARE(picture.decodeCount(), 1);
}

void TestDisplayPicture::undecodableHeaderHoldsNothing()
{
    DisplayPicture picture;
    picture.setJpeg(makeJpeg(64, 48));
    picture.pixelsFor(QSize());
    QVERIFY(!picture.decoded().isNull());
    try {
        picture.setJpeg(QByteArray("\x89PNG\r\n\x1a\n", 8));
        QFAIL("a PNG was accepted");
    } catch (const DecodeError &e) {
        QCOMPARE(e.text(), QStringLiteral("Not a JPEG file: starts with 0x89 0x50"));
    }
    // The previous record's photo must not be drawn for this one.
    QVERIFY(picture.isEmpty());
    QVERIFY(picture.decoded().isNull());
    QVERIFY(picture.pixelsFor(QSize()).isNull());
}

void TestDisplayPicture::refusedDecodeHoldsNothing()
{
    DisplayPicture picture;
    picture.setJpeg(fixtures::withDimensions(makeJpeg(64, 48), 60000, 60000));
    QCOMPARE(picture.fullSize(), QSize(60000, 60000));
    try {
        picture.pixelsFor(QSize(381, 308));
        QFAIL("a 60000 x 60000 photo was decoded");
    } catch (const DecodeError &e) {
        QCOMPARE(e.text(), QStringLiteral("Image is too large to decode: 60000 x 60000 pixels"));
    }
    // Later redraws draw nothing rather than reporting the error again.
    QVERIFY(picture.isEmpty());
    QVERIFY(picture.pixelsFor(QSize(381, 308)).isNull());
    QCOMPARE(picture.decodeCount(), 1);
}

void TestDisplayPicture::abandonedDecodeKeepsBytes()
{
    struct Cancelled
    {
    };
    DisplayPicture picture;
    picture.setJpeg(makeJpeg(640, 480));
    QVERIFY_THROWS_EXCEPTION(Cancelled, picture.pixelsFor(QSize(), [](int percent) {
        if (percent > 0)
            throw Cancelled();
    }));
    QVERIFY(!picture.isEmpty());
    QVERIFY(picture.decoded().isNull());
    QCOMPARE(picture.pixelsFor(QSize()).size, QSize(640, 480));
    QCOMPARE(picture.decodeCount(), 2);
}

QTEST_GUILESS_MAIN(TestDisplayPicture)
#include "tst_display_picture.moc"
