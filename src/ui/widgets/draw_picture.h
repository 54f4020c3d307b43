#pragma once

#include <QSize>
#include <memory>

class QLabel;
class QScrollArea;

namespace pictavo {

class DisplayPicture;
class PreparedDraw;
struct DecodedPicture;

// Puts the picture into the scroll area on a canvas of its own, so that DrawPicture can
// place it anywhere: centred when fitted, at the top left corner when at full size.
void setUpPictureArea(QScrollArea *area, QLabel *target);

// Draws the photo held by source into target: fitted into the area and centred (autoMode)
// or at full size, scrolling when larger than the area. Does nothing when the source holds
// no photo. The target is hidden while its picture is replaced. A decoding failure throws
// the decoder's error.
void DrawPicture(DisplayPicture &source, QLabel *target, QScrollArea *area, bool autoMode);

} // namespace pictavo

namespace pictavo {

// The look-ahead's draw step: the decode scaled to the size DrawPicture fits it to in an
// area of `area`, exactly as DrawPicture would scale it, made on the worker so that the
// drawing thread only puts it on screen. Null when the decode is drawn as it is.
std::shared_ptr<const PreparedDraw> prepareFittedDraw(const DecodedPicture &picture, QSize area);

} // namespace pictavo
