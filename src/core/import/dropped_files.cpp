#include "import/dropped_files.h"

#include <QDir>
#include <QFileInfo>

namespace pictavo {

DroppedFiles sortDroppedFiles(const QStringList &paths)
{
    DroppedFiles result;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (result.isEmpty() && info.isDir()) {
            result.directory = info.absoluteFilePath();
            result.wholeFolder = true;
        } else if (result.isEmpty() && info.isFile()) {
            result.directory = info.absolutePath();
            result.names << info.fileName();
        } else if (!result.wholeFolder && info.isFile() &&
                   QDir(info.absolutePath()) == QDir(result.directory)) {
            if (!result.names.contains(info.fileName()))
                result.names << info.fileName();
        } else {
            ++result.leftOut;
        }
    }
    return result;
}

} // namespace pictavo
