#include "widgets/album_columns.h"

#include <QHeaderView>
#include <QTableView>
#include <algorithm>
#include <array>

namespace pictavo {

namespace {

struct ColumnShare
{
    int percent;
    int designWidth;
};

// Prefix, Name, Size; Keyword stretches over the rest.
constexpr std::array<ColumnShare, 3> kShares{{{22, 134}, {26, 146}, {14, 80}}};

} // namespace

void fitAlbumColumns(QTableView *grid)
{
    const int width = grid->viewport()->width();
    if (width <= 0)
        return;
    for (int column = 0; column < int(kShares.size()); ++column) {
        const ColumnShare &share = kShares[column];
        grid->setColumnWidth(column,
                             std::clamp(width * share.percent / 100, 24, share.designWidth));
    }
}

} // namespace pictavo
