#include "widgets/tformprocessing.h"

#include <QApplication>
#include <QCloseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace pictavo {

namespace {

// A query shorter than this is left alone: a window flashing up would only distract.
constexpr std::chrono::milliseconds kOfferStopAfter{1000};
// How often waiting events are handled while a query runs: often enough for a Stop to
// act within a fraction of a second, rarely enough to leave the query its time.
constexpr qint64 kEventsEveryMs = 50;

} // namespace

TformProcessing::TformProcessing(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("formProcessing"));
    setWindowTitle(QStringLiteral("Processing"));
    auto *layout = new QVBoxLayout(this);
    progressbarProcessing = new QProgressBar(this);
    progressbarProcessing->setObjectName(QStringLiteral("progressbarProcessing"));
    progressbarProcessing->setRange(0, 100);
    progressbarProcessing->setValue(0);
    progressbarProcessing->setAccessibleName(QStringLiteral("Processing"));
    layout->addWidget(progressbarProcessing);
    bitbtnStop = new QPushButton(QStringLiteral("Stop"), this);
    bitbtnStop->setObjectName(QStringLiteral("bitbtnStop"));
    bitbtnStop->setAccessibleName(QStringLiteral("Stop the query"));
    bitbtnStop->hide();
    layout->addWidget(bitbtnStop, 0, Qt::AlignHCenter);
    connect(bitbtnStop, &QPushButton::clicked, this, &TformProcessing::bitbtnStopClick);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (m_offering)
            bitbtnStopClick();
    });
    resize(300, 60);
}

bool TformProcessing::keepGoing(std::chrono::milliseconds running)
{
    if (running < kOfferStopAfter || m_stopAsked)
        return !m_stopAsked;
    if (!m_offering)
        offerStop();
    else if (m_sinceEvents.elapsed() >= kEventsEveryMs) {
        // Modal, so no other window acts on the database meanwhile; the windows repaint
        // and the Stop button can be clicked.
        QCoreApplication::processEvents();
        m_sinceEvents.restart();
    }
    return !m_stopAsked;
}

void TformProcessing::offerStop()
{
    m_offering = true;
    setWindowModality(Qt::ApplicationModal);
    progressbarProcessing->setRange(0, 0); // how far along a query is, nobody knows
    bitbtnStop->show();
    resize(300, sizeHint().height());
    if (const QWidget *over = QApplication::activeWindow()) {
        QRect frame = frameGeometry();
        frame.moveCenter(over->frameGeometry().center());
        move(frame.topLeft());
    }
    show();
    raise();
    activateWindow();
    bitbtnStop->setFocus();
    QCoreApplication::processEvents();
    m_sinceEvents.start();
}

void TformProcessing::finished()
{
    if (m_offering) {
        hide();
        setWindowModality(Qt::NonModal);
        bitbtnStop->hide();
        bitbtnStop->setEnabled(true);
        progressbarProcessing->setRange(0, 100);
        progressbarProcessing->setValue(0);
        resize(300, 60);
        m_offering = false;
    }
    m_stopAsked = false;
}

void TformProcessing::bitbtnStopClick()
{
    m_stopAsked = true;
    bitbtnStop->setEnabled(false);
}

void TformProcessing::closeEvent(QCloseEvent *event)
{
    // Closed from its title bar while a query runs: that is a stop; the window goes
    // once the query has ended.
    if (m_offering) {
        bitbtnStopClick();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace pictavo
