#pragma once

#include "picture/decoded_picture.h"
#include "picture/exif_orientation.h"
#include "picture/jpeg_decoder.h"

#include <QByteArray>
#include <QSize>
#include <memory>

namespace pictavo {

class LookAheadDecoder;
class PreparedDraw;

// The photo of the current record: its compressed bytes and the best decode made of
// them so far. Redraws (mode changes, resizes, Refresh) are served from that decode;
// a new one is made from the held bytes, never from the database, only when a request
// needs more pixels than it has. Sizes and pixels are those of the photo turned upright
// as its orientation tag says; the held bytes are never changed.
class DisplayPicture
{
public:
    DisplayPicture() = default;
    explicit DisplayPicture(const JpegDecoder &decoder) : m_decoder(decoder) {}

    // Holds a record's photo and reads its header; any earlier photo is dropped first,
    // unless the bytes are those already held, whose decode is then kept.
    // Empty bytes hold nothing (a record without a photo). A header that cannot be
    // read throws DecodeError and leaves nothing held.
    void setJpeg(const QByteArray &jpeg);
    void clear();

    bool isEmpty() const { return m_jpeg.isEmpty(); }
    const QByteArray &jpeg() const { return m_jpeg; }
    // As declared by the header, turned upright: what drawing fits and centres,
    // whatever the decode.
    QSize fullSize() const { return orientedSize(m_header.size, m_orientation); }
    // As stored in the file, not turned.
    const JpegHeader &header() const { return m_header; }
    Orientation orientation() const { return m_orientation; }

    // Upright pixels at least `target` in both directions, or full size (QSize() asks for
    // that), decoded at JpegDecoder::drawScale. A decode failure throws DecodeError and leaves
    // nothing held, so later redraws draw nothing instead of repeating the error. Empty when
    // nothing is held.
    const DecodedPicture &pixelsFor(QSize target, const DecodeProgress &progress = {});

    // The held decode, possibly null; never decodes.
    const DecodedPicture &decoded() const { return m_decoded; }
    // What the look-ahead's draw step made of the held decode, or null; it goes with
    // that decode and is let go with it.
    const PreparedDraw *preparedDraw() const { return m_drawn.get(); }
    bool covers(QSize target) const;

    // Decodes run since construction; lets callers and tests see the cache working.
    int decodeCount() const { return m_decodeCount; }

    // A decode that a look-ahead made of the same bytes for the same size is taken
    // instead of decoding; null for none. The look-ahead must outlive this picture.
    void setLookAhead(LookAheadDecoder *lookAhead) { m_lookAhead = lookAhead; }

private:
    // Keeps the pixels of a full-size decode that is let go, for the next one to write
    // into: its memory is then already in place.
    void keepSpare();

    JpegDecoder m_decoder;
    LookAheadDecoder *m_lookAhead = nullptr;
    QByteArray m_jpeg;
    JpegHeader m_header;
    Orientation m_orientation = Orientation::Upright;
    DecodedPicture m_decoded;
    std::shared_ptr<const PreparedDraw> m_drawn;
    QByteArray m_spare;
    int m_decodeCount = 0;
};

} // namespace pictavo
