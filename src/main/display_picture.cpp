#include "main/display_picture.h"

#include "main/look_ahead_decoder.h"

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
    m_jpeg = jpeg;
}

void DisplayPicture::clear()
{
    keepSpare();
    m_jpeg.clear();
    m_header = JpegHeader();
    m_decoded = DecodedPicture();
}

bool DisplayPicture::covers(QSize target) const
{
    // Output grows with the scale, so a decode covers every target whose own choice
    // of scale is no larger.
    return !m_decoded.isNull() &&
           JpegDecoder::chooseScale(m_header.size, target) <= m_decoded.scaleEighths;
}

const DecodedPicture &DisplayPicture::pixelsFor(QSize target, const DecodeProgress &progress)
{
    if (isEmpty() || covers(target))
        return m_decoded;
    if (m_lookAhead != nullptr) {
        if (std::optional<DecodedPicture> ready = m_lookAhead->take(m_jpeg, target)) {
            keepSpare();
            m_decoded = std::move(*ready);
            return m_decoded;
        }
    }
    // Let the smaller decode go first: the peak is then one decode, not two. Anything
    // but a DecodeError (a throwing progress callback, no memory) leaves the bytes held
    // so that a later request can try again.
    keepSpare();
    m_decoded = DecodedPicture();
    ++m_decodeCount;
    // Only a full-size decode writes into the spare, so a smaller one never takes it away.
    const bool fullSize = JpegDecoder::chooseScale(m_header.size, target) == 8;
    try {
        m_decoded = m_decoder.decode(m_jpeg, target, progress, fullSize ? &m_spare : nullptr);
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
