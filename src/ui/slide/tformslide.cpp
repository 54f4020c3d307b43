#include "slide/tformslide.h"

#include "picture/display_picture.h"
#include "widgets/draw_picture.h"
#include "widgets/error_report.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>

namespace pictavo {

TformSlide::TformSlide(Prompter &prompter, QWidget *parent)
    : SlideWindow(parent, Qt::Window | Qt::FramelessWindowHint), m_prompter(prompter)
{
    setObjectName(QStringLiteral("formSlide"));
    setWindowTitle(QStringLiteral("Slide"));
    setAccessibleName(QStringLiteral("Slide"));
    setAccessibleDescription(QStringLiteral("Click or press Esc to close"));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    black.setColor(QPalette::Base, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);

    scrollboxViewArea = new QScrollArea(this);
    scrollboxViewArea->setObjectName(QStringLiteral("scrollboxViewArea"));
    scrollboxViewArea->setFrameShape(QFrame::NoFrame);
    scrollboxViewArea->setPalette(black);
    scrollboxViewArea->setBackgroundRole(QPalette::Window);
    imageViewArea = new QLabel;
    imageViewArea->setObjectName(QStringLiteral("imageViewArea"));
    imageViewArea->setAccessibleName(QStringLiteral("Slide photo"));
    setUpPictureArea(scrollboxViewArea, imageViewArea);
    scrollboxViewArea->widget()->setPalette(black);
    scrollboxViewArea->widget()->setAutoFillBackground(true);
    // A click on the picture, on the black around it or on the canvas closes the slide.
    scrollboxViewArea->viewport()->installEventFilter(this);
    scrollboxViewArea->widget()->installEventFilter(this);
    imageViewArea->installEventFilter(this);
    FormCreate();
}

void TformSlide::FormCreate()
{
    setWindowState(Qt::WindowFullScreen);
}

void TformSlide::showPicture(DisplayPicture &source, bool fitted, const QRect &screenArea)
{
    m_source = &source;
    m_fitted = fitted;
    // The size first, so the photo is fitted to the screen and not to the window's
    // size before it was shown.
    setGeometry(screenArea);
    scrollboxViewArea->setGeometry(rect());
    draw();
    setWindowState(Qt::WindowFullScreen);
    show();
    raise();
    activateWindow();
    repaint();
}

void TformSlide::draw()
{
    if (m_source == nullptr)
        return;
    if (m_source->isEmpty()) {
        // Nothing decoded to show (a photo that failed to decode): black, never the
        // photo that was on the slide before.
        imageViewArea->hide();
        imageViewArea->setPixmap(QPixmap());
        return;
    }
    DrawPicture(*m_source, imageViewArea, scrollboxViewArea, m_fitted);
}

void TformSlide::imageViewAreaClick()
{
    hide();
    emit closedByUser();
}

bool TformSlide::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        imageViewAreaClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TformSlide::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        imageViewAreaClick();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TformSlide::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        imageViewAreaClick();
}

void TformSlide::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    scrollboxViewArea->setGeometry(rect());
    if (isVisible())
        runGuarded(m_prompter, [this] { draw(); });
}

} // namespace pictavo
