#include "widgets/program_icon.h"

namespace pictavo {

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/pictavo/icons/hicolor/%1x%1/apps/pictavo.png").arg(size),
                     QSize(size, size));
    return icon;
}

} // namespace pictavo
