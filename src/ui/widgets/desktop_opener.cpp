#include "widgets/desktop_opener.h"

#include <QDesktopServices>
#include <QUrl>

namespace pictavo {

bool DesktopOpener::openDocument(const QString &absolutePath)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(absolutePath));
}

} // namespace pictavo
