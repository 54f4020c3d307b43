#pragma once

#include "keyword/keyword_rebuild.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace pictavo {

class Prompter;
class AlbumHost;

// The keyword table rebuild: shown modally, it recounts the Keyword Table of the main
// window's database at once, with a bar for each of its three phases. OK stays disabled
// while the rebuild runs and is enabled at its end, also after a failure (whose text the
// general error report shows), so the window can always be closed.
class TformUpdateKeyword : public QDialog, private RebuildProgress
{
    Q_OBJECT

public:
    TformUpdateKeyword(AlbumHost &album, Prompter &prompter, QWidget *parent = nullptr);

    // Runs the whole rebuild. Each showing of the window runs it once, as soon as the
    // window's event loop is running.
    void UpdateKeyword();
    void bitbtnOKClick();
    bool running() const { return m_running; }

    QLabel *labelPhase1 = nullptr;
    QProgressBar *progressbarRecord = nullptr;
    QLabel *labelPhase2 = nullptr;
    QProgressBar *progressbarUnique = nullptr;
    QLabel *labelPhase3 = nullptr;
    QProgressBar *progressbarKeywordCount = nullptr;
    QPushButton *bitbtnOK = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void setRange(Phase phase, int steps) override;
    void setPosition(Phase phase, int position) override;
    QProgressBar *bar(Phase phase) const;

    AlbumHost &m_album;
    Prompter &m_prompter;
    bool m_running = false;
};

} // namespace pictavo
