// The main window's picture: the record hooks that show it and the display commands.
#include "album/record_maintenance.h"
#include "base/prompter.h"
#include "main/tformmain.h"
#include "picture/picture_fit.h"
#include "widgets/draw_picture.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QTableView>

namespace pictavo {

void TformMain::hookAlbumQuery()
{
    queryAlbum.afterScroll = [this](DataSet &) {
        // The assistant follows the record even when its photo cannot be shown; only a
        // move the user makes here counts (not one of the slideshow, say). Its own
        // failures are reported inside.
        const auto follow = qScopeGuard([this] {
            if (isActiveWindow())
                reloadKeywordAssist(true);
        });
        showCurrentRecord();
    };
    queryAlbum.afterInsert = [this](DataSet &) { ShowRecordCount(); };
    queryAlbum.afterEdit = [this](DataSet &) { RecordModified = true; };
    queryAlbum.beforePost = [this](DataSet &album) {
        CheckNewKeywords(album, tableKeyword, m_prompter);
        PostedSerial = album.asInteger(QStringLiteral("SERIAL"));
    };
    queryAlbum.afterPost = [this](DataSet &album) {
        RecordModified = false;
        if (RecordWithoutPhoto(album))
            imageViewArea->hide();
        else if (album.asInteger(QStringLiteral("SERIAL")) != PostedSerial) {
            showCurrentRecord(); // a new record, such as an imported photo
            reloadKeywordAssist(false);
        }
    };
    queryAlbum.afterCancel = [this](DataSet &) { RecordModified = false; };
    queryAlbum.afterDelete = [this](DataSet &) {
        // An edit of the deleted record ended with it.
        RecordModified = false;
        reloadKeywordAssist(true);
        ShowRecordCount();
    };
}

void TformMain::showCurrentRecord()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The arrow comes back however the display ends, a decoding failure included.
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    if (queryAlbum.recNo() < 0 || RecordWithoutPhoto(queryAlbum)) {
        hidePicture();
        if (!m_slideshow.running())
            prepareNextRecord(scrollboxViewArea->size());
        return;
    }
    try {
        imageTmp.setJpeg(queryAlbum.readBlob(QStringLiteral("IMAGE")));
        m_scale.setDisplayMode(true);
        if (imageTmp.isEmpty()) { // a photo of no bytes: nothing to show, not the one before
            imageViewArea->hide();
            return;
        }
        if (m_slideshow.running()) {
            // The slide covers this window during a show and draws this photo next, fitted
            // to the screen: the decode for that size is made now, and this window draws
            // from it once the show is over.
            imageTmp.pixelsFor(
                FitAndCentrePicture(imageTmp.fullSize(), slideScreenArea().size()).size());
            m_pictureBehindShow = true;
            return;
        }
        DrawPicture(imageTmp, imageViewArea, scrollboxViewArea, true);
    } catch (...) {
        // No photo of another record is left beside this one.
        hidePicture();
        throw;
    }
    prepareNextRecord(scrollboxViewArea->size());
}

void TformMain::hidePicture()
{
    imageTmp.clear();
    imageViewArea->hide();
}

void TformMain::menuOptionAutoScaleClick()
{
    m_scale.toggle();
}

void TformMain::setEasyFilter(QDialog *form)
{
    m_easyFilter = form;
    menuDisplayEasyFilter->setVisible(form != nullptr);
    bitbtnEasyFilter->setVisible(form != nullptr);
}

void TformMain::setExpertFilter(QDialog *form)
{
    m_expertFilter = form;
    menuDisplayExpertFilter->setVisible(form != nullptr);
}

void TformMain::menuDisplayEasyFilterClick()
{
    if (m_easyFilter && requireDatabase())
        m_easyFilter->exec();
}

void TformMain::menuDisplayExpertFilterClick()
{
    if (m_expertFilter)
        m_expertFilter->exec();
}

void TformMain::setKeywordList(QDialog *form)
{
    m_keywordList = form;
    menuDisplayKeywordList->setVisible(form != nullptr);
}

void TformMain::menuDisplayKeywordListClick()
{
    if (m_keywordList && requireDatabase())
        m_keywordList->exec();
}

void TformMain::menuDisplayRefreshClick()
{
    if (RecordWithoutPhoto(queryAlbum)) {
        m_prompter.warning(QStringLiteral("No active record."));
        return;
    }
    DrawPicture(imageTmp, imageViewArea, scrollboxViewArea, m_scale.autoScale());
}

void TformMain::changeGridHeight(int delta)
{
    // The grid cannot be less than nothing; no upper bound is set.
    dbgridAlbum->setFixedHeight(std::max(0, dbgridAlbum->height() + delta));
    // Lay the window out now, so the picture is fitted to the area's new size.
    if (QLayout *layout = dbgridAlbum->parentWidget()->layout())
        layout->activate();
    m_scale.redrawAuto();
}

void TformMain::menuOptionHigherClick()
{
    changeGridHeight(10);
}

void TformMain::menuOptionLowerClick()
{
    changeGridHeight(-10);
}

void TformMain::menuOptionChangePanelLayoutClick()
{
    setPanelDockedRight(!m_panelRight);
}

} // namespace pictavo
