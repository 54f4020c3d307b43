#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace pictavo {

// Keywords that other programs write into photo files, read with the metadata library
// peer photo programs use. Nothing here throws: metadata that is damaged or hostile is
// passed over, and `warnings` says what was passed over and where.
struct FileKeywords
{
    QStringList keywords;
    QStringList warnings;
};

// A keyword of a file as a Keyword String can hold it: a comma, which would split it,
// becomes ";", every other character below 32 a blank, and the characters of code 32 or
// less at either end are dropped (the Keyword String's reading drops them anyway). Empty
// when nothing is left.
QString keywordFromFile(const QString &text);

// XMP dc:subject, then IPTC Keywords, of the metadata segments in front of the first scan
// of a JPEG file's bytes, each keyword as keywordFromFile makes it, each once, in order.
FileKeywords keywordsInJpeg(const QByteArray &jpeg);

// The dc:subject keywords of an XMP packet or sidecar document.
FileKeywords keywordsInXmp(const QByteArray &xmp);

// What the import takes from a photo file: keywordsInJpeg of its bytes, then the
// sidecars "<file>.xmp" and "<name>.xmp" beside it when they are there; each keyword once.
// A warning names the file it is about.
FileKeywords keywordsOfPhotoFile(const QString &path, const QByteArray &jpeg);

// An XMP sidecar document holding the keywords as dc:subject, an unordered list (rdf:Bag),
// in the order given: UTF-8, with the XML declaration, as exiftool and peer programs read it.
QByteArray xmpSidecar(const QStringList &keywords);

} // namespace pictavo
