#include "picture/look_ahead_decoder.h"

#include "picture/exif_orientation.h"
#include "picture/picture_fit.h"

#include <algorithm>
#include <chrono>

namespace pictavo {
namespace {

// The bytes a move reads are most often the very buffer read ahead for it: then the
// comparison of a whole photo is skipped.
bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    return a.size() == b.size() && (a.constData() == b.constData() || a == b);
}

} // namespace

LookAheadDecoder::LookAheadDecoder(const JpegDecoder &decoder, DecodePool &pool)
    : m_decoder(decoder), m_pool(pool)
{
}

LookAheadDecoder::~LookAheadDecoder()
{
    m_pool.withdraw(this);
}

void LookAheadDecoder::prepare(const std::vector<QByteArray> &photos, QSize area)
{
    prepare(std::vector<qint64>(photos.size(), -1), area,
            [&photos](size_t i) { return photos[i]; });
}

void LookAheadDecoder::prepare(const std::vector<qint64> &keys, QSize area,
                               const std::function<QByteArray(size_t)> &read)
{
    if (!m_enabled)
        return;
    std::vector<Upcoming> upcoming;
    for (size_t i = 0; i < keys.size() && upcoming.size() < m_maxAhead; ++i) {
        const bool held =
            keys[i] >= 0 && std::any_of(m_slots.begin(), m_slots.end(), [&](const Slot &slot) {
                return slot.key == keys[i] && slot.area == area;
            });
        if (held) {
            upcoming.push_back({keys[i], QByteArray()});
            continue;
        }
        QByteArray jpeg = read(i);
        if (!jpeg.isEmpty())
            upcoming.push_back({keys[i], std::move(jpeg)});
    }
    place(std::move(upcoming), area);
}

void LookAheadDecoder::place(std::vector<Upcoming> upcoming, QSize area)
{
    std::vector<Slot> kept;
    for (Upcoming &next : upcoming) {
        // Already on its way (it was the photo after next a moment ago): its decode, done
        // or not, goes on being of use.
        const auto held = std::find_if(m_slots.begin(), m_slots.end(), [&](const Slot &slot) {
            return slot.area == area &&
                   (next.jpeg.isEmpty() ? slot.key == next.key : sameBytes(slot.jpeg, next.jpeg));
        });
        if (held != m_slots.end()) {
            held->key = next.key;
            kept.push_back(std::move(*held));
            m_slots.erase(held);
        } else if (!next.jpeg.isEmpty()) {
            // Submitted in order: the nearest photo is the one asked for soonest.
            auto task = m_pool.submit<Decoded>(
                this, DecodePool::Priority::Urgent,
                [this, jpeg = next.jpeg, area](const DecodePool::Control &control) {
                    return decode(jpeg, area, control);
                });
            kept.push_back({next.key, std::move(next.jpeg), area, std::move(task)});
        }
    }
    dropSlots(m_slots.begin(), m_slots.end()); // the photos left behind
    m_slots = std::move(kept);
}

std::optional<DecodedPicture> LookAheadDecoder::take(const QByteArray &jpeg, QSize target,
                                                     std::shared_ptr<const PreparedDraw> *drawn)
{
    if (drawn != nullptr)
        drawn->reset();
    const auto asked = std::find_if(m_slots.begin(), m_slots.end(),
                                    [&](const Slot &slot) { return sameBytes(slot.jpeg, jpeg); });
    // Another photo than those prepared (the one on screen while the next are prepared,
    // or a jump elsewhere): the caller's next prepare() says which of them are still of use.
    if (asked == m_slots.end())
        return std::nullopt;
    Slot slot = std::move(*asked);
    // The photos prepared to come before this one were passed over.
    dropSlots(m_slots.begin(), asked + 1);
    if (slot.task.result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        const auto start = std::chrono::steady_clock::now();
        slot.task.result.wait();
        m_waitedMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
    }
    Decoded decoded = slot.task.result.get();
    if (!decoded.ok ||
        decoded.picture.scaleEighths != JpegDecoder::drawScale(decoded.picture.fullSize, target))
        return std::nullopt;
    ++m_hits;
    if (drawn != nullptr && decoded.drawn) {
        *drawn = std::move(decoded.drawn);
        ++m_drawnHits;
    }
    return std::move(decoded.picture);
}

void LookAheadDecoder::drop()
{
    dropSlots(m_slots.begin(), m_slots.end());
}

void LookAheadDecoder::dropSlots(std::vector<Slot>::iterator first,
                                 std::vector<Slot>::iterator last)
{
    for (auto slot = first; slot != last; ++slot)
        if (slot->task.control) // null once moved out
            slot->task.control->cancel();
    m_slots.erase(first, last);
}

void LookAheadDecoder::setMaxAhead(int photos)
{
    m_maxAhead = size_t(std::clamp(photos, 1, kMaxAhead));
}

void LookAheadDecoder::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (!enabled)
        drop();
}

LookAheadDecoder::Decoded LookAheadDecoder::decode(const QByteArray &jpeg, QSize area,
                                                   const DecodePool::Control &control) const
{
    Decoded decoded;
    Orientation orientation = Orientation::Upright;
    try {
        control.throwIfCancelled(); // dropped before its turn
        // Fitted as the photo stands upright, as the window fits it; the decoder
        // sees the stored picture, so the size is turned back for it.
        const JpegHeader header = m_decoder.probe(jpeg);
        orientation = readExifOrientation(jpeg);
        const QSize fitted =
            FitAndCentrePicture(orientedSize(header.size, orientation), area).size();
        const int scale = JpegDecoder::drawScale(header.size, orientedSize(fitted, orientation));
        decoded.picture =
            m_decoder.decodeAt(jpeg, scale, [&control](int) { control.throwIfCancelled(); });
        decoded.ok = true;
    } catch (...) {
        // Called off, or the caller decodes this photo itself and meets the failure there.
        return Decoded();
    }
    // A photo to be turned is turned by the window, which then scales it too. Without
    // what the step makes, the window only does the work itself.
    if (m_drawStep && orientation == Orientation::Upright && !control.cancelled()) {
        try {
            decoded.drawn = m_drawStep(decoded.picture, area);
        } catch (...) {
            decoded.drawn.reset();
        }
    }
    return decoded;
}

} // namespace pictavo
