#pragma once

#include "picture/decode_pool.h"
#include "picture/decoded_picture.h"
#include "picture/jpeg_decoder.h"

#include <QByteArray>
#include <QSize>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace pictavo {

// What the drawing layer makes of a decode ahead of time, on the worker that decoded it
// (the picture scaled to the size it will be drawn at, say), so that the thread that
// draws has less to do.
class PreparedDraw
{
public:
    virtual ~PreparedDraw() = default;
};

// Runs on a worker right after a decode for `area`, with the upright decode; may return
// null. It must use only what it is handed and must not throw.
using DrawStep =
    std::function<std::shared_ptr<const PreparedDraw>(const DecodedPicture &picture, QSize area)>;

// Decodes the photos that are likely to be shown next on worker threads while the current
// one is on screen: up to kMaxAhead photos, each an urgent job of the decoding pool, so
// that they decode side by side and before any thumbnail. The workers only ever see bytes
// they were handed: the caller reads them from the database on its own thread. A photo
// prepared and then not asked for is dropped, its decode called off part-way.
//
// What the user sees does not change: a prepared decode is handed out only for the very
// bytes it was made from and only when it ran at the DCT scale that a direct decode for
// the requested size would choose (JpegDecoder::drawScale), so its pixels are those of the
// direct decode.
class LookAheadDecoder
{
public:
    // Photos held at once, decoded or under way; memory stays at this many decodes.
    static constexpr int kMaxAhead = DecodePool::kMaxAhead;

    explicit LookAheadDecoder(const JpegDecoder &decoder = JpegDecoder(),
                              DecodePool &pool = DecodePool::shared());
    ~LookAheadDecoder();
    LookAheadDecoder(const LookAheadDecoder &) = delete;
    LookAheadDecoder &operator=(const LookAheadDecoder &) = delete;

    // Starts decoding `photos`, the next ones in the order they will be asked for (the
    // first kMaxAhead; empty ones are passed over), as each will be drawn fitted and
    // centred in `area`. A photo already prepared with the same bytes for the same area
    // keeps its decode, finished or under way; every other prepared photo is dropped.
    // Does nothing while disabled.
    void prepare(const std::vector<QByteArray> &photos, QSize area);
    void prepare(const QByteArray &jpeg, QSize area) { prepare(std::vector{jpeg}, area); }
    // The same for records named by `keys` (a number that stays with its record, such
    // as its serial; -1 for none), whose bytes `read(i)` gives for keys[i]. A photo
    // already prepared under its key for this area is kept without reading it again;
    // take() still compares its bytes with those asked for, so a record whose photo
    // changed meanwhile is decoded afresh. `read` is called on this thread, with no lock
    // held; what it throws is passed on.
    void prepare(const std::vector<qint64> &keys, QSize area,
                 const std::function<QByteArray(size_t)> &read);

    // The prepared decode of exactly these bytes, when it covers `target` as a direct
    // decode would (same DCT scale); waits for its worker if it is still decoding. Empty
    // when nothing fitting was prepared or the worker's decode failed (the caller then
    // decodes itself and meets the failure there). The photo asked for, and those
    // prepared to come before it, are let go either way; asking for a photo that was not
    // prepared leaves the prepared ones to the next prepare() or drop().
    // With `drawn`, what the draw step made of that decode is handed over there too
    // (null when there is none).
    std::optional<DecodedPicture> take(const QByteArray &jpeg, QSize target,
                                       std::shared_ptr<const PreparedDraw> *drawn = nullptr);

    // Each prepared decode is handed to `step` on its worker. Set it before the first
    // prepare().
    void setDrawStep(DrawStep step) { m_drawStep = std::move(step); }

    // Lets go of every prepared photo; a decode under way stops at its next progress step.
    void drop();

    // Off, prepare() does nothing and take() finds nothing: every decode is direct.
    void setEnabled(bool enabled);
    bool enabled() const { return m_enabled; }

    // Holds at most this many photos (1 to kMaxAhead, kMaxAhead at first); later photos
    // handed to prepare() are passed over. For benchmarks, to set one worker against two.
    void setMaxAhead(int photos);

    // Decodes handed out by take(); for tests and benchmarks.
    int hits() const { return m_hits; }
    // Decodes handed out by take() with what the draw step made of them; for tests.
    int drawnHits() const { return m_drawnHits; }
    // Time take() spent waiting for a worker to finish, in milliseconds; for benchmarks.
    double waitedMs() const { return m_waitedMs; }
    // Photos held now, decoded or under way; for tests.
    int preparedCount() const { return int(m_slots.size()); }

private:
    // A photo for prepare(): its bytes, or none when the slot held under `key` is kept.
    struct Upcoming
    {
        qint64 key = -1;
        QByteArray jpeg;
    };

    // What a worker made of a photo; not ok when its decode failed or was called off.
    struct Decoded
    {
        bool ok = false;
        DecodedPicture picture;
        std::shared_ptr<const PreparedDraw> drawn;
    };

    struct Slot
    {
        qint64 key = -1;
        QByteArray jpeg;
        QSize area;
        DecodePool::Task<Decoded> task;
    };

    void place(std::vector<Upcoming> upcoming, QSize area);
    // Calls off the decodes of these slots and lets go of them.
    void dropSlots(std::vector<Slot>::iterator first, std::vector<Slot>::iterator last);
    // A pool job: decodes the photo for `area` unless it is called off meanwhile.
    Decoded decode(const QByteArray &jpeg, QSize area, const DecodePool::Control &control) const;

    JpegDecoder m_decoder;
    DecodePool &m_pool;
    DrawStep m_drawStep;
    bool m_enabled = true;
    size_t m_maxAhead = kMaxAhead;
    int m_hits = 0;
    int m_drawnHits = 0;
    double m_waitedMs = 0;

    // In the order they will be asked for; only the caller's thread touches them.
    std::vector<Slot> m_slots;
};

} // namespace pictavo
