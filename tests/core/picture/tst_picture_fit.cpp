#include "picture/picture_fit.h"

#include <QTest>

using namespace pictavo;

class TestPictureFit : public QObject
{
    Q_OBJECT

private slots:
    void fitAndCentre_data();
    void fitAndCentre();
    void centreLargerThanArea_data();
    void centreLargerThanArea();
};

void TestPictureFit::fitAndCentre_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("area");
    QTest::addColumn<QRect>("expected"); // left, top, width, height

    const QSize area(381, 308);
    QTest::newRow("wide photo fills the width")
        << QSize(1600, 1200) << area << QRect(0, 11, 381, 285);
    QTest::newRow("tall photo fills the height")
        << QSize(1200, 1600) << area << QRect(75, 0, 231, 308);
    QTest::newRow("small photo stays, centred")
        << QSize(300, 200) << area << QRect(40, 54, 300, 200);
    QTest::newRow("panorama") << QSize(500, 100) << area << QRect(0, 116, 381, 76);

    QTest::newRow("equal to the area") << QSize(381, 308) << area << QRect(0, 0, 381, 308);
    QTest::newRow("one pixel wider") << QSize(382, 308) << area << QRect(0, 0, 381, 307);
    QTest::newRow("one pixel higher") << QSize(381, 309) << area << QRect(1, 0, 379, 308);
    QTest::newRow("fits in width only") << QSize(100, 400) << area << QRect(152, 0, 77, 308);
    QTest::newRow("never enlarged") << QSize(1, 1) << area << QRect(190, 153, 1, 1);
    QTest::newRow("odd margins round toward the top left")
        << QSize(100, 100) << QSize(101, 103) << QRect(0, 1, 100, 100);

    // A line of pixels shrinks to no height at all rather than to one.
    QTest::newRow("one pixel high, shrunk to zero height")
        << QSize(1000, 1) << area << QRect(0, 154, 381, 0);
    QTest::newRow("area lower than a one pixel high picture")
        << QSize(1000, 1) << QSize(381, 0) << QRect(190, 0, 0, 0);
    QTest::newRow("zero area") << QSize(1600, 1200) << QSize(0, 0) << QRect(0, 0, 0, 0);
    QTest::newRow("zero width area") << QSize(1600, 1200) << QSize(0, 308) << QRect(0, 154, 0, 0);
    QTest::newRow("zero height area") << QSize(1600, 1200) << QSize(381, 0) << QRect(190, 0, 0, 0);
    QTest::newRow("empty picture in an area") << QSize(0, 0) << area << QRect(190, 154, 0, 0);

    // Single precision decides these: computed in double they come out one pixel
    // different (381 x 250, 364 x 308 and 311 x 308).
    QTest::newRow("single precision: height") << QSize(762, 500) << area << QRect(0, 29, 381, 249);
    QTest::newRow("single precision: width down")
        << QSize(390, 330) << area << QRect(9, 0, 363, 308);
    QTest::newRow("single precision: width up")
        << QSize(390, 385) << area << QRect(34, 0, 312, 308);
}

void TestPictureFit::fitAndCentre()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, area);
    QFETCH(QRect, expected);

    QCOMPARE(FitPicture(picture.width(), picture.height(), area.width(), area.height()),
             expected.size());
    QCOMPARE(CentrePicture(expected.size(), area), expected.topLeft());
    QCOMPARE(FitAndCentrePicture(picture, area), expected);
}

void TestPictureFit::centreLargerThanArea_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("area");
    QTest::addColumn<QPoint>("expected");

    // Halving a negative margin truncates toward zero, which would push the far edge
    // out; the correction brings it back to the area's edge.
    QTest::newRow("odd overhang") << QSize(103, 50) << QSize(100, 50) << QPoint(-3, 0);
    QTest::newRow("even overhang") << QSize(104, 50) << QSize(100, 50) << QPoint(-4, 0);
    QTest::newRow("both directions") << QSize(10, 9) << QSize(5, 4) << QPoint(-5, -5);
    QTest::newRow("zero area") << QSize(3, 3) << QSize(0, 0) << QPoint(-3, -3);
}

void TestPictureFit::centreLargerThanArea()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, area);
    QFETCH(QPoint, expected);

    QCOMPARE(CentrePicture(picture, area), expected);
}

QTEST_GUILESS_MAIN(TestPictureFit)
#include "tst_picture_fit.moc"
