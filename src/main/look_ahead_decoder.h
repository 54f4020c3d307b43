#pragma once

#include "main/decoded_picture.h"
#include "main/jpeg_decoder.h"

#include <QByteArray>
#include <QSize>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace pictavo {

// Decodes the photo that is likely to be shown next on a worker thread, one photo ahead,
// while the current one is on screen. The worker only ever sees bytes it was handed: the
// caller reads them from the database on its own thread. A photo prepared and then not
// asked for is dropped, its decode abandoned part-way.
//
// What the user sees does not change: a prepared decode is handed out only for the very
// bytes it was made from and only when it ran at the DCT scale that a direct decode for
// the requested size would choose, so its pixels are those of the direct decode.
class LookAheadDecoder
{
public:
    explicit LookAheadDecoder(const JpegDecoder &decoder = JpegDecoder());
    ~LookAheadDecoder();
    LookAheadDecoder(const LookAheadDecoder &) = delete;
    LookAheadDecoder &operator=(const LookAheadDecoder &) = delete;

    // Starts decoding `jpeg` as it will be drawn fitted and centred in `area`. Drops the
    // photo prepared before, decoded or not. Does nothing while disabled or for no bytes.
    void prepare(const QByteArray &jpeg, QSize area);

    // The prepared decode of exactly these bytes, when it covers `target` as a direct
    // decode would (same DCT scale); waits for the worker if it is still decoding. Empty
    // when nothing fitting was prepared or the worker's decode failed (the caller then
    // decodes itself and meets the failure there). The prepared photo is let go either way.
    std::optional<DecodedPicture> take(const QByteArray &jpeg, QSize target);

    // Lets go of the prepared photo; a decode under way stops at its next progress step.
    void drop();

    // Off, prepare() does nothing and take() finds nothing: every decode is direct.
    void setEnabled(bool enabled);
    bool enabled() const { return m_enabled; }

    // Decodes handed out by take(); for tests and benchmarks.
    int hits() const { return m_hits; }

private:
    struct Job
    {
        quint64 id = 0;
        QByteArray jpeg;
        QSize area;
    };
    struct Result
    {
        quint64 id = 0;
        bool ok = false;
        DecodedPicture picture;
    };

    void work();
    void dropLocked();

    JpegDecoder m_decoder;
    bool m_enabled = true;
    int m_hits = 0;

    // The caller's thread only.
    QByteArray m_preparedJpeg;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_finished;
    quint64 m_generation = 0; // id of the photo prepared last; 0 for none
    std::optional<Job> m_job; // waiting for the worker
    std::optional<Result> m_result;
    bool m_quit = false;
    // The id the worker may go on decoding; read by its progress callback without the lock.
    std::atomic<quint64> m_wanted{0};
    std::thread m_worker; // started on the first prepare
};

} // namespace pictavo
