#include "import/import_pipeline.h"
#include "keyword/file_keywords.h"
#include "support/exif_fixtures.h"
#include "support/jpeg_fixtures.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <exiv2/image.hpp>
#include <exiv2/iptc.hpp>
#include <exiv2/xmp_exiv2.hpp>

using namespace pictavo;

namespace {

// The JPEG as a peer program leaves it: the library's own writer puts the XMP keywords
// and the IPTC Keywords (raw bytes, whatever their character set) into it.
QByteArray withKeywords(const QByteArray &jpeg, const QStringList &xmp, const QByteArrayList &iptc)
{
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(jpeg.data()),
                                           long(jpeg.size()));
    image->readMetadata();
    Exiv2::XmpArrayValue subject(Exiv2::xmpBag);
    for (const QString &keyword : xmp)
        subject.read(keyword.toStdString());
    image->xmpData().add(Exiv2::XmpKey("Xmp.dc.subject"), &subject);
    for (const QByteArray &keyword : iptc) {
        Exiv2::StringValue value(keyword.toStdString());
        image->iptcData().add(Exiv2::IptcKey("Iptc.Application2.Keywords"), &value);
    }
    image->writeMetadata();
    Exiv2::BasicIo &io = image->io();
    io.seek(0, Exiv2::BasicIo::beg);
    const Exiv2::DataBuf bytes = io.read(io.size());
    return QByteArray(reinterpret_cast<const char *>(bytes.pData_), bytes.size_);
}

QByteArray xmpSegment(const QByteArray &packet)
{
    const QByteArray body = QByteArray("http://ns.adobe.com/xap/1.0/\0", 29) + packet;
    return QByteArray("\xFF\xE1") + char((body.size() + 2) >> 8) + char((body.size() + 2) & 0xFF) +
           body;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// What every answer holds, however damaged the input: keywords a Keyword String can keep.
void checkShape(const FileKeywords &found)
{
    for (const QString &keyword : found.keywords) {
        QVERIFY2(!keyword.isEmpty() && keywordFromFile(keyword) == keyword, qPrintable(keyword));
        QCOMPARE(found.keywords.count(keyword), 1);
    }
}

} // namespace

class TestFileKeywords : public QObject
{
    Q_OBJECT

private slots:
    void threeSourcesTogether();
    void damagedMetadataFromSeed();
};

void TestFileKeywords::threeSourcesTogether()
{
    const QByteArray jpeg = withKeywords(
        fixtures::makeJpeg(32, 24), {"sea", QStringLiteral("Zürich"), "a, b", " \tsea"},
        {QStringLiteral("猫").toUtf8(), QByteArray("caf\xE9"), "sea", QByteArray("sky\0", 4)});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("IMG_1.JPG"));
    QVERIFY(writeFile(path, jpeg));
    QVERIFY(writeFile(path + ".xmp", xmpSidecar({"night", QStringLiteral("東京"), "sky"})));
    QVERIFY(writeFile(dir.filePath("IMG_1.xmp"), xmpSidecar({"night", "moon"})));

    const FileKeywords found = keywordsOfPhotoFile(path, jpeg);
    QCOMPARE(found.warnings, QStringList());
    const QStringList expected{"sea",
                               QStringLiteral("Zürich"),
                               "a; b",
                               QStringLiteral("猫"),
                               QStringLiteral("café"),
                               "sky",
                               "night",
                               QStringLiteral("東京"),
                               "moon"};
    QCOMPARE(found.keywords, expected);
    // After the keywords given, in the order found, each once; "*" only for none at all.
    QCOMPARE(composeKeywordString({"moon"}, "sea,x", found.keywords),
             QStringLiteral("moon,sea,x,Zürich,a; b,猫,café,sky,night,東京"));
    QCOMPARE(composeKeywordString({}, QString(), {}), QStringLiteral("*"));
    QCOMPARE(composeKeywordString({}, QString(), {"sea"}), QStringLiteral("sea"));
}

void TestFileKeywords::damagedMetadataFromSeed()
{
    const QByteArray clean = withKeywords(fixtures::makeJpeg(32, 24), {"sea", "sky"}, {"cat"});
    const qsizetype scan = clean.indexOf("\xFF\xDA");
    QVERIFY(scan > 0);
    const QByteArray packet = xmpSidecar({"sea", QStringLiteral("Zürich")});
    QByteArray deep = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">";
    for (int i = 0; i < 20000; ++i)
        deep += "<a>";
    const QByteArray laughs = "<!DOCTYPE x [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;"
                              "&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
                              "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">&c;&c;&c;</x:xmpmeta>";
    // Each hostile document is refused with a warning, never a crash or a hang.
    for (const QByteArray &hostile : {deep, laughs, packet.left(packet.size() / 2)}) {
        const FileKeywords found =
            keywordsInJpeg(fixtures::withSegment(clean, xmpSegment(hostile)));
        QVERIFY(!found.warnings.isEmpty());
        QVERIFY(keywordsInXmp(hostile).keywords.isEmpty());
    }

    QRandomGenerator random(25);
    const int rounds = qEnvironmentVariableIntValue("PICTAVO_FUZZ_ROUNDS") > 0
                           ? qEnvironmentVariableIntValue("PICTAVO_FUZZ_ROUNDS")
                           : 1500;
    int warned = 0;
    int kept = 0;
    for (int round = 0; round < rounds; ++round) {
        // Bytes of the metadata segments changed, sometimes the file cut inside them; the
        // sidecar's text changed the same way.
        QByteArray file = clean;
        QByteArray sidecar = packet;
        for (int n = random.bounded(1, 9); n > 0; --n) {
            file[random.bounded(qsizetype(2), scan)] = char(random.bounded(256));
            sidecar[random.bounded(sidecar.size())] = char(random.bounded(256));
        }
        if (random.bounded(8) == 0)
            file.truncate(random.bounded(qsizetype(2), scan));
        const FileKeywords found = keywordsInJpeg(file);
        checkShape(found);
        checkShape(keywordsInXmp(sidecar));
        warned += found.warnings.isEmpty() ? 0 : 1;
        kept += found.keywords.isEmpty() ? 0 : 1;
    }
    // The damage is seen, and what is sound around it is still read.
    QVERIFY2(warned > rounds / 10 && kept > rounds / 10,
             qPrintable(QStringLiteral("%1 warned, %2 kept").arg(warned).arg(kept)));
}

QTEST_GUILESS_MAIN(TestFileKeywords)
#include "tst_file_keywords.moc"
