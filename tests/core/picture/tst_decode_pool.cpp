#include "picture/decode_pool.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

using namespace pictavo;

// The decoding pool: urgent work overtakes background work, a background job that runs
// is asked to give way, and a withdrawn owner's jobs neither run nor outlive it.
class TestDecodePool : public QObject
{
    Q_OBJECT

private slots:
    void urgentOvertakesBackground();
    void withdrawDropsQueuedAndWaitsForRunning();
    void withdrawCallsOffSubmitted();
};

void TestDecodePool::urgentOvertakesBackground()
{
    DecodePool pool(1);
    std::mutex mutex;
    std::vector<QString> order;
    const auto log = [&](const QString &what) {
        const std::lock_guard lock(mutex);
        order.push_back(what);
    };
    std::atomic<bool> started = false;
    const int owner = 0;
    // The first background job runs until it is asked to give way, as a decode does.
    pool.post(&owner, DecodePool::Priority::Background, [&] {
        started = true;
        while (!pool.yieldRequested())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        log("background gave way");
    });
    while (!started)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    QVERIFY(!pool.yieldRequested());
    pool.post(&owner, DecodePool::Priority::Background, [&] { log("background 2"); });
    pool.post(&owner, DecodePool::Priority::Urgent, [&] { log("urgent"); });
    const auto done = [&] {
        const std::lock_guard lock(mutex);
        return order.size() == 3;
    };
    QTRY_VERIFY(done());
    pool.withdraw(&owner);
    QCOMPARE(order, (std::vector<QString>{"background gave way", "urgent", "background 2"}));
    QVERIFY(!pool.yieldRequested());
}

void TestDecodePool::withdrawDropsQueuedAndWaitsForRunning()
{
    DecodePool pool(2);
    std::atomic<int> ran = 0;
    std::atomic<bool> release = false;
    const int mine = 0, other = 0;
    for (int i = 0; i < 2; ++i)
        pool.post(&other, DecodePool::Priority::Urgent, [&] {
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    for (int i = 0; i < 5; ++i)
        pool.post(&mine, DecodePool::Priority::Background, [&] { ++ran; });
    pool.withdraw(&mine); // both workers are busy: nothing of mine has started
    release = true;
    pool.withdraw(&other);
    QCOMPARE(ran.load(), 0);
}

// A submitted job that runs is called off (it would never end otherwise); one still queued
// never runs and leaves its result broken.
void TestDecodePool::withdrawCallsOffSubmitted()
{
    DecodePool pool(1);
    const int owner = 0;
    const auto spin = [](DecodePool::Control &control) {
        for (;;) {
            control.setProgress(1);
            control.throwIfCancelled();
        }
        return 0;
    };
    auto running = pool.submit<int>(&owner, DecodePool::Priority::Urgent, spin);
    auto queued = pool.submit<int>(&owner, DecodePool::Priority::Urgent, spin);
    QTRY_VERIFY(running.control->progress() > 0);
    pool.withdraw(&owner);
    QVERIFY_THROWS_EXCEPTION(DecodePool::Cancelled, running.result.get());
    QVERIFY_THROWS_EXCEPTION(std::future_error, queued.result.get());
}

QTEST_GUILESS_MAIN(TestDecodePool)
#include "tst_decode_pool.moc"
