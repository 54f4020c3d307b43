#pragma once

class QTableView;

namespace pictavo {

// Sizes the album grid's Prefix, Name and Size columns to shares of the visible width,
// none wider than at design, so that Keyword, the last column, always shows and takes
// the room that is left, at the first start's 640 x 480 and as the window grows.
void fitAlbumColumns(QTableView *grid);

} // namespace pictavo
