#include "db/query.h"
#include "db/table.h"
#include "support/exif_fixtures.h"
#include "support/file_permissions.h"
#include "support/jpeg_fixtures.h"
#include "support/photo_db_fixture.h"
#include "thumbnails/photo_check.h"
#include "thumbnails/thumbnail_cache.h"
#include "thumbnails/thumbnail_picture.h"
#include "thumbnails/thumbnail_store.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace pictavo;
using pictavo::test::PhotoDbFixture;

namespace {

QByteArray solid(quint32 rgb, int width = 640, int height = 480)
{
    fixtures::JpegOptions options;
    options.solid = rgb;
    return fixtures::makeJpeg(width, height, options);
}

// Each channel within a few levels, as JPEG gives a flat colour back.
bool near(quint32 a, quint32 b)
{
    for (int shift : {0, 8, 16})
        if (std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) > 6)
            return false;
    return true;
}

// The album's records as the window asks for them.
std::vector<ThumbnailRequest> requests(Query &album)
{
    std::vector<ThumbnailRequest> all;
    for (int row = 0; row < album.recordCount(); ++row) {
        const QVariant size = album.valueAt(row, album.fieldIndex(QStringLiteral("IMAGE")));
        all.push_back({album.valueAt(row, album.fieldIndex(QStringLiteral("SERIAL"))).toLongLong(),
                       size.isNull() ? 0 : size.toLongLong(),
                       [&album, row] { return album.readBlobAt(row, QStringLiteral("IMAGE")); }});
    }
    return all;
}

void openAlbum(Query &album, const QString &dir)
{
    album.setDatabaseName(dir);
    album.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    album.open();
}

quint32 centreOf(const ThumbnailCache &cache, qint64 key)
{
    const DecodedPicture *picture = cache.picture(key);
    return picture ? picture->pixel(picture->size.width() / 2, picture->size.height() / 2) : 0;
}

} // namespace

class TestThumbnailCache : public QObject
{
    Q_OBJECT

private slots:
    void hashIsXxHash64_data();
    void hashIsXxHash64();
    void thumbnailIsSmallAndUpright();
    void replacedPhotoGetsNewThumbnail();
    void damagedPhotosAmongGoodOnes();
    void damagedCacheFileIsMadeAnew();
    void readOnlyLibraryKeepsThumbnailsInMemory();
};

// The hash is kept in thumbs.db: it must be the same on every machine and in every build.
void TestThumbnailCache::hashIsXxHash64_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<quint64>("hash");
    QTest::newRow("empty") << QByteArray() << quint64(0xEF46DB3751D8E999ull);
    QTest::newRow("a") << QByteArray("a") << quint64(0xD24EC4F1A98C6E5Bull);
    QTest::newRow("abc") << QByteArray("abc") << quint64(0x44BC2CF5AD770999ull);
    QTest::newRow("stripes and tail")
        << QByteArray("Nobody inspects the spammish repetition") << quint64(0xFBCEA83C8A378BF1ull);
}

void TestThumbnailCache::hashIsXxHash64()
{
    QFETCH(QByteArray, bytes);
    QFETCH(quint64, hash);
    QCOMPARE(xxHash64(bytes.constData(), bytes.size()), hash);
}

// A camera-sized photo turned by its tag: decoded at 1/8, shrunk to 256 on its longer
// side, and turned, so that its marked top left corner stands at the top right.
void TestThumbnailCache::thumbnailIsSmallAndUpright()
{
    fixtures::JpegOptions options;
    options.solid = 0x2040c0;
    options.markedCorner = 0xf0f020;
    const QByteArray photo =
        fixtures::withExifOrientation(fixtures::makeJpeg(4000, 3000, options), 6);
    const DecodedPicture thumbnail = decodeThumbnail(JpegDecoder(), photo, kThumbnailSide);
    QCOMPARE(thumbnail.size, QSize(192, 256));
    QVERIFY(near(thumbnail.pixel(180, 10), 0xf0f020));
    QVERIFY(near(thumbnail.pixel(10, 10), 0x2040c0));
    QVERIFY(near(thumbnail.pixel(180, 250), 0x2040c0));
}

