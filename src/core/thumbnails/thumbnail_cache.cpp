#include "thumbnails/thumbnail_cache.h"

#include "base/error.h"
#include "db/dataset.h"

#include <QElapsedTimer>
#include <QSet>

#include <algorithm>

namespace pictavo {
namespace {

// How long the album must be left alone before photos are read again.
constexpr int kAlbumQuietMs = 500;
// How long the screen must stay on the same records before their photos are checked.
constexpr int kScreenQuietMs = 250;
// Cheap steps (lookups in thumbs.db) run for at most this long in one turn of the loop.
constexpr int kSliceMs = 2;
// Records remembered beyond those on screen.
constexpr qsizetype kKnownLimit = 600;
// Records of the sweep looked up in one step.
constexpr int kSweepLookups = 200;
// While work is under way its results are looked for this often. The workers only touch
// their own queue: nothing of Qt's crosses the threads.
constexpr int kPollMs = 3;

} // namespace

ThumbnailCache::ThumbnailCache(DecodePool &pool, QObject *parent) : QObject(parent), m_pool(pool)
{
    m_timer.setObjectName(QStringLiteral("timerThumbnailWork"));
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ThumbnailCache::pump);
    m_directory = QStringLiteral("-"); // so that the call below sets everything up
    setLibrary(QString(), false);
}

ThumbnailCache::~ThumbnailCache()
{
    // What is under way is finished and kept (the import's thumbnails among it); nothing
    // is drawn any more.
    disconnect(this, &ThumbnailCache::thumbnailChanged, nullptr, nullptr);
    while (m_workers->inFlight() > 0)
        for (ThumbnailResult &result : m_workers->waitForResults())
            apply(std::move(result));
    m_workers.reset();
    m_store.close();
}

void ThumbnailCache::setLibrary(const QString &directory, bool writable)
{
    if (directory == m_directory && writable == m_writable)
        return;
    // Work under way is of the library before: waited for and dropped.
    m_workers.reset();
    m_workers = std::make_unique<ThumbnailWorkers>(m_pool);
    m_directory = directory;
    m_writable = writable;
    m_store.open(directory, writable);
    m_known.clear();
    m_checked.clear();
    m_wanted.clear();
    m_sweep = nullptr;
}

void ThumbnailCache::follow(const DataSet &album)
{
    if (album.active())
        setLibrary(album.databaseName(), !album.libraryReadOnly());
    else
        setLibrary(QString(), false);
}

ThumbnailCache::State ThumbnailCache::state(qint64 key, qint64 photoSize) const
{
    if (photoSize <= 0)
        return State::NoPhoto;
    const auto known = m_known.constFind(key);
    if (known == m_known.constEnd() || known->photoSize != photoSize)
        return State::Waiting;
    return known->state;
}

const DecodedPicture *ThumbnailCache::picture(qint64 key) const
{
    const auto known = m_known.constFind(key);
    return known != m_known.constEnd() && known->state == State::Shown ? &known->shown : nullptr;
}

void ThumbnailCache::setWanted(std::vector<ThumbnailRequest> requests)
{
    const bool same = std::equal(requests.begin(), requests.end(), m_wanted.begin(), m_wanted.end(),
                                 [](const ThumbnailRequest &a, const ThumbnailRequest &b) {
                                     return a.key == b.key && a.photoSize == b.photoSize;
                                 });
    if (!same)
        m_screenQuiet.setRemainingTime(kScreenQuietMs);
    m_wanted = std::move(requests);
    // At once, not when a wait for a still album ends: the screen is loaded meanwhile.
    m_timer.start(0);
}

void ThumbnailCache::setSweep(std::function<std::optional<ThumbnailRequest>()> next)
{
    m_sweep = std::move(next);
    m_timer.start(0);
}

void ThumbnailCache::holdOff()
{
    m_albumQuiet.setRemainingTime(kAlbumQuietMs);
}

void ThumbnailCache::photoStored(qint64 key, const QByteArray &photo, const DecodedPicture &upright)
{
    // Without an event loop (the command-line tool) this is where results are kept.
    for (ThumbnailResult &result : m_workers->take())
        apply(std::move(result));
    Known &known = m_known[key];
    known = Known();
    known.photoSize = photo.size();
    known.inFlight = true;
    ThumbnailOrder order;
    order.kind = ThumbnailOrder::FromDecode;
    order.key = key;
    order.bytes = photo;
    order.decoded = upright;
    order.listedSize = photo.size();
    order.wantShown = true;
    m_workers->post(std::move(order));
    if (!m_timer.isActive())
        m_timer.start(kPollMs);
}

