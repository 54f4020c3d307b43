// The main window's slide commands, the slideshow wait time and the look-ahead of the
// next record's photo.
#include "base/prompter.h"
#include "main/tformmain.h"
#include "widgets/draw_picture.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace pictavo {

void TformMain::setSlide(SlideWindow *form)
{
    m_slide = form;
    menuDisplaySlide->setVisible(form != nullptr);
    menuDisplaySlideshow->setVisible(form != nullptr);
    if (form != nullptr)
        connect(form, &SlideWindow::closedByUser, this, [this] { m_slideshow.stop(); });
}

void TformMain::setThumbnails(QWidget *form)
{
    m_thumbnailsWindow = form;
    menuDisplayThumbnails->setVisible(form != nullptr);
}

void TformMain::menuDisplayThumbnailsClick()
{
    if (m_thumbnailsWindow == nullptr)
        return;
    m_thumbnailsWindow->show();
    m_thumbnailsWindow->raise();
    m_thumbnailsWindow->activateWindow();
}

void TformMain::closeEvent(QCloseEvent *event)
{
    // A show must not go on over a program that is ending.
    m_slideshow.stop();
    if (m_slide != nullptr)
        m_slide->hide();
    QMainWindow::closeEvent(event);
}

void TformMain::menuDisplaySlideClick()
{
    if (m_slide != nullptr)
        m_slideshow.slide(m_scale.autoScale());
}

void TformMain::menuDisplaySlideshowClick()
{
    if (m_slide == nullptr)
        return;
    try {
        m_slideshow.run(m_waitTime);
    } catch (...) {
        drawPictureBehindShow();
        throw;
    }
    drawPictureBehindShow();
}

void TformMain::drawPictureBehindShow()
{
    if (!m_pictureBehindShow)
        return;
    m_pictureBehindShow = false;
    if (imageTmp.isEmpty()) {
        imageViewArea->hide();
        return;
    }
    // Drawn from the decode the show made, which covers this window's smaller size.
    try {
        DrawPicture(imageTmp, imageViewArea, scrollboxViewArea, true);
    } catch (const Error &) {
        imageViewArea->hide(); // the error that ended the show is the one reported
    }
}

void TformMain::menuOptionWaitTimeClick()
{
    const QString current = QString::number(m_waitTime);
    const std::optional<QString> text = m_prompter.inputText(
        QStringLiteral("Slideshow wait time entry"),
        QStringLiteral("Enter wait time in seconds between 0 to 10."), current);
    // Cancel gives the text it started with back.
    SetWaitTime(waitTimeFromEntry(text.value_or(current), m_waitTime));
}

void TformMain::timerWaitTimeTimer()
{
    timerWaitTime->stop();
    m_slideshow.timeUp();
}

QRect TformMain::slideScreenArea() const
{
    const QScreen *shown = screen();
    if (shown == nullptr)
        shown = QGuiApplication::primaryScreen();
    return shown != nullptr ? shown->geometry() : QRect(0, 0, 640, 480);
}

void TformMain::showSlide(bool fitted)
{
    m_slide->showPicture(imageTmp, fitted, slideScreenArea());
}

void TformMain::closeSlide()
{
    m_slide->hide();
}

void TformMain::startWaitTimer()
{
    timerWaitTime->start();
}

void TformMain::prepareNext()
{
    // A show with no wait is bound by decoding: two photos decoded side by side keep
    // both cores busy.
    prepareNextRecord(SlideWindow::viewArea(slideScreenArea()), LookAheadDecoder::kMaxAhead);
}

void TformMain::prepareNextRecord(QSize area, int ahead)
{
    if (!m_lookAhead.enabled() || !queryAlbum.active() || queryAlbum.recNo() < 0)
        return;
    // Only a help: a photo that cannot be read now is read, and its failure reported,
    // when the move to it happens. Records without a photo are passed over, as a show
    // passes over them. A photo already prepared is not read again: the serial names
    // its record, and the move reads it anyway and hands it in for comparison.
    try {
        const int first = queryAlbum.recNo() + 1;
        const int last = std::min(queryAlbum.recNo() + ahead, queryAlbum.recordCount() - 1);
        const int serial = queryAlbum.fieldIndex(QStringLiteral("SERIAL"));
        std::vector<qint64> keys;
        for (int row = first; row <= last; ++row) {
            const QVariant value = serial >= 0 ? queryAlbum.valueAt(row, serial) : QVariant();
            keys.push_back(value.isNull() ? -1 : value.toLongLong());
        }
        m_lookAhead.prepare(keys, area, [this, first](size_t i) {
            return queryAlbum.readBlobAt(first + int(i), QStringLiteral("IMAGE"));
        });
    } catch (const Error &) {
        m_lookAhead.drop();
    }
}

} // namespace pictavo
