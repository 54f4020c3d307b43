#pragma once

#include <QDialog>

namespace pictavo {

class DisplayPicture;

// The windows the main window drives beyond opening them, as it sees them. Start-up makes
// the real ones and hands them in, so that no window includes another window's header.

// The import window.
class ImportWindow : public QDialog
{
public:
    using QDialog::QDialog;
    // Files and folders dropped on the main window: their folder is listed and they are
    // selected, ready for "Inport".
    virtual void selectDroppedFiles(const QStringList &paths) = 0;
};

// The keyword entry assistant.
class KeywordAssistWindow : public QDialog
{
public:
    using QDialog::QDialog;
    // Fills the list from the Keyword Table and checks the current record's keywords.
    virtual void LoadKeywordToListBox() = 0;
};

// The slide: one photo over the whole screen.
class SlideWindow : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;
    // The area a fitted photo is drawn into when shown over `screenArea`.
    static QSize viewArea(const QRect &screenArea) { return screenArea.size(); }
    // Draws the photo held by `source`, fitted or at full size, and shows the window over
    // `screenArea` at once.
    virtual void showPicture(DisplayPicture &source, bool fitted, const QRect &screenArea) = 0;

signals:
    // The user closed the slide.
    void closedByUser();
};

} // namespace pictavo
