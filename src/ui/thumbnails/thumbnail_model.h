#pragma once

#include "db/dataset.h"
#include "thumbnails/thumbnail_cache.h"

#include <QAbstractListModel>
#include <QHash>
#include <QImage>

namespace pictavo {

// The thumbnail window's view of the Album Query: one item per record, in the set's
// order, showing its photo small and its NAME. It follows every change of the query as it
// is told of it, and asks the cache only for the records on screen (setVisibleRows), so a
// set of 100,000 records costs nothing until it is scrolled to.
class ThumbnailModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role
    {
        StateRole = Qt::UserRole + 1, // ThumbnailCache::State as an int
        CurrentRole,                  // the Album Query's current record
    };

    ThumbnailModel(DataSet &album, ThumbnailCache &cache, QObject *parent = nullptr);
    ~ThumbnailModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Rows are being inserted, removed or reset: a view's current row that moves now
    // follows the Album Query, it is no choice of the user's.
    bool changingRows() const { return m_changingRows; }

    // The rows on screen (first > last: none, as for a hidden window). Their thumbnails are
    // loaded first, then the next screen's, then the missing ones of the rest of the set.
    void setVisibleRows(int first, int last);

signals:
    // The Album Query moved to another record (row -1: none), or its rows changed.
    void currentRowChanged(int row);

private:
    void albumChanged(const DataSet::Change &change);
    // The rows left where they were: what was asked for them is asked again.
    void rowsMoved();
    ThumbnailRequest requestFor(int row) const;
    void thumbnailChanged(qint64 key);
    QImage imageFor(qint64 key) const;

    DataSet &m_album;
    ThumbnailCache &m_cache;
    int m_listener = 0;
    int m_serialField = -1;
    int m_imageField = -1;
    int m_nameField = -1;
    int m_currentRow = -1;
    bool m_changingRows = false;
    bool m_listed = false; // every record of the set has been listed since it opened
    int m_firstVisible = 0;
    int m_lastVisible = -1;
    // The records on screen, by key, to repaint one whose thumbnail came.
    QHash<qint64, int> m_visibleRows;
    mutable QHash<qint64, QImage> m_images;
};

} // namespace pictavo
