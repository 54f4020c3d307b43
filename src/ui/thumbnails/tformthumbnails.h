#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

class QListView;
class QMenuBar;

namespace pictavo {

class AlbumHost;
class Prompter;
class ThumbnailCache;
class ThumbnailDelegate;
class ThumbnailModel;

// The thumbnail window: the main window's record set as a grid of small pictures with
// their names, the current record framed. A click makes a record current, a double click
// or Enter shows it as a slide; the arrow keys, Page Up and Down, Home and End move. It
// follows the main window through the Album Query it is handed, and is not modal. Made
// at start-up and hidden until the main window's command shows it; it keeps its
// position and size in the settings under its name.
class TformThumbnails : public QWidget
{
    Q_OBJECT

public:
    TformThumbnails(AlbumHost &album, Prompter &prompter, QWidget *parent = nullptr);
    ~TformThumbnails() override;

    QMenuBar *menuBar = nullptr;
    QListView *listviewThumbnails = nullptr;
    ThumbnailModel *model() const { return m_model; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void FormCreate();
    void FormDestroy();
    // The view's current item became another one (a click, a key).
    void viewCurrentChanged();
    // Makes the view's current record the album's, unless it is already.
    void moveAlbum();
    void showSlide();
    void followAlbum(int row);
    void updateVisibleRows();

    AlbumHost &m_album;
    Prompter &m_prompter;
    std::unique_ptr<ThumbnailCache> m_ownCache; // for a host that keeps none
    ThumbnailModel *m_model = nullptr;
    ThumbnailDelegate *m_delegate = nullptr;
    // Moves of the album made by keys wait a moment for the next key: a held Page Down
    // moves the album once it is let go of, not at every step.
    QTimer m_move;
    QTimer m_visible;
    bool m_following = false;
    bool m_byKey = false; // the last input to the grid was a key, not the mouse
};

} // namespace pictavo
