#pragma once

#include <QString>

namespace pictavo {

// How a file's name becomes the NAME of its photo record.

// The part of a path after its last "/".
QString fileNameOf(const QString &path);

// The text from the last "." of the file name to its end, the "." included; empty when
// there is no ".".
QString photoExtension(const QString &fileName);

// Whether an extension names a JPEG picture: ".jpg" or ".jpeg" in any letter case.
bool isJpegExtension(const QString &extension);

// The part of the file name in front of the first occurrence of the extension's text,
// letter case counting: "a.jpg.jpg" gives "a", "x.JPG.jpg" gives "x.JPG".
QString photoBaseName(const QString &fileName, const QString &extension);

// The NAME stored for a file, or the warning that refuses it ("No extention." or
// "Name is null string."). The name is the base in lower case by Unicode rules, not yet
// cut to the field's width (the engine does that when it is written).
struct PhotoName
{
    QString name;
    QString refusal; // empty when the name is usable
};
PhotoName photoNameOf(const QString &path);

} // namespace pictavo
