#pragma once

#include <QString>

namespace pictavo {

class DisplayPicture;
class Query;

// What an import run needs of the main window: its Album Query, and what follows when
// the run points that query elsewhere or stores a photo through it.
class AlbumHost
{
public:
    virtual ~AlbumHost() = default;
    virtual Query &albumQuery() = 0;
    // The record counter (hides the picture when the set is empty).
    virtual void showRecordCount() = 0;
    // Resets the easy filter's entries; nothing when there is no easy filter.
    virtual void clearEasyFilter() = 0;
    // Before a store: the main window takes the picture the import decoded, so that
    // showing the stored record draws it without decoding the photo again.
    virtual void pictureToStore(const DisplayPicture &picture) = 0;
    // Paints at once, so a stored photo shows before the next file is read.
    virtual void repaintNow() = 0;
};

// What an import run needs of the import window (the command-line tool has none).
class ImportHost
{
public:
    virtual ~ImportHost() = default;
    // Switches the window's controls between idle and importing.
    virtual void setImporting(bool importing) = 0;
    virtual void setProgress(int position, int maximum) = 0;
    // Handles the user input that is waiting, so Abort reaches a run between files.
    virtual void letInputThrough() = 0;
    // The pipeline has loaded a file into its picture: select Auto and draw it fitted.
    // An empty picture draws nothing.
    virtual void drawPreview() = 0;
    // Decoding progress: running with a percentage, or not running (start and end).
    virtual void decodeProgress(bool running, int percent) = 0;
    // After a run with removal on: read the file list anew and hide the preview.
    virtual void refreshAfterRemoval() = 0;
};

} // namespace pictavo
