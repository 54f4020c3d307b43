#include "main/main_window_album.h"

#include "main/tformmain.h"
#include "thumbnails/thumbnail_cache.h"

#include <QScrollArea>

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

void MainWindowAlbum::pictureToStore(const DisplayPicture &picture)
{
    // The copy shares the bytes and the decode; the after-post display finds them held.
    m_formMain.imageTmp = picture;
}

void MainWindowAlbum::repaintNow()
{
    m_formMain.repaint();
    if (m_storingWindow)
        m_storingWindow->repaint();
}

void MainWindowAlbum::hidePicture()
{
    m_formMain.hidePicture();
}

void MainWindowAlbum::keywordTableChanged()
{
    if (m_formMain.tableKeyword.active())
        m_formMain.tableKeyword.refresh();
}

ThumbnailCache *MainWindowAlbum::thumbnails()
{
    ThumbnailCache &cache = m_formMain.thumbnailCache();
    cache.follow(m_formMain.queryAlbum);
    return &cache;
}

QSize MainWindowAlbum::pictureAreaSize() const
{
    return m_formMain.scrollboxViewArea->size();
}

void MainWindowAlbum::showSlide()
{
    m_formMain.menuDisplaySlideClick();
}

} // namespace pictavo
