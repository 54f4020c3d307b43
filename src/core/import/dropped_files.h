#pragma once

#include <QString>
#include <QStringList>

namespace pictavo {

// What a drop of files and folders from a file manager selects in the import window,
// which lists one folder at a time. The first dropped item that exists decides the
// folder: a folder is taken whole (the list then shows its JPEG files), a file stands
// for its own folder. Further files of that folder are selected with it; items
// elsewhere are left out.
struct DroppedFiles
{
    QString directory;
    bool wholeFolder = false;
    QStringList names; // bare names in `directory`, in drop order; empty for a whole folder
    int leftOut = 0;   // dropped items not selected (other folders, missing)

    bool isEmpty() const { return directory.isEmpty(); }
};

DroppedFiles sortDroppedFiles(const QStringList &paths);

} // namespace pictavo
