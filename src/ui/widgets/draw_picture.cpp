#include "widgets/draw_picture.h"

#include "picture/display_picture.h"
#include "picture/look_ahead_decoder.h"
#include "picture/picture_fit.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>

namespace pictavo {

namespace {

QImage wrap(const DecodedPicture &picture)
{
    // Shares the decoder's buffer without copying it. A pixmap made from this image may
    // keep using the buffer after the picture has moved on to another record, so the
    // image holds a reference of its own, let go when its last copy is gone.
    auto *keep = new QByteArray(picture.pixels);
    return QImage(
        reinterpret_cast<const uchar *>(keep->constData()), picture.size.width(),
        picture.size.height(), picture.bytesPerLine, QImage::Format_RGB32,
        [](void *info) { delete static_cast<QByteArray *>(info); }, keep);
}

// The one scale of a decode to its fitted size, wherever it runs, so that a slide scaled
// ahead on a worker and one scaled here show the same pixels.
QImage fittedImage(const QImage &decoded, QSize fitted)
{
    return decoded.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

class FittedImage : public PreparedDraw
{
public:
    explicit FittedImage(QImage fitted) : image(std::move(fitted)) {}
    const QImage image;
};

} // namespace

std::shared_ptr<const PreparedDraw> prepareFittedDraw(const DecodedPicture &picture, QSize area)
{
    const QSize fitted = FitAndCentrePicture(picture.fullSize, area).size();
    if (picture.isNull() || picture.size == fitted)
        return nullptr;
    return std::make_shared<const FittedImage>(fittedImage(wrap(picture), fitted));
}

void setUpPictureArea(QScrollArea *area, QLabel *target)
{
    auto *canvas = new QWidget;
    canvas->setObjectName(QStringLiteral("canvas"));
    target->setParent(canvas);
    target->hide();
    area->setWidgetResizable(false);
    area->setWidget(canvas);
}

void DrawPicture(DisplayPicture &source, QLabel *target, QScrollArea *area, bool autoMode)
{
    if (source.isEmpty())
        return;
    const QSize full = source.fullSize();
    QWidget *canvas = area->widget();
    target->hide();
    if (autoMode) {
        const QSize areaSize = area->size();
        const QRect placed = FitAndCentrePicture(full, areaSize);
        const DecodedPicture &decoded = source.pixelsFor(placed.size());
        // Scaled already on the worker that decoded it, when the look-ahead made it.
        const auto *ready = dynamic_cast<const FittedImage *>(source.preparedDraw());
        if (ready != nullptr && ready->image.size() == placed.size()) {
            target->setPixmap(QPixmap::fromImage(ready->image));
        } else {
            const QImage image = wrap(decoded);
            target->setPixmap(QPixmap::fromImage(
                image.size() == placed.size() ? image : fittedImage(image, placed.size())));
        }
        // The canvas takes the area's size exactly, so no scroll bar is needed.
        canvas->resize(areaSize);
        target->setGeometry(placed);
    } else {
        const DecodedPicture &decoded = source.pixelsFor(full);
        target->setPixmap(QPixmap::fromImage(wrap(decoded)));
        canvas->resize(full);
        target->setGeometry(QRect(QPoint(0, 0), full));
        area->ensureVisible(0, 0);
    }
    target->show();
}

} // namespace pictavo
