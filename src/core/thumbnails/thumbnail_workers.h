#pragma once

#include "picture/decode_pool.h"
#include "thumbnails/thumbnail_work.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace pictavo {

// Hands thumbnail orders to the decoding pool as background work, and their results back
// to the thread that posted them (the one that owns the database), which takes them when
// it likes, or waits for them in waitForResults().
class ThumbnailWorkers
{
public:
    explicit ThumbnailWorkers(DecodePool &pool = DecodePool::shared());
    // Drops the queued orders and waits for those under way.
    ~ThumbnailWorkers();
    ThumbnailWorkers(const ThumbnailWorkers &) = delete;
    ThumbnailWorkers &operator=(const ThumbnailWorkers &) = delete;

    void post(ThumbnailOrder order);
    // Posted and not yet taken.
    int inFlight() const { return m_inFlight; }
    int workerCount() const { return m_pool.workerCount(); }
    // The results ready now, in the order they were finished.
    std::vector<ThumbnailResult> take();
    // Waits for at least one result, when any is in flight, and takes them.
    std::vector<ThumbnailResult> waitForResults();

private:
    DecodePool &m_pool;
    JpegDecoder m_decoder;
    int m_inFlight = 0; // the posting thread's own count
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<ThumbnailResult> m_results;
    std::deque<ThumbnailOrder> m_spent; // done with, to be let go of by the posting thread
};

} // namespace pictavo
