#pragma once

#include <QWidget>

class QLabel;
class QScrollArea;

namespace pictavo {

class DisplayPicture;
class Prompter;

// The slide window: one photo alone on a black screen, over the whole screen, without
// border or title bar. A click anywhere on it, or Esc, closes it (and ends a show).
class TformSlide : public QWidget
{
    Q_OBJECT

public:
    explicit TformSlide(Prompter &prompter, QWidget *parent = nullptr);

    // Draws the photo held by `source` fitted and centred, or at full size with scroll
    // bars when it is larger than the screen, and shows the window over `screenArea` at
    // once. The source is drawn again, in the same mode, when the window changes size.
    void showPicture(DisplayPicture &source, bool fitted, const QRect &screenArea);
    // The area a fitted photo is drawn into when shown over `screenArea`.
    static QSize viewArea(const QRect &screenArea) { return screenArea.size(); }

    // The click on the picture or on the black around it, and Esc.
    void imageViewAreaClick();

    QScrollArea *scrollboxViewArea = nullptr;
    QLabel *imageViewArea = nullptr;

signals:
    // The user closed the slide.
    void closedByUser();

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
