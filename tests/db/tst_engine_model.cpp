#include "db/engine_error.h"
#include "db/query.h"
#include "support/photo_db_fixture.h"

#include <QRandomGenerator>
#include <QtTest>
#include <map>

using namespace pictavo;
using pictavo::test::patternBytes;
using pictavo::test::PhotoDbFixture;

namespace {

struct Photo
{
    QString name;
    QString keyword;
    QByteArray image;
};

// What the Photo Table must hold, by SERIAL.
using Model = std::map<qint64, Photo>;

// The record as the data set shows it, for messages.
QString describe(const Query &album)
{
    return QStringLiteral("row %1 SERIAL %2 NAME %3")
        .arg(album.recNo())
        .arg(album.asInteger(QStringLiteral("SERIAL")))
        .arg(album.asString(QStringLiteral("NAME")));
}

} // namespace

// Long runs of random edits through one live query, checked step by step against a model
// of what was posted: no record is lost, duplicated or mixed up with another, whatever
// the order of appends, edits, cancels, deletes and moves.
class TestEngineModel : public QObject
{
    Q_OBJECT

private slots:
    void randomEditsKeepEveryPhoto();

private:
    void checkCurrent(const Query &album, const Model &model);
    void checkAll(const QString &dir, const Model &model);
};

void TestEngineModel::checkCurrent(const Query &album, const Model &model)
{
    QCOMPARE(album.recordCount(), int(model.size()));
    if (album.recNo() < 0)
        return;
    const auto found = model.find(album.asInteger(QStringLiteral("SERIAL")));
    QVERIFY2(found != model.end(), qPrintable(describe(album)));
    QCOMPARE(album.asString(QStringLiteral("NAME")), found->second.name);
    QCOMPARE(album.asString(QStringLiteral("KEYWORD")), found->second.keyword);
    QCOMPARE(album.blobSize(QStringLiteral("IMAGE")), qint64(found->second.image.size()));
}

// Read afresh by another data set: every record in primary-index order, every photo
// byte for byte.
void TestEngineModel::checkAll(const QString &dir, const Model &model)
{
    Query check;
    check.setDatabaseName(dir);
    check.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    check.open();
    QCOMPARE(check.recordCount(), int(model.size()));
    std::vector<std::pair<QString, qint64>> order; // (NAME, SERIAL): PREFIX and EXT are alike
    for (const auto &[serial, photo] : model)
        order.emplace_back(photo.name, serial);
    std::sort(order.begin(), order.end());
    int row = 0;
    for (check.first(); !check.eof(); check.next(), ++row) {
        const qint64 serial = check.asInteger(QStringLiteral("SERIAL"));
        QCOMPARE(serial, order[size_t(row)].second);
        const Photo &photo = model.at(serial);
        QCOMPARE(check.asString(QStringLiteral("KEYWORD")), photo.keyword);
        QVERIFY2(check.readBlob(QStringLiteral("IMAGE")) == photo.image,
                 qPrintable(describe(check)));
    }
}

void TestEngineModel::randomEditsKeepEveryPhoto()
{
    PhotoDbFixture db;
    Query album;
    album.setDatabaseName(db.dir());
    album.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    album.open();
    Model model;
    QRandomGenerator random(1208);
    const QStringList names{"a", "b", "c", "d", "e"};
    const auto newPhoto = [&] {
        return Photo{names[random.bounded(int(names.size()))],
                     QStringLiteral("k%1").arg(random.bounded(100)),
                     patternBytes(200 + random.bounded(5000), int(random.bounded(1000)))};
    };
    for (int step = 0; step < 1500; ++step) {
        const int action = random.bounded(10);
        if (action <= 2) { // append, mostly posted
            const Photo photo = newPhoto();
            album.append();
            album.setValue(QStringLiteral("NAME"), photo.name);
            album.setValue(QStringLiteral("KEYWORD"), photo.keyword);
            album.setValue(QStringLiteral("COUNT"), 0);
            album.setValue(QStringLiteral("IMAGE_SIZE"), qint64(photo.image.size()));
            album.setBlob(QStringLiteral("IMAGE"), photo.image);
            if (random.bounded(5) == 0) {
                album.cancel();
            } else {
                album.post();
                model[album.asInteger(QStringLiteral("SERIAL"))] = photo;
            }
        } else if (action <= 4 && !album.isEmpty()) { // edit name or keyword
            const qint64 serial = album.asInteger(QStringLiteral("SERIAL"));
            const Photo changed = newPhoto();
            album.edit();
            if (random.bounded(2) == 0)
                album.setValue(QStringLiteral("NAME"), changed.name);
            else
                album.setValue(QStringLiteral("KEYWORD"), changed.keyword);
            if (random.bounded(4) == 0) {
                album.cancel();
            } else {
                album.post();
                model[serial].name = album.asString(QStringLiteral("NAME"));
                model[serial].keyword = album.asString(QStringLiteral("KEYWORD"));
                QCOMPARE(album.asInteger(QStringLiteral("SERIAL")), serial);
            }
        } else if (action == 5 && !album.isEmpty()) {
            model.erase(album.asInteger(QStringLiteral("SERIAL")));
            album.remove();
        } else if (action == 6) {
            album.refresh();
        } else if (!album.isEmpty()) {
            album.moveTo(random.bounded(album.recordCount()));
        }
        checkCurrent(album, model);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("after step %1 (action %2)").arg(step).arg(action)));
        if (step % 100 == 99)
            checkAll(db.dir(), model);
    }
    checkAll(db.dir(), model);
    QVERIFY(model.size() > 50);
}

QTEST_GUILESS_MAIN(TestEngineModel)
#include "tst_engine_model.moc"
