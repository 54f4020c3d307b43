#include "picture/look_ahead_decoder.h"

#include "picture/exif_orientation.h"
#include "picture/picture_fit.h"

#include <algorithm>
#include <chrono>

namespace pictavo {

namespace {

// Thrown by the progress callback to leave a decode nobody wants any more.
struct Abandoned
{
};

} // namespace

LookAheadDecoder::LookAheadDecoder(const JpegDecoder &decoder, DecodePool &pool)
    : m_decoder(decoder), m_pool(pool)
{
}

LookAheadDecoder::~LookAheadDecoder()
{
    drop();
    m_pool.withdraw(this);
}

void LookAheadDecoder::prepare(const std::vector<QByteArray> &photos, QSize area)
{
    if (!m_enabled)
        return;
    std::vector<Upcoming> upcoming;
    for (const QByteArray &jpeg : photos) {
        if (upcoming.size() == m_maxAhead)
            break;
        if (!jpeg.isEmpty())
            upcoming.push_back({-1, jpeg});
    }
    place(std::move(upcoming), area);
}

void LookAheadDecoder::prepare(const std::vector<qint64> &keys, QSize area,
                               const std::function<QByteArray(size_t)> &read)
{
    if (!m_enabled)
        return;
    std::vector<Upcoming> upcoming;
    for (size_t i = 0; i < keys.size() && upcoming.size() < m_maxAhead; ++i) {
        const bool held = [&] {
            if (keys[i] < 0)
                return false;
            const std::lock_guard lock(m_mutex);
            return std::any_of(m_slots.begin(), m_slots.end(), [&](const Slot &slot) {
                return slot.key == keys[i] && slot.area == area;
            });
        }();
        // Only this thread removes slots, so one found here is still there in place().
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
    std::vector<quint64> added;
    {
        const std::lock_guard lock(m_mutex);
        std::vector<Slot> kept;
        for (Upcoming &next : upcoming) {
            // Already on its way (it was the photo after next a moment ago): its decode,
            // done or not, goes on being of use.
            const auto held = std::find_if(m_slots.begin(), m_slots.end(), [&](const Slot &slot) {
                return slot.area == area &&
                       (next.jpeg.isEmpty() ? slot.key == next.key : slot.jpeg == next.jpeg);
            });
            if (held != m_slots.end()) {
                held->key = next.key;
                kept.push_back(std::move(*held));
                m_slots.erase(held);
            } else if (!next.jpeg.isEmpty()) {
                Slot slot;
                slot.id = ++m_lastId;
                slot.key = next.key;
                slot.jpeg = std::move(next.jpeg);
                slot.area = area;
                added.push_back(slot.id);
                kept.push_back(std::move(slot));
            }
        }
        // The photos left behind are dropped: their workers stop at their next progress
        // step, finding their slots gone.
        m_slots = std::move(kept);
    }
    // In order: the nearest photo is the one asked for soonest.
    for (const quint64 id : added)
        m_pool.post(this, DecodePool::Priority::Urgent, [this, id] { decodeSlot(id); });
}

std::optional<DecodedPicture> LookAheadDecoder::take(const QByteArray &jpeg, QSize target,
                                                     std::shared_ptr<const PreparedDraw> *drawn)
{
    if (drawn != nullptr)
        drawn->reset();
    std::unique_lock lock(m_mutex);
    if (m_slots.empty())
        return std::nullopt;
    const auto asked = std::find_if(m_slots.begin(), m_slots.end(),
                                    [&](const Slot &slot) { return slot.jpeg == jpeg; });
    // Another photo than those prepared (the one on screen while the next are prepared,
    // or a jump elsewhere): the caller's next prepare() says which of them are still of use.
    if (asked == m_slots.end())
        return std::nullopt;
    // The photos prepared to come before this one were passed over.
    m_slots.erase(m_slots.begin(), asked);
    const quint64 id = m_slots.front().id;
    if (!m_slots.front().finished) {
        const auto start = std::chrono::steady_clock::now();
        m_finished.wait(lock, [&] { return m_slots.front().finished; });
        m_waitedMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
    }
    Slot slot = std::move(m_slots.front());
    m_slots.erase(m_slots.begin());
    lock.unlock();
    Q_ASSERT(slot.id == id);
    if (!slot.ok ||
        slot.picture.scaleEighths != JpegDecoder::drawScale(slot.picture.fullSize, target))
        return std::nullopt;
    ++m_hits;
    if (drawn != nullptr && slot.drawn) {
        *drawn = std::move(slot.drawn);
        ++m_drawnHits;
    }
    return std::move(slot.picture);
}

void LookAheadDecoder::drop()
{
    const std::lock_guard lock(m_mutex);
    m_slots.clear();
}

LookAheadDecoder::Slot *LookAheadDecoder::findLocked(quint64 id)
{
    const auto found = std::find_if(m_slots.begin(), m_slots.end(),
                                    [id](const Slot &slot) { return slot.id == id; });
    return found != m_slots.end() ? &*found : nullptr;
}

int LookAheadDecoder::preparedCount()
{
    const std::lock_guard lock(m_mutex);
    return int(m_slots.size());
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

void LookAheadDecoder::decodeSlot(quint64 id)
{
    QByteArray jpeg;
    QSize area;
    {
        const std::lock_guard lock(m_mutex);
        Slot *slot = findLocked(id);
        if (slot == nullptr)
            return; // dropped before its turn
        slot->started = true;
        jpeg = slot->jpeg;
        area = slot->area;
    }
    bool ok = false;
    DecodedPicture picture;
    std::shared_ptr<const PreparedDraw> drawn;
    Orientation orientation = Orientation::Upright;
    try {
        // Fitted as the photo stands upright, as the window fits it; the decoder
        // sees the stored picture, so the size is turned back for it.
        const JpegHeader header = m_decoder.probe(jpeg);
        orientation = readExifOrientation(jpeg);
        const QSize fitted =
            FitAndCentrePicture(orientedSize(header.size, orientation), area).size();
        const int scale = JpegDecoder::drawScale(header.size, orientedSize(fitted, orientation));
        picture = m_decoder.decodeAt(jpeg, scale, [this, id](int) {
            const std::lock_guard lock(m_mutex);
            if (findLocked(id) == nullptr)
                throw Abandoned();
        });
        ok = true;
    } catch (const Abandoned &) {
        return;
    } catch (...) {
        // The caller decodes this photo itself and meets the failure there.
        picture = DecodedPicture();
    }
    // A photo to be turned is turned by the window, which then scales it too. Without
    // what the step makes, the window only does the work itself.
    const auto wanted = [this, id] {
        const std::lock_guard lock(m_mutex);
        return findLocked(id) != nullptr;
    };
    if (ok && m_drawStep && orientation == Orientation::Upright && wanted()) {
        try {
            drawn = m_drawStep(picture, area);
        } catch (...) {
            drawn.reset();
        }
    }
    {
        const std::lock_guard lock(m_mutex);
        Slot *slot = findLocked(id);
        if (slot == nullptr)
            return; // dropped while it was decoded
        slot->finished = true;
        slot->ok = ok;
        slot->picture = std::move(picture);
        slot->drawn = std::move(drawn);
    }
    m_finished.notify_all();
}

} // namespace pictavo
