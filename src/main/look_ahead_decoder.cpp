#include "main/look_ahead_decoder.h"

#include "main/picture_fit.h"

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
        m_wanted.store(0);
        m_job.reset();
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void LookAheadDecoder::prepare(const QByteArray &jpeg, QSize area)
{
    if (!m_enabled || jpeg.isEmpty())
        return;
    {
        const std::lock_guard lock(m_mutex);
        dropLocked();
        m_job = Job{m_generation, jpeg, area};
        m_wanted.store(m_generation);
        if (!m_worker.joinable())
            m_worker = std::thread([this] { work(); });
    }
    m_preparedJpeg = jpeg;
    m_wake.notify_one();
}

std::optional<DecodedPicture> LookAheadDecoder::take(const QByteArray &jpeg, QSize target)
{
    if (m_preparedJpeg.isNull())
        return std::nullopt;
    // Another photo than the one prepared: its decode is of no use, let it stop now.
    if (m_preparedJpeg != jpeg) {
        drop();
        return std::nullopt;
    }
    std::unique_lock lock(m_mutex);
    const quint64 id = m_generation;
    m_finished.wait(lock, [&] { return m_result && m_result->id == id; });
    Result result = std::move(*m_result);
    dropLocked();
    lock.unlock();
    m_preparedJpeg = QByteArray();
    if (!result.ok ||
        result.picture.scaleEighths != JpegDecoder::chooseScale(result.picture.fullSize, target))
        return std::nullopt;
    ++m_hits;
    return std::move(result.picture);
}

void LookAheadDecoder::drop()
{
    {
        const std::lock_guard lock(m_mutex);
        dropLocked();
    }
    m_preparedJpeg = QByteArray();
}

void LookAheadDecoder::dropLocked()
{
    ++m_generation;
    m_wanted.store(0);
    m_job.reset();
    m_result.reset();
}

void LookAheadDecoder::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (!enabled)
        drop();
}

void LookAheadDecoder::work()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_quit || m_job.has_value(); });
            if (m_quit)
                return;
            job = std::move(*m_job);
            m_job.reset();
        }
        Result result;
        result.id = job.id;
        try {
            const JpegHeader header = m_decoder.probe(job.jpeg);
            const QSize fitted = FitAndCentrePicture(header.size, job.area).size();
            result.picture = m_decoder.decode(job.jpeg, fitted, [this, &job](int) {
                if (m_wanted.load() != job.id)
                    throw Abandoned();
            });
            result.ok = true;
        } catch (const Abandoned &) {
            continue;
        } catch (...) {
            // The caller decodes this photo itself and meets the failure there.
            result.picture = DecodedPicture();
        }
        {
            const std::lock_guard lock(m_mutex);
            if (job.id != m_generation)
                continue; // dropped while it was decoded
            m_result = std::move(result);
        }
        m_finished.notify_all();
    }
}

} // namespace pictavo
