#include "keyword/file_keywords.h"

#include "base/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <exiv2/error.hpp>
#include <exiv2/iptc.hpp>
#include <exiv2/jpgimage.hpp>
#include <exiv2/xmp_exiv2.hpp>

#include <mutex>

namespace pictavo {

namespace {

constexpr qint64 kLargestSidecar = 16 * 1024 * 1024;
// Deeper than any XMP document is: the toolkit walks the tree by recursion.
constexpr int kDeepestXml = 64;
const QByteArray kXmpSignature("http://ns.adobe.com/xap/1.0/\0", 29);
const QByteArray kPhotoshopSignature("Photoshop 3.0\0", 14);
const char *const kSubject = "Xmp.dc.subject";
const char *const kIptcKeywords = "Iptc.Application2.Keywords";

// What the library logs while one piece of metadata is read, on the thread that reads it.
thread_local QStringList *t_libraryMessages = nullptr;

void collectMessage(int level, const char *text)
{
    if (t_libraryMessages && level >= Exiv2::LogMsg::warn && text)
        *t_libraryMessages << QString::fromUtf8(text).trimmed();
}

void lockToolkit(void *mutex, bool lock)
{
    auto *m = static_cast<std::mutex *>(mutex);
    if (lock)
        m->lock();
    else
        m->unlock();
}

// The XMP toolkit is set up once, before any thread uses it.
void prepareLibrary()
{
    static std::once_flag once;
    static std::mutex toolkit;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::warn);
        Exiv2::LogMsg::setHandler(collectMessage);
        Exiv2::XmpParser::initialize(lockToolkit, &toolkit);
    });
}

// Gathers the keywords of one file, each once, and what was passed over.
class Collector
{
public:
    explicit Collector(FileKeywords &result) : m_result(result) {}

    void add(const QString &text)
    {
        const QString keyword = keywordFromFile(text);
        if (!keyword.isEmpty() && !m_result.keywords.contains(keyword))
            m_result.keywords << keyword;
    }

    // Runs one read with the library's messages and failures turned into warnings about
    // `source`.
    template <typename Read> void read(const QString &source, Read readIt)
    {
        prepareLibrary();
        QStringList messages;
        t_libraryMessages = &messages;
        try {
            readIt();
        } catch (const std::exception &error) {
            messages << QString::fromUtf8(error.what()).trimmed();
        } catch (...) {
            messages << QStringLiteral("unreadable");
        }
        t_libraryMessages = nullptr;
        messages.removeAll(QString());
        if (!messages.isEmpty())
            warn(source, messages.join(QStringLiteral("; ")));
    }

    void warn(const QString &source, const QString &text)
    {
        m_result.warnings << source + QStringLiteral(": ") + text;
    }

private:
    FileKeywords &m_result;
};

// The XML parser under the toolkit has no limits of its own on nesting, and a document
// type can make a few bytes expand into gigabytes: neither belongs in XMP.
QString refusedXml(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            return QStringLiteral("a document type declaration is not XMP");
        case QXmlStreamReader::StartElement:
            if (++depth > kDeepestXml)
                return QStringLiteral("elements nested more than %1 deep").arg(kDeepestXml);
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return QString(); // other faults are the toolkit's to find and report
}

void readXmp(Collector &collector, const QString &source, QByteArray xml)
{
    // Some writers pad the packet with zero bytes, which no XML parser takes.
    while (xml.endsWith('\0'))
        xml.chop(1);
    if (const QString refusal = refusedXml(xml); !refusal.isEmpty()) {
        collector.warn(source, refusal);
        return;
    }
    collector.read(source, [&] {
        Exiv2::XmpData data;
        if (Exiv2::XmpParser::decode(data, xml.toStdString()) != 0)
            throw Error(QStringLiteral("not read"));
        const auto subject = data.findKey(Exiv2::XmpKey(kSubject));
        if (subject == data.end())
            return;
        for (long i = 0; i < subject->count(); ++i)
            collector.add(QString::fromStdString(subject->toString(i)));
    });
}

