#pragma once

#include "album/album_host.h"

namespace pictavo {

// What an import run needs of the import window. Each does nothing here, as for a run
// without a window (the command-line tool's).
class ImportHost
{
public:
    virtual ~ImportHost() = default;
    // Switches the window's controls between idle and importing.
    virtual void setImporting(bool /*importing*/) {}
    virtual void setProgress(int /*position*/, int /*maximum*/) {}
    // Handles the user input that is waiting, so Abort reaches a run between files.
    virtual void letInputThrough() {}
    // The pipeline has loaded a file into its picture: select Auto and draw it fitted.
    // An empty picture draws nothing.
    virtual void drawPreview() {}
    // Decoding progress: running with a percentage, or not running (start and end).
    virtual void decodeProgress(bool /*running*/, int /*percent*/) {}
    // After a run with removal on: read the file list anew and hide the preview.
    virtual void refreshAfterRemoval() {}
};

} // namespace pictavo
