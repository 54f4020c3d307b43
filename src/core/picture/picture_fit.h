#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace pictavo {

// The size a W x H picture is drawn at in an AW x AH area in Auto mode: unchanged when
// it fits (never enlarged), otherwise shrunk to the area keeping its proportions.
// The proportions are computed in single precision and truncated, on purpose: the
// pixel sizes must come out exactly as they always have.
QSize FitPicture(int W, int H, int AW, int AH);

// Top left corner of an OW x OH picture centred in an AW x AH area; a picture larger
// than the area keeps its right and bottom edges inside it.
QPoint CentrePicture(QSize picture, QSize area);

// FitPicture and CentrePicture together: where and how large Auto mode draws.
QRect FitAndCentrePicture(QSize picture, QSize area);

} // namespace pictavo
