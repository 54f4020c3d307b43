#pragma once

#include "import/import_hosts.h"

#include <functional>

class QWidget;

namespace pictavo {

class TformMain;

// The main window as an import run sees it: its Album Query, its counter and its picture.
class MainWindowAlbum : public AlbumHost
{
public:
    // The import window is repainted along with the main window after each store.
    MainWindowAlbum(TformMain &formMain, QWidget &importWindow)
        : m_formMain(formMain), m_importWindow(importWindow)
    {
    }

    Query &albumQuery() override;
    void showRecordCount() override;
    void clearEasyFilter() override;
    void pictureToStore(const DisplayPicture &picture) override;
    void repaintNow() override;

    // Resets the easy filter's entries; unset while no easy filter exists.
    std::function<void()> easyFilterReset;

private:
    TformMain &m_formMain;
    QWidget &m_importWindow;
};

} // namespace pictavo
