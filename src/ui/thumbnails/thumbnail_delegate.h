#pragma once

#include <QStyledItemDelegate>

namespace pictavo {

// Draws one record of the thumbnail window: its thumbnail in a frame (an empty frame for
// a record without a photo, a mark for one that cannot be decoded, grey while it is
// loading), its NAME below, and a thick frame round the current record.
class ThumbnailDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    // Every item's size: the window lays them out as a grid of these.
    static QSize cellSize(const QFontMetrics &metrics);
};

} // namespace pictavo
