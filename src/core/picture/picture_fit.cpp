#include "picture/picture_fit.h"

#include <cmath>
#include <limits>

namespace pictavo {
namespace {

// Truncation toward zero that stays defined for NaN and values beyond int
// (a zero-height picture gives an infinite ratio).
int truncated(float v)
{
    if (std::isnan(v))
        return 0;
    if (v >= float(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= float(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(v);
}

} // namespace

QSize FitPicture(int W, int H, int AW, int AH)
{
    if (AW >= W && AH >= H)
        return QSize(W, H);
    const float r = float(W) / float(H);
    const float h = float(AW) / r;
    if (float(AH) >= h)
        return QSize(AW, truncated(h));
    return QSize(truncated(float(AH) * r), AH);
}

QPoint CentrePicture(QSize picture, QSize area)
{
    const int OW = picture.width(), OH = picture.height();
    const int AW = area.width(), AH = area.height();
    int left = (AW - OW) / 2;
    int top = (AH - OH) / 2;
    if (left + OW > AW)
        left = AW - OW;
    if (top + OH > AH)
        top = AH - OH;
    return QPoint(left, top);
}

QRect FitAndCentrePicture(QSize picture, QSize area)
{
    const QSize fitted = FitPicture(picture.width(), picture.height(), area.width(), area.height());
    return QRect(CentrePicture(fitted, area), fitted);
}

} // namespace pictavo
