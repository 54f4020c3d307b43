#pragma once

#include "thumbnails/thumbnail_store.h"
#include "thumbnails/thumbnail_workers.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

namespace pictavo {

class DataSet;

// A record whose thumbnail is asked for.
struct ThumbnailRequest
{
    // The record's SERIAL; below 0 for a record of a set without one, whose thumbnail is
    // only kept in memory.
    qint64 key = 0;
    // The photo's length in bytes; 0 for a record without a photo.
    qint64 photoSize = 0;
    // Reads the photo, on the cache's thread; empty when the record is no longer where the
    // request found it.
    std::function<QByteArray()> readPhoto;
};

// The thumbnails of the open library as the window draws them. Nothing here waits: what
// is not known yet is loaded from thumbs.db or made from the photo by the decoding
// workers, a little at a time from the event loop, and thumbnailChanged() tells when it is
// there. The records on screen come first; thumbnails from the file are checked against
// their photos; and no photo is read while the album is busy (a move, an import, a
// slideshow), so the windows that show photos never wait for thumbnails.
class ThumbnailCache : public QObject
{
    Q_OBJECT

public:
    enum class State
    {
        Waiting, // not known yet
        NoPhoto,
        Shown,  // picture() has it
        Failed, // the photo cannot be decoded (or read)
    };

    explicit ThumbnailCache(DecodePool &pool = DecodePool::shared(), QObject *parent = nullptr);
    ~ThumbnailCache() override;

    // The library whose records the keys are; another one drops everything known.
    void setLibrary(const QString &directory, bool writable);
    // The library the album is open on (none while it is closed), written to only when
    // it can be.
    void follow(const DataSet &album);
    const ThumbnailStore &store() const { return m_store; }

    State state(qint64 key, qint64 photoSize) const;
    // The picture drawn for a Shown record, at most kShownThumbnailSide a side.
    const DecodedPicture *picture(qint64 key) const;

    // The records on screen, most wanted first. Replaces the list before.
    void setWanted(std::vector<ThumbnailRequest> requests);
    // Once the screen is done, each call gives another record of the set whose thumbnail
    // may be missing (none: the sweep is over). Only for a library thumbs.db can be written.
    void setSweep(std::function<std::optional<ThumbnailRequest>()> next);
    // The album is busy: no photo is read for a moment.
    void holdOff();
    // A photo the import stored under `key`, with the upright decode it made of it.
    void photoStored(qint64 key, const QByteArray &photo, const DecodedPicture &upright);
    // Forgets the records without a SERIAL: their rows have moved.
    void forgetTransient();
    // The record was written: its photo is checked again, once the album is still, and
    // its thumbnail made anew if the photo is another one now.
    void recheck(qint64 key);
    // Nothing queued, under way, or waiting for the album to be still.
    bool idle() const;

signals:
    void thumbnailChanged(qint64 key);

private:
    struct Known
    {
        qint64 photoSize = -1;
        State state = State::Waiting;
        DecodedPicture shown;
        bool inFlight = false;
        // Taken from thumbs.db and not yet checked against the photo: what it was made of.
        std::optional<PhotoCheck> unchecked;
        bool storedUnreadable = false;
    };
    enum class Step
    {
        Done,    // did something cheap; go on
        Read,    // read a photo: enough for this turn of the event loop
        Full,    // enough under way
        Later,   // waits for the album or the screen to be still
        Nothing, // nothing to do
    };

    Known &knownFor(const ThumbnailRequest &request);
    Step step();
    Step stepWanted(bool &waitsForQuiet);
    Step stepCheck();
    Step stepSweep();
    // Posts a Show of the stored thumbnail when there is one; false when it must be made.
    bool loadStored(const ThumbnailRequest &request, Known &known);
    bool post(const ThumbnailRequest &request, ThumbnailOrder::Kind kind, bool wantShown,
              const PhotoCheck &known = {});
    void pump();
    void apply(ThumbnailResult result);
    void trim();
    bool quiet(bool screenToo) const;

    QString m_directory;
    bool m_writable = false;
    ThumbnailStore m_store;
    std::unique_ptr<ThumbnailWorkers> m_workers;
    DecodePool &m_pool;
    QHash<qint64, Known> m_known;
    // The hash each record's photo had when it was last checked here.
    QHash<qint64, quint64> m_checked;
    std::vector<ThumbnailRequest> m_wanted;
    std::function<std::optional<ThumbnailRequest>()> m_sweep;
    QDeadlineTimer m_albumQuiet;
    QDeadlineTimer m_screenQuiet;
    QTimer m_timer;
};

} // namespace pictavo
