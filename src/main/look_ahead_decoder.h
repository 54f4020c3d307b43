#pragma once

#include "main/decoded_picture.h"
#include "main/jpeg_decoder.h"

#include <QByteArray>
#include <QSize>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace pictavo {

// Decodes the photos that are likely to be shown next on worker threads while the current
// one is on screen: up to kMaxAhead photos, each on a worker of its own, so that two
// decodes run side by side on two cores. The workers only ever see bytes they were
// handed: the caller reads them from the database on its own thread. A photo prepared
// and then not asked for is dropped, its decode abandoned part-way.
//
// What the user sees does not change: a prepared decode is handed out only for the very
// bytes it was made from and only when it ran at the DCT scale that a direct decode for
// the requested size would choose, so its pixels are those of the direct decode.
class LookAheadDecoder
{
public:
    // Photos held at once, decoded or under way; memory stays at this many decodes.
    static constexpr int kMaxAhead = 2;

    explicit LookAheadDecoder(const JpegDecoder &decoder = JpegDecoder());
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

    // The prepared decode of exactly these bytes, when it covers `target` as a direct
    // decode would (same DCT scale); waits for its worker if it is still decoding. Empty
    // when nothing fitting was prepared or the worker's decode failed (the caller then
    // decodes itself and meets the failure there). The photo asked for, and those
    // prepared to come before it, are let go either way; asking for a photo that was not
    // prepared leaves the prepared ones to the next prepare() or drop().
    std::optional<DecodedPicture> take(const QByteArray &jpeg, QSize target);

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
    // Time take() spent waiting for a worker to finish, in milliseconds; for benchmarks.
    double waitedMs() const { return m_waitedMs; }
    // Photos held now, decoded or under way; for tests.
    int preparedCount();

private:
    struct Slot
    {
        quint64 id = 0;
        QByteArray jpeg;
        QSize area;
        bool started = false;
        bool finished = false;
        bool ok = false;
        DecodedPicture picture;
    };

    void work();
    // Under the lock.
    Slot *findLocked(quint64 id);

    JpegDecoder m_decoder;
    bool m_enabled = true;
    size_t m_maxAhead = kMaxAhead;
    int m_hits = 0;
    double m_waitedMs = 0;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_finished;
    quint64 m_lastId = 0;
    // In the order they will be asked for. Only the caller adds and removes slots; a
    // worker marks its own and fills in its result.
    std::vector<Slot> m_slots;
    bool m_quit = false;
    std::vector<std::thread> m_workers; // started as photos are prepared, kMaxAhead at most
};

} // namespace pictavo
