#pragma once

#include "album/album_host.h"

#include <functional>

class QWidget;

namespace pictavo {

class TformMain;

// The main window as the other windows see it: its Album Query, its counter and its
// picture.
class MainWindowAlbum : public AlbumHost
{
public:
    // A window that stores photos is repainted along with the main window after each.
    explicit MainWindowAlbum(TformMain &formMain, QWidget *storingWindow = nullptr)
        : m_formMain(formMain), m_storingWindow(storingWindow)
    {
    }

    Query &albumQuery() override;
    void showRecordCount() override;
    void clearEasyFilter() override;
    void pictureToStore(const DisplayPicture &picture) override;
    void repaintNow() override;
    void hidePicture() override;
    void keywordTableChanged() override;
    ThumbnailCache *thumbnails() override;
    void showSlide() override;
    QSize pictureAreaSize() const override;

    // The window that stores photos (the import), repainted with the main window.
    void setStoringWindow(QWidget *window) { m_storingWindow = window; }

    // Resets the easy filter's entries; unset while no easy filter exists.
    std::function<void()> easyFilterReset;

private:
    TformMain &m_formMain;
    QWidget *m_storingWindow;
};

} // namespace pictavo
