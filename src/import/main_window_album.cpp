#include "import/main_window_album.h"

#include "main/draw_picture.h"
#include "main/tformmain.h"

namespace pictavo {

Query &MainWindowAlbum::albumQuery()
{
    return m_formMain.queryAlbum;
}

void MainWindowAlbum::showRecordCount()
{
    m_formMain.ShowRecordCount();
}

void MainWindowAlbum::clearEasyFilter()
{
    if (easyFilterReset)
        easyFilterReset();
}

void MainWindowAlbum::showStoredPicture(const DisplayPicture &picture)
{
    // The copy keeps the decode already made, so the main window draws without decoding.
    m_formMain.imageTmp = picture;
    DrawPicture(m_formMain.imageTmp, m_formMain.imageViewArea, m_formMain.scrollboxViewArea, true);
}

void MainWindowAlbum::repaintNow()
{
    m_formMain.repaint();
    m_importWindow.repaint();
}

} // namespace pictavo
