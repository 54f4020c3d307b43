#pragma once

#include <QByteArray>

// Exif segments for the tests: a camera's orientation tag put into a JPEG made by
// jpeg_fixtures.
namespace pictavo::fixtures {

// The APP1 segment (marker included) of a minimal Exif block: a TIFF header in the byte
// order asked for and one directory holding `otherTags` unrelated entries, then the
// Orientation tag with `value`.
QByteArray exifSegment(int value, bool bigEndian = false, int otherTags = 2);

// The JPEG with `segment` put right after its SOI marker.
QByteArray withSegment(const QByteArray &jpeg, const QByteArray &segment);

// The JPEG with an Exif segment saying `value`.
inline QByteArray withExifOrientation(const QByteArray &jpeg, int value, bool bigEndian = false)
{
    return withSegment(jpeg, exifSegment(value, bigEndian));
}

} // namespace pictavo::fixtures