// thumbs.db ties a thumbnail to every byte of the photo: a photo replaced under the same
// SERIAL by one of the very same length is shown from the file at first, then checked
// against its bytes and made anew.
void TestThumbnailCache::replacedPhotoGetsNewThumbnail()
{
    PhotoDbFixture db;
    QByteArray red = solid(0xd02020), blue = solid(0x2020d0);
    // Bytes after the end marker are not decoded: the two photos are made one length.
    (red.size() < blue.size() ? red : blue)
        .append(QByteArray(std::abs(red.size() - blue.size()), 'x'));
    const qint64 serial = db.addPhoto("p", "one", "k", red);
    {
        Query album;
        openAlbum(album, db.dir());
        ThumbnailCache cache;
        cache.follow(album);
        cache.setWanted(requests(album));
        QTRY_COMPARE(cache.state(serial, red.size()), ThumbnailCache::State::Shown);
        QVERIFY(near(centreOf(cache, serial), 0xd02020));
    }
    Table photos;
    photos.setDatabaseName(db.dir());
    photos.setTableName(QStringLiteral("PHOTODB.DB"));
    photos.open();
    photos.edit();
    photos.setBlob(QStringLiteral("IMAGE"), blue);
    photos.post();
    photos.close();

    Query album;
    openAlbum(album, db.dir());
    ThumbnailCache cache;
    cache.follow(album);
    cache.setWanted(requests(album));
    QTRY_VERIFY(near(centreOf(cache, serial), 0x2020d0));
    QTRY_VERIFY(cache.idle());
    ThumbnailStore store;
    store.open(db.dir(), true);
    QCOMPARE(store.find(serial)->check, PhotoCheck::of(blue));
}

// One photo that is no JPEG, one cut short, one without bytes, among good ones: a mark, a
// thumbnail of what is there, an empty frame; the good ones are not held up.
void TestThumbnailCache::damagedPhotosAmongGoodOnes()
{
    PhotoDbFixture db;
    const QByteArray good = solid(0x30a030);
    const QByteArray cut = good.left(good.size() * 2 / 3);
    db.addPhoto("p", "a", "k", good);
    db.addPhoto("p", "b", "k", QByteArray("\xff\xd8 not a picture at all", 26));
    db.addPhoto("p", "c", "k", cut);
    db.addPhoto("p", "d", "k", solid(0x3030a0));
    db.addPhoto("p", "e", "k", good);
    db.emptyPhoto("e");
    Query album;
    openAlbum(album, db.dir());
    ThumbnailCache cache;
    cache.follow(album);
    const std::vector<ThumbnailRequest> all = requests(album);
    cache.setWanted(all);
    using State = ThumbnailCache::State;
    const QList<State> expected{State::Shown, State::Failed, State::Shown, State::Shown,
                                State::NoPhoto};
    for (int row = 0; row < 5; ++row)
        QTRY_COMPARE(cache.state(all[row].key, all[row].photoSize), expected[row]);
    QVERIFY(near(centreOf(cache, all[3].key), 0x3030a0));
    // The mark is kept too: the next look does not decode the photo again.
    QTRY_VERIFY(cache.idle());
    ThumbnailStore store;
    store.open(db.dir(), true);
    QVERIFY(store.find(all[1].key)->jpeg.isEmpty());
    QCOMPARE(store.find(all[1].key)->check.size, 26);
}

// thumbs.db is a cache: one that is not a database is made anew and filled.
void TestThumbnailCache::damagedCacheFileIsMadeAnew()
{
    PhotoDbFixture db;
    const qint64 serial = db.addPhoto("p", "a", "k", solid(0x808000));
    QFile garbage(QDir(db.dir()).filePath(QStringLiteral("thumbs.db")));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(test::patternBytes(9000, 3));
    garbage.close();
    Query album;
    openAlbum(album, db.dir());
    {
        ThumbnailCache cache;
        cache.follow(album);
        QVERIFY(cache.store().onDisk());
        cache.setWanted(requests(album));
        QTRY_COMPARE(cache.state(serial, album.valueAt(0, album.fieldIndex("IMAGE")).toLongLong()),
                     ThumbnailCache::State::Shown);
        QTRY_VERIFY(cache.idle());
    }
    ThumbnailStore store;
    store.open(db.dir(), true);
    QVERIFY(store.find(serial).has_value());
}

// A library that cannot be written still shows thumbnails, made and kept in memory;
// nothing is written beside its tables.
void TestThumbnailCache::readOnlyLibraryKeepsThumbnailsInMemory()
{
    PhotoDbFixture db;
    const qint64 serial = db.addPhoto("p", "a", "k", solid(0x808000));
    const test::FilePermissionsApply permissions;
    if (!permissions.active())
        QSKIP("file permissions do not bind this process");
    for (const char *file : {"photodb.db", "keyword.db"})
        QVERIFY(QFile::setPermissions(QDir(db.dir()).filePath(file), QFile::ReadOwner));
    QVERIFY(QFile::setPermissions(db.dir(), QFile::ReadOwner | QFile::ExeOwner));
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(db.dir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    Query album;
    openAlbum(album, db.dir());
    QVERIFY(album.libraryReadOnly());
    ThumbnailCache cache;
    cache.follow(album);
    QVERIFY(!cache.store().onDisk());
    cache.setWanted(requests(album));
    QTRY_VERIFY(near(centreOf(cache, serial), 0x808000));
    QTRY_VERIFY(cache.idle());
    QVERIFY(!QFileInfo::exists(QDir(db.dir()).filePath(QStringLiteral("thumbs.db"))));
}

QTEST_GUILESS_MAIN(TestThumbnailCache)
#include "tst_thumbnail_cache.moc"
