#include "main/look_ahead_decoder.h"

#include "main/picture_fit.h"

#include <algorithm>
#include <chrono>

namespace pictavo {

namespace {

// Thrown by the progress callback to leave a decode nobody wants any more.
struct Abandoned
{
};

} // namespace

LookAheadDecoder::LookAheadDecoder(const JpegDecoder &decoder) : m_decoder(decoder) {}

LookAheadDecoder::~LookAheadDecoder()
{
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
        m_slots.clear();
    }
    m_wake.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
}

void LookAheadDecoder::prepare(const std::vector<QByteArray> &photos, QSize area)
{
    if (!m_enabled)
        return;
    {
        const std::lock_guard lock(m_mutex);
        std::vector<Slot> kept;
        for (const QByteArray &jpeg : photos) {
            if (jpeg.isEmpty())
                continue;
            if (kept.size() == m_maxAhead)
                break;
            // Already on its way (it was the photo after next a moment ago): its decode,
            // done or not, goes on being of use.
            const auto held = std::find_if(m_slots.begin(), m_slots.end(), [&](const Slot &slot) {
                return slot.area == area && slot.jpeg == jpeg;
            });
            if (held != m_slots.end()) {
                kept.push_back(std::move(*held));
                m_slots.erase(held);
            } else {
                Slot slot;
                slot.id = ++m_lastId;
                slot.jpeg = jpeg;
                slot.area = area;
                kept.push_back(std::move(slot));
            }
        }
        // The photos left behind are dropped: their workers stop at their next progress
        // step, finding their slots gone.
        m_slots = std::move(kept);
        while (m_workers.size() < m_slots.size())
            m_workers.emplace_back([this] { work(); });
    }
    m_wake.notify_all();
}

std::optional<DecodedPicture> LookAheadDecoder::take(const QByteArray &jpeg, QSize target)
{
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
        slot.picture.scaleEighths != JpegDecoder::chooseScale(slot.picture.fullSize, target))
        return std::nullopt;
    ++m_hits;
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

void LookAheadDecoder::work()
{
    const auto waiting = [this] {
        return std::find_if(m_slots.begin(), m_slots.end(),
                            [](const Slot &slot) { return !slot.started; });
    };
    for (;;) {
        quint64 id = 0;
        QByteArray jpeg;
        QSize area;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_quit || waiting() != m_slots.end(); });
            if (m_quit)
                return;
            // The nearest photo first: it is the one asked for soonest.
            Slot &slot = *waiting();
            slot.started = true;
            id = slot.id;
            jpeg = slot.jpeg;
            area = slot.area;
        }
        bool ok = false;
        DecodedPicture picture;
        try {
            const JpegHeader header = m_decoder.probe(jpeg);
            const QSize fitted = FitAndCentrePicture(header.size, area).size();
            picture = m_decoder.decode(jpeg, fitted, [this, id](int) {
                const std::lock_guard lock(m_mutex);
                if (findLocked(id) == nullptr)
                    throw Abandoned();
            });
            ok = true;
        } catch (const Abandoned &) {
            continue;
        } catch (...) {
            // The caller decodes this photo itself and meets the failure there.
            picture = DecodedPicture();
        }
        {
            const std::lock_guard lock(m_mutex);
            Slot *slot = findLocked(id);
            if (slot == nullptr)
                continue; // dropped while it was decoded
            slot->finished = true;
            slot->ok = ok;
            slot->picture = std::move(picture);
        }
        m_finished.notify_all();
    }
}

} // namespace pictavo
