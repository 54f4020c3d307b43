#include "picture/display_picture.h"

#include "picture/look_ahead_decoder.h"
#include "picture/oriented_picture.h"

namespace pictavo {

void DisplayPicture::setJpeg(const QByteArray &jpeg)
{
    // The same photo again (an imported one handed over, then read back after its
    // store) keeps the decode already made of it.
    if (!jpeg.isEmpty() && jpeg == m_jpeg)
        return;
    clear();
    if (jpeg.isEmpty())
        return;
    m_header = m_decoder.probe(jpeg);
    m_orientation = readExifOrientation(jpeg);
    m_jpeg = jpeg;
}

void DisplayPicture::clear()
{
    keepSpare();
    m_jpeg.clear();
    m_header = JpegHeader();
    m_orientation = Orientation::Upright;
    m_decoded = DecodedPicture();
    m_drawn.reset();
}

bool DisplayPicture::covers(QSize target) const
{
    // Output grows with the scale, so a decode covers every target whose own choice
    // of scale is no larger. The decoder sees the stored picture: the target is turned
    // back to it.
    return !m_decoded.isNull() &&
           JpegDecoder::chooseScale(m_header.size, orientedSize(target, m_orientation)) <=
               m_decoded.scaleEighths;
}

const DecodedPicture &DisplayPicture::pixelsFor(QSize target, const DecodeProgress &progress)
{
    if (isEmpty() || covers(target))
        return m_decoded;
    // The decoder sees the stored picture: the target is turned back to it.
    const QSize stored = orientedSize(target, m_orientation);
    if (m_lookAhead != nullptr) {
        std::shared_ptr<const PreparedDraw> drawn;
        if (std::optional<DecodedPicture> ready = m_lookAhead->take(m_jpeg, stored, &drawn)) {
            keepSpare();
            m_decoded = orientPicture(std::move(*ready), m_orientation);
            m_drawn = std::move(drawn);
            return m_decoded;
        }
    }
    // Let the smaller decode go first: the peak is then one decode, not two. Anything
    // but a DecodeError (a throwing progress callback, no memory) leaves the bytes held
    // so that a later request can try again.
    keepSpare();
    m_decoded = DecodedPicture();
    m_drawn.reset();
    ++m_decodeCount;
    const int scale = JpegDecoder::drawScale(m_header.size, stored);
    // Only a full-size decode writes into the spare, so a smaller one never takes it away.
    const bool fullSize = scale == 8;
    try {
        m_decoded = orientPicture(
            m_decoder.decodeAt(m_jpeg, scale, progress, fullSize ? &m_spare : nullptr),
            m_orientation);
    } catch (const DecodeError &) {
        clear();
        throw;
    }
    return m_decoded;
}

void DisplayPicture::keepSpare()
{
    if (m_decoded.isFullSize())
        m_spare = std::move(m_decoded.pixels);
}

} // namespace pictavo
