#pragma once

class QLabel;
class QScrollArea;

namespace pictavo {

class DisplayPicture;

// Puts the picture into the scroll area on a canvas of its own, so that DrawPicture can
// place it anywhere: centred when fitted, at the top left corner when at full size.
void setUpPictureArea(QScrollArea *area, QLabel *target);

// Draws the photo held by source into target: fitted into the area and centred (autoMode)
// or at full size, scrolling when larger than the area. Does nothing when the source holds
// no photo. The target is hidden while its picture is replaced. A decoding failure throws
// the decoder's error.
void DrawPicture(DisplayPicture &source, QLabel *target, QScrollArea *area, bool autoMode);

} // namespace pictavo
