#include "thumbnails/thumbnail_delegate.h"

#include "thumbnails/thumbnail_cache.h"
#include "thumbnails/thumbnail_model.h"
#include "thumbnails/thumbnail_picture.h"

#include <QPainter>

namespace pictavo {
namespace {

constexpr int kPadding = 6;

} // namespace

QSize ThumbnailDelegate::cellSize(const QFontMetrics &metrics)
{
    return QSize(kShownThumbnailSide + 2 * kPadding,
                 kShownThumbnailSide + 3 * kPadding + metrics.height());
}

QSize ThumbnailDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return cellSize(option.fontMetrics);
}

void ThumbnailDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    painter->save();
    const QPalette &palette = option.palette;
    const QRect cell = option.rect.adjusted(1, 1, -1, -1);
    const QRect frame(cell.left() + kPadding - 1, cell.top() + kPadding - 1,
                      kShownThumbnailSide + 2, kShownThumbnailSide + 2);
    const QRect inside = frame.adjusted(1, 1, -1, -1);
    const auto state = ThumbnailCache::State(index.data(ThumbnailModel::StateRole).toInt());

    painter->setPen(palette.color(QPalette::Mid));
    painter->drawRect(frame.adjusted(0, 0, -1, -1));
    switch (state) {
    case ThumbnailCache::State::Shown: {
        const QImage image = index.data(Qt::DecorationRole).value<QImage>();
        const QRect placed(inside.left() + (inside.width() - image.width()) / 2,
                           inside.top() + (inside.height() - image.height()) / 2, image.width(),
                           image.height());
        painter->drawImage(placed, image);
        break;
    }
    case ThumbnailCache::State::Waiting:
        painter->fillRect(inside, palette.color(QPalette::Midlight));
        break;
    case ThumbnailCache::State::Failed: {
        // A crossed box: this photo is there but cannot be shown.
        const QRect mark(inside.center() - QPoint(20, 20), QSize(40, 40));
        painter->setPen(QPen(QColor(200, 40, 40), 3));
        painter->drawRect(mark);
        painter->drawLine(mark.topLeft(), mark.bottomRight());
        painter->drawLine(mark.topRight(), mark.bottomLeft());
        break;
    }
    case ThumbnailCache::State::NoPhoto:
        break;
    }

    const QRect text(cell.left() + 2, frame.bottom() + kPadding / 2, cell.width() - 4,
                     option.fontMetrics.height() + kPadding);
    painter->setPen(palette.color(QPalette::Text));
    painter->drawText(
        text, Qt::AlignHCenter | Qt::AlignVCenter,
        option.fontMetrics.elidedText(index.data().toString(), Qt::ElideMiddle, text.width()));
    if (index.data(ThumbnailModel::CurrentRole).toBool()) {
        painter->setPen(QPen(palette.color(QPalette::Highlight), 3));
        painter->drawRect(cell.adjusted(1, 1, -2, -2));
    } else if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(palette.color(QPalette::Highlight), 1, Qt::DashLine));
        painter->drawRect(cell.adjusted(1, 1, -2, -2));
    }
    painter->restore();
}

} // namespace pictavo