void ThumbnailCache::forgetTransient()
{
    m_known.removeIf([](const auto &it) { return it.key() < 0; });
    m_checked.removeIf([](const auto &it) { return it.key() < 0; });
}

void ThumbnailCache::recheck(qint64 key)
{
    const auto checked = m_checked.constFind(key);
    const auto known = m_known.find(key);
    if (checked == m_checked.constEnd() || known == m_known.end() || known->unchecked)
        return;
    known->unchecked = PhotoCheck{known->photoSize, *checked};
    m_checked.erase(checked);
}

bool ThumbnailCache::idle() const
{
    return m_workers->inFlight() == 0 && !m_timer.isActive();
}

bool ThumbnailCache::quiet(bool screenToo) const
{
    return m_albumQuiet.hasExpired() && (!screenToo || m_screenQuiet.hasExpired());
}

ThumbnailCache::Known &ThumbnailCache::knownFor(const ThumbnailRequest &request)
{
    Known &known = m_known[request.key];
    if (known.photoSize != request.photoSize) {
        known = Known();
        known.photoSize = request.photoSize;
    }
    return known;
}

void ThumbnailCache::pump()
{
    for (ThumbnailResult &result : m_workers->take())
        apply(std::move(result));
    QElapsedTimer clock;
    clock.start();
    Step last = Step::Done;
    while (last == Step::Done && clock.elapsed() < kSliceMs)
        last = step();
    switch (last) {
    case Step::Done:
    case Step::Read:
        m_timer.start(0);
        break;
    case Step::Later: {
        const qint64 quietIn = std::max<qint64>(
            5, std::max(m_albumQuiet.remainingTime(), m_screenQuiet.remainingTime()));
        m_timer.start(
            int(m_workers->inFlight() > 0 ? std::min<qint64>(quietIn, kPollMs) : quietIn));
        break;
    }
    case Step::Full:
        m_timer.start(kPollMs);
        break;
    case Step::Nothing:
        if (m_workers->inFlight() > 0)
            m_timer.start(kPollMs);
        else
            m_store.flush();
        break;
    }
    trim();
}

ThumbnailCache::Step ThumbnailCache::step()
{
    // Enough to keep every worker busy between two looks at the results.
    if (m_workers->inFlight() >= 4 * m_workers->workerCount())
        return Step::Full;
    bool waitsForQuiet = false;
    if (const Step wanted = stepWanted(waitsForQuiet); wanted != Step::Nothing)
        return wanted;
    if (waitsForQuiet || !quiet(true))
        return Step::Later;
    if (const Step check = stepCheck(); check != Step::Nothing)
        return check;
    return stepSweep();
}

ThumbnailCache::Step ThumbnailCache::stepWanted(bool &waitsForQuiet)
{
    for (const ThumbnailRequest &request : m_wanted) {
        if (request.photoSize <= 0)
            continue;
        Known &known = knownFor(request);
        if (known.inFlight || known.state != State::Waiting)
            continue;
        if (loadStored(request, known))
            return Step::Done;
        if (!quiet(false)) {
            waitsForQuiet = true;
            continue;
        }
        if (post(request, ThumbnailOrder::Make, true))
            return Step::Read;
    }
    return Step::Nothing;
}

ThumbnailCache::Step ThumbnailCache::stepCheck()
{
    for (const ThumbnailRequest &request : m_wanted) {
        const auto known = m_known.constFind(request.key);
        if (known == m_known.constEnd() || known->inFlight || !known->unchecked ||
            known->photoSize != request.photoSize)
            continue;
        if (post(request, ThumbnailOrder::Check, true, *known->unchecked))
            return Step::Read;
    }
    return Step::Nothing;
}

ThumbnailCache::Step ThumbnailCache::stepSweep()
{
    if (!m_sweep || !m_store.onDisk())
        return Step::Nothing;
    for (int looked = 0; looked < kSweepLookups; ++looked) {
        const std::optional<ThumbnailRequest> next = m_sweep();
        if (!next) {
            m_sweep = nullptr;
            return Step::Nothing;
        }
        if (next->key < 0 || next->photoSize <= 0)
            continue;
        const auto known = m_known.constFind(next->key);
        if (known != m_known.constEnd() && known->photoSize == next->photoSize &&
            (known->inFlight || known->state != State::Waiting))
            continue;
        const std::optional<StoredThumbnail> stored = m_store.find(next->key);
        if (stored && stored->check.size == next->photoSize)
            continue;
        if (post(*next, ThumbnailOrder::Make, false))
            return Step::Read;
    }
    return Step::Done;
}

