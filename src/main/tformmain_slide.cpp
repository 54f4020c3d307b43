// The main window's slide commands, the slideshow wait time and the look-ahead of the
// next record's photo.
#include "base/prompter.h"
#include "main/draw_picture.h"
#include "main/tformmain.h"
#include "view/tformslide.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace pictavo {

void TformMain::setSlide(TformSlide *form)
{
    m_slide = form;
    menuDisplaySlide->setVisible(form != nullptr);
    menuDisplaySlideshow->setVisible(form != nullptr);
    if (form != nullptr)
        connect(form, &TformSlide::closedByUser, this, [this] { m_slideshow.stop(); });
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
    prepareNextRecord(TformSlide::viewArea(slideScreenArea()), LookAheadDecoder::kMaxAhead);
}

void TformMain::prepareNextRecord(QSize area, int ahead)
{
    if (!m_lookAhead.enabled() || !queryAlbum.active() || queryAlbum.recNo() < 0)
        return;
    // Only a help: a photo that cannot be read now is read, and its failure reported,
    // when the move to it happens. Records without a photo are passed over, as a show
    // passes over them.
    try {
        std::vector<QByteArray> photos;
        const int last = std::min(queryAlbum.recNo() + ahead, queryAlbum.recordCount() - 1);
        for (int row = queryAlbum.recNo() + 1; row <= last; ++row)
            photos.push_back(queryAlbum.readBlobAt(row, QStringLiteral("IMAGE")));
        m_lookAhead.prepare(photos, area);
    } catch (const Error &) {
        m_lookAhead.drop();
    }
}

} // namespace pictavo