// IPTC keeps no character set for sure: a keyword that is valid UTF-8 is taken as that,
// any other as ISO 8859-1, the standard's own default.
QString iptcText(const std::string &bytes)
{
    const QByteArray raw = QByteArray::fromStdString(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(raw);
    return utf8.hasError() ? QString::fromLatin1(raw) : text;
}

void readIptc(Collector &collector, const QByteArray &photoshop)
{
    collector.read(QStringLiteral("IPTC"), [&] {
        const auto *cursor = reinterpret_cast<const Exiv2::byte *>(photoshop.constData());
        const Exiv2::byte *const end = cursor + photoshop.size();
        std::string iptc;
        const Exiv2::byte *record = nullptr;
        uint32_t header = 0;
        uint32_t size = 0;
        // The IPTC blocks among the Photoshop resources, joined as peer programs join them.
        while (cursor < end && Exiv2::Photoshop::locateIptcIrb(cursor, long(end - cursor), &record,
                                                               &header, &size) == 0) {
            const Exiv2::byte *data = record + header;
            if (data < cursor || data > end || size > uint32_t(end - data))
                throw Error(QStringLiteral("a resource block runs past its segment"));
            iptc.append(reinterpret_cast<const char *>(data), size);
            cursor = data + size + (size & 1);
        }
        if (iptc.empty())
            return;
        Exiv2::IptcData data;
        if (Exiv2::IptcParser::decode(data, reinterpret_cast<const Exiv2::byte *>(iptc.data()),
                                      uint32_t(iptc.size())) != 0) {
            collector.warn(QStringLiteral("IPTC"), QStringLiteral("damaged, not read"));
            return;
        }
        for (const Exiv2::Iptcdatum &datum : data) {
            if (datum.key() == kIptcKeywords)
                collector.add(iptcText(datum.value().toString()));
        }
    });
}

// The XMP packets and the joined Photoshop resources of the segments in front of the first
// scan. Every length is checked against the bytes there; a walk that loses its way ends
// with a warning and keeps what it found.
struct MetadataSegments
{
    QList<QByteArray> xmp;
    QByteArray photoshop;
    QString damage;
};

MetadataSegments metadataSegments(const QByteArray &jpeg)
{
    MetadataSegments found;
    const auto byte = [&](qsizetype at) { return uchar(jpeg[at]); };
    const qsizetype size = jpeg.size();
    if (size < 2 || byte(0) != 0xFF || byte(1) != 0xD8)
        return found;
    for (qsizetype at = 2; at < size;) {
        if (byte(at) != 0xFF) {
            found.damage = QStringLiteral("no marker at byte %1").arg(at);
            break;
        }
        while (at < size && byte(at) == 0xFF)
            ++at;
        if (at >= size)
            break;
        const int marker = byte(at++);
        if (marker == 0xDA || marker == 0xD9) // the scan, or the end of the picture
            break;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) // markers without a length
            continue;
        const qsizetype length = at + 2 <= size ? (byte(at) << 8 | byte(at + 1)) : 0;
        if (length < 2 || length > size - at) {
            found.damage = QStringLiteral("a segment runs past the end of the file");
            break;
        }
        const QByteArray body = QByteArray::fromRawData(jpeg.constData() + at + 2, length - 2);
        if (marker == 0xE1 && body.startsWith(kXmpSignature))
            found.xmp << body.mid(kXmpSignature.size());
        else if (marker == 0xED && body.startsWith(kPhotoshopSignature))
            found.photoshop += body.mid(kPhotoshopSignature.size());
        at += length;
    }
    return found;
}

} // namespace

QString keywordFromFile(const QString &text)
{
    QString keyword = text;
    for (QChar &c : keyword) {
        if (c == QLatin1Char(','))
            c = QLatin1Char(';');
        else if (c.unicode() < 32)
            c = QLatin1Char(' ');
    }
    qsizetype from = 0;
    qsizetype to = keyword.size();
    while (from < to && keyword[from].unicode() <= 32)
        ++from;
    while (to > from && keyword[to - 1].unicode() <= 32)
        --to;
    return keyword.mid(from, to - from);
}

FileKeywords keywordsInJpeg(const QByteArray &jpeg)
{
    FileKeywords result;
    Collector collector(result);
    const MetadataSegments segments = metadataSegments(jpeg);
    if (!segments.damage.isEmpty())
        collector.warn(QStringLiteral("metadata"), segments.damage);
    for (const QByteArray &packet : segments.xmp)
        readXmp(collector, QStringLiteral("XMP"), packet);
    if (!segments.photoshop.isEmpty())
        readIptc(collector, segments.photoshop);
    return result;
}

FileKeywords keywordsInXmp(const QByteArray &xmp)
{
    FileKeywords result;
    Collector collector(result);
    readXmp(collector, QStringLiteral("XMP"), xmp);
    return result;
}

FileKeywords keywordsOfPhotoFile(const QString &path, const QByteArray &jpeg)
{
    FileKeywords result = keywordsInJpeg(jpeg);
    Collector collector(result);
    const QFileInfo info(path);
    const QStringList sidecars{
        path + QStringLiteral(".xmp"),
        info.dir().filePath(info.completeBaseName() + QStringLiteral(".xmp"))};
    for (const QString &sidecar : sidecars) {
        const QFileInfo file(sidecar);
        if (!file.isFile())
            continue;
        const QString source = QStringLiteral("sidecar \"%1\"").arg(file.fileName());
        QFile in(sidecar);
        if (file.size() > kLargestSidecar) {
            collector.warn(source, QStringLiteral("larger than 16 MB, not read"));
            continue;
        }
        if (!in.open(QIODevice::ReadOnly)) {
            collector.warn(source, in.errorString());
            continue;
        }
        readXmp(collector, source, in.read(kLargestSidecar));
    }
    return result;
}

QByteArray xmpSidecar(const QStringList &keywords)
{
    prepareLibrary();
    Exiv2::XmpData data;
    Exiv2::XmpArrayValue subject(Exiv2::xmpBag);
    for (const QString &keyword : keywords) {
        const QString text = keywordFromFile(keyword);
        if (!text.isEmpty())
            subject.read(text.toStdString());
    }
    std::string packet;
    if (subject.count() > 0) {
        data.add(Exiv2::XmpKey(kSubject), &subject);
        if (Exiv2::XmpParser::encode(packet, data,
                                     Exiv2::XmpParser::omitPacketWrapper |
                                         Exiv2::XmpParser::useCompactFormat) != 0)
            throw Error(QStringLiteral("The keywords could not be written as XMP."));
    } else {
        // The toolkit writes nothing at all for no properties; peers expect a document.
        packet = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
                 " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"/>\n"
                 "</x:xmpmeta>\n";
    }
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") +
           QByteArray::fromStdString(packet);
}

} // namespace pictavo