bool ThumbnailCache::loadStored(const ThumbnailRequest &request, Known &known)
{
    if (request.key < 0 || known.storedUnreadable)
        return false;
    const std::optional<StoredThumbnail> stored = m_store.find(request.key);
    if (!stored || stored->check.size != request.photoSize)
        return false;
    const auto checked = m_checked.constFind(request.key);
    if (checked == m_checked.constEnd() || *checked != stored->check.hash)
        known.unchecked = stored->check;
    if (stored->jpeg.isEmpty()) {
        known.state = State::Failed;
        emit thumbnailChanged(request.key);
        return true;
    }
    ThumbnailOrder order;
    order.kind = ThumbnailOrder::Show;
    order.key = request.key;
    order.bytes = stored->jpeg;
    order.known = stored->check;
    order.listedSize = request.photoSize;
    m_workers->post(std::move(order));
    known.inFlight = true;
    return true;
}

bool ThumbnailCache::post(const ThumbnailRequest &request, ThumbnailOrder::Kind kind,
                          bool wantShown, const PhotoCheck &known)
{
    if (!request.readPhoto)
        return false;
    const auto entry = m_known.find(request.key);
    QByteArray photo;
    try {
        photo = request.readPhoto();
    } catch (const Error &) {
        // A photo the engine cannot read gets the mark of one that cannot be decoded.
        if (entry != m_known.end() && entry->photoSize == request.photoSize) {
            entry->state = State::Failed;
            entry->unchecked.reset();
            emit thumbnailChanged(request.key);
        }
        return false;
    }
    if (photo.isEmpty())
        return false;
    ThumbnailOrder order;
    order.kind = kind;
    order.key = request.key;
    order.bytes = std::move(photo);
    order.known = known;
    order.listedSize = request.photoSize;
    order.wantShown = wantShown;
    m_workers->post(std::move(order));
    if (entry != m_known.end())
        entry->inFlight = true;
    return true;
}

void ThumbnailCache::apply(ThumbnailResult result)
{
    const qint64 key = result.key;
    const auto entry = m_known.find(key);
    Known *known = entry != m_known.end() ? &*entry : nullptr;
    if (known)
        known->inFlight = false;
    // The result is of the photo the record still lists (its length as the record gave it,
    // which a photo stored oddly by another program may not have).
    const bool current = known && known->photoSize == result.listedSize;
    switch (result.outcome) {
    case ThumbnailResult::Yielded:
        break; // asked for again by the next step
    case ThumbnailResult::Unreadable:
        if (known) {
            known->storedUnreadable = true;
            known->unchecked.reset();
        }
        break;
    case ThumbnailResult::Shown:
        if (current) {
            known->shown = std::move(result.shown);
            known->state = State::Shown;
            emit thumbnailChanged(key);
        }
        break;
    case ThumbnailResult::Unchanged:
        m_checked.insert(key, result.check.hash);
        if (current)
            known->unchecked.reset();
        break;
    case ThumbnailResult::Made:
    case ThumbnailResult::Failed:
        if (key >= 0)
            m_store.put(key, {result.check, result.jpeg});
        m_checked.insert(key, result.check.hash);
        if (!current)
            break;
        known->unchecked.reset();
        known->storedUnreadable = false;
        if (result.outcome == ThumbnailResult::Failed) {
            known->shown = DecodedPicture();
            known->state = State::Failed;
            emit thumbnailChanged(key);
        } else if (!result.shown.isNull()) {
            known->shown = std::move(result.shown);
            known->state = State::Shown;
            emit thumbnailChanged(key);
        }
        break;
    }
}

void ThumbnailCache::trim()
{
    if (m_known.size() <= kKnownLimit)
        return;
    QSet<qint64> wanted;
    for (const ThumbnailRequest &request : m_wanted)
        wanted.insert(request.key);
    m_known.removeIf([&](const auto &it) { return !it->inFlight && !wanted.contains(it.key()); });
}

} // namespace pictavo
