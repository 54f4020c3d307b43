#include "thumbnails/thumbnail_model.h"

#include <QScopedValueRollback>
#include <QSize>

namespace pictavo {

ThumbnailModel::ThumbnailModel(DataSet &album, ThumbnailCache &cache, QObject *parent)
    : QAbstractListModel(parent), m_album(album), m_cache(cache)
{
    m_listener =
        m_album.addListener([this](const DataSet::Change &change) { albumChanged(change); });
    connect(&m_cache, &ThumbnailCache::thumbnailChanged, this, &ThumbnailModel::thumbnailChanged);
    albumChanged({DataSet::Change::Reset, -1});
}

ThumbnailModel::~ThumbnailModel()
{
    m_album.removeListener(m_listener);
    m_cache.setWanted({});
    m_cache.setSweep(nullptr);
}

int ThumbnailModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_album.viewRowCount();
}

QVariant ThumbnailModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_album.active())
        return QVariant();
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole:
        return m_album.valueAt(row, m_nameField);
    case CurrentRole:
        return row == m_album.recNo();
    case StateRole:
    case Qt::DecorationRole: {
        const ThumbnailRequest request = requestFor(row);
        const ThumbnailCache::State state = m_cache.state(request.key, request.photoSize);
        if (role == StateRole)
            return int(state);
        return state == ThumbnailCache::State::Shown ? QVariant(imageFor(request.key)) : QVariant();
    }
    default:
        return QVariant();
    }
}

QImage ThumbnailModel::imageFor(qint64 key) const
{
    if (const auto made = m_images.constFind(key); made != m_images.constEnd())
        return *made;
    const DecodedPicture *picture = m_cache.picture(key);
    if (picture == nullptr || picture->isNull())
        return QImage();
    const QImage image =
        QImage(reinterpret_cast<const uchar *>(picture->pixels.constData()), picture->size.width(),
               picture->size.height(), picture->bytesPerLine, QImage::Format_RGB32)
            .copy();
    m_images.insert(key, image);
    return image;
}

ThumbnailRequest ThumbnailModel::requestFor(int row) const
{
    ThumbnailRequest request;
    // A record being appended has no photo to read yet: it waits for its post.
    if (m_album.state() == DataSet::State::Insert && row == m_album.recNo()) {
        request.key = -1 - row;
        request.photoSize = 1;
        return request;
    }
    const QVariant serial = m_album.valueAt(row, m_serialField);
    const QVariant size = m_album.valueAt(row, m_imageField);
    request.key = serial.isNull() ? -1 - row : serial.toLongLong();
    request.photoSize = size.isNull() ? 0 : size.toLongLong();
    DataSet *album = &m_album;
    const int serialField = m_serialField;
    request.readPhoto = [album, row, serialField, key = request.key]() {
        // The rows may have moved since: only the record asked for is read.
        if (!album->active() || row >= album->recordCount() ||
            (serialField >= 0 && album->valueAt(row, serialField).toLongLong() != key))
            return QByteArray();
        return album->readBlobAt(row, QStringLiteral("IMAGE"));
    };
    return request;
}

void ThumbnailModel::setVisibleRows(int first, int last)
{
    last = std::min(last, m_album.active() ? m_album.recordCount() - 1 : -1);
    m_firstVisible = first;
    m_lastVisible = last;
    m_visibleRows.clear();
    std::vector<ThumbnailRequest> wanted;
    if (first > last || first < 0) {
        m_cache.setWanted({});
        m_cache.setSweep(nullptr);
        return;
    }
    // A large set lists its records when they are first needed. Here that is all of them,
    // now, as the window opens, not in one long step in the middle of a Page Down.
    if (!m_listed) {
        m_listed = true;
        if (m_album.fieldCount() > 0)
            m_album.valueAt(m_album.recordCount() - 1, 0);
    }
    // The screen, then the one after it: Page Down finds it ready.
    const int after = std::min(m_album.recordCount() - 1, last + (last - first + 1));
    for (int row = first; row <= after; ++row) {
        wanted.push_back(requestFor(row));
        if (row <= last)
            m_visibleRows.insert(wanted.back().key, row);
    }
    if (m_images.size() > 4 * qsizetype(wanted.size()) + 64)
        m_images.removeIf([this](const auto &it) { return !m_visibleRows.contains(it.key()); });
    m_cache.setWanted(std::move(wanted));
    // Then the rest of the set, from the screen on, once round.
    auto next = std::make_shared<int>(after + 1);
    auto left = std::make_shared<int>(m_album.recordCount() - (after - first + 1));
    m_cache.setSweep([this, next, left]() -> std::optional<ThumbnailRequest> {
        if (*left <= 0 || !m_album.active() || m_album.recordCount() == 0)
            return std::nullopt;
        --*left;
        if (*next >= m_album.recordCount())
            *next = 0;
        return requestFor((*next)++);
    });
}

void ThumbnailModel::albumChanged(const DataSet::Change &change)
{
    // Whatever the album does, its photos are left alone for a moment.
    m_cache.holdOff();
    const bool structural = change.kind == DataSet::Change::Reset ||
                            change.kind == DataSet::Change::RowInserted ||
                            change.kind == DataSet::Change::RowRemoved;
    {
        const QScopedValueRollback<bool> changing(m_changingRows, structural);
        switch (change.kind) {
        case DataSet::Change::Reset:
            beginResetModel();
            // Another statement, or another library (Open Database).
            m_cache.follow(m_album);
            m_serialField = m_album.active() ? m_album.fieldIndex(QStringLiteral("SERIAL")) : -1;
            m_imageField = m_album.active() ? m_album.fieldIndex(QStringLiteral("IMAGE")) : -1;
            m_nameField = m_album.active() ? m_album.fieldIndex(QStringLiteral("NAME")) : -1;
            m_images.clear();
            m_listed = false;
            rowsMoved();
            endResetModel();
            break;
        case DataSet::Change::RowInserted:
            beginInsertRows(QModelIndex(), change.row, change.row);
            rowsMoved();
            endInsertRows();
            break;
        case DataSet::Change::RowRemoved:
            beginRemoveRows(QModelIndex(), change.row, change.row);
            rowsMoved();
            endRemoveRows();
            break;
        case DataSet::Change::RowChanged:
            if (change.row < 0 || change.row >= rowCount())
                break;
            // A post may have put another photo of the same length in the record.
            if (m_album.state() == DataSet::State::Browse)
                m_cache.recheck(requestFor(change.row).key);
            emit dataChanged(index(change.row), index(change.row));
            break;
        case DataSet::Change::CurrentChanged:
        case DataSet::Change::StateChanged:
            break;
        }
    }
    const int current = m_album.active() ? m_album.recNo() : -1;
    if (current != m_currentRow || structural) {
        const int before = m_currentRow;
        m_currentRow = current;
        for (const int row : {before, current})
            if (row >= 0 && row < rowCount())
                emit dataChanged(index(row), index(row), {CurrentRole});
        emit currentRowChanged(current);
    }
}

void ThumbnailModel::rowsMoved()
{
    // Requests name rows: until the view says again what is on screen, none is made.
    m_cache.setWanted({});
    m_cache.setSweep(nullptr);
    m_cache.forgetTransient();
    m_images.removeIf([](const auto &it) { return it.key() < 0; });
    m_visibleRows.clear();
}

void ThumbnailModel::thumbnailChanged(qint64 key)
{
    m_images.remove(key);
    if (const auto row = m_visibleRows.constFind(key); row != m_visibleRows.constEnd())
        emit dataChanged(index(*row), index(*row), {Qt::DecorationRole, StateRole});
}

} // namespace pictavo
