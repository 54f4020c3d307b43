#pragma once

#include "db/statement_watcher.h"

#include <QElapsedTimer>
#include <QWidget>

class QProgressBar;
class QPushButton;

namespace pictavo {

// A small busy window on top of the others with a bar from 0 to 100. It is created with
// the other windows and stays hidden, except while a query that it watches has run for
// a second: then it shows, modal, with a Stop button (Esc stops too), and keeps the
// windows painted until the query ends or is stopped.
class TformProcessing : public QWidget, public StatementWatcher
{
    Q_OBJECT

public:
    explicit TformProcessing(QWidget *parent = nullptr);

    bool keepGoing(std::chrono::milliseconds running) override;
    void finished() override;
    // Asks the query being watched to stop.
    void bitbtnStopClick();

    QProgressBar *progressbarProcessing = nullptr;
    QPushButton *bitbtnStop = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void offerStop();

    bool m_offering = false;
    bool m_stopAsked = false;
    QElapsedTimer m_sinceEvents;
};

} // namespace pictavo
