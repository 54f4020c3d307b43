#pragma once

#include "widgets/window_seams.h"

class QLabel;
class QScrollArea;

namespace pictavo {

class Prompter;

// The slide window: one photo alone on a black screen, over the whole screen, without
// border or title bar. A click anywhere on it, or Esc, closes it (and ends a show).
class TformSlide : public SlideWindow
{
    Q_OBJECT

public:
    explicit TformSlide(Prompter &prompter, QWidget *parent = nullptr);

    // A fitted photo is centred; one at full size gets scroll bars when it is larger than
    // the screen. The source is drawn again, in the same mode, when the window resizes.
    void showPicture(DisplayPicture &source, bool fitted, const QRect &screenArea) override;

    // The click on the picture or on the black around it, and Esc.
    void imageViewAreaClick();

    QScrollArea *scrollboxViewArea = nullptr;
    QLabel *imageViewArea = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void FormCreate();
    void draw();

    Prompter &m_prompter;
    DisplayPicture *m_source = nullptr;
    bool m_fitted = true;
};

} // namespace pictavo
