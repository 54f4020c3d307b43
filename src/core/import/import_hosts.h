#pragma once

#include "album/album_host.h"

#include <QString>

namespace pictavo {

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
