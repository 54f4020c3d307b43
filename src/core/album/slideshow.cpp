#include "album/slideshow.h"

#include "album/record_maintenance.h"
#include "base/prompter.h"
#include "db/dataset.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <algorithm>

namespace pictavo {

namespace {

constexpr int kDefaultWaitTime = 3;
constexpr int kLongestWaitTime = 10;

} // namespace

void SlideHost::handleEvents(bool block)
{
    QCoreApplication::processEvents(block ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
}

Slideshow::Slideshow(DataSet &album, SlideHost &host, Prompter &prompter)
    : m_album(album), m_host(host), m_prompter(prompter)
{
}

bool Slideshow::hasPhoto() const
{
    // A photo of no bytes (a table written by another program) is no photo either.
    return m_album.recNo() >= 0 && m_album.blobSize(QStringLiteral("IMAGE")) > 0;
}

bool Slideshow::canStart(Prompter::Kind emptyRecord)
{
    // The slide stands on screen during a show already; a second command would count
    // the photo behind the show's back.
    if (m_running)
        return false;
    if (!m_album.active()) {
        m_prompter.warning(QStringLiteral("Database is not active."));
        return false;
    }
    if (!hasPhoto()) {
        m_prompter.message(emptyRecord, QStringLiteral("Empty record."), Prompter::Ok);
        return false;
    }
    return true;
}

void Slideshow::slide(bool autoScale)
{
    if (!canStart(Prompter::Kind::Warning))
        return;
    m_host.showSlide(autoScale);
    CountView(m_album);
}

void Slideshow::run(int waitSeconds)
{
    if (!canStart(Prompter::Kind::Information))
        return;
    m_running = true;
    // However the show ends, an engine error included, it is over.
    const auto over = qScopeGuard([this] { m_running = false; });
    m_stop = false;
    for (;;) {
        if (hasPhoto()) {
            // The workers start on the photos after this one while it is drawn.
            m_host.prepareNext();
            m_host.showSlide(true);
            if (waitSeconds > 0) {
                m_timeUp = false;
                m_host.startWaitTimer();
                while (!m_timeUp && !m_stop)
                    m_host.handleEvents(true);
            }
            m_host.handleEvents(false);
            if (m_stop)
                break;
            CountView(m_album);
        }
        // The show runs to the last record and stays there. The set's end is where a
        // move forward goes nowhere: the end-of-set flag alone would also be up on a
        // last record that was reached by the Last button, before any photo was shown.
        if (m_stop || !m_album.active())
            break;
        const int row = m_album.recNo();
        m_album.next();
        if (m_album.recNo() == row || !m_album.active())
            break;
    }
    if (!m_stop)
        m_host.closeSlide();
}

int waitTimeFromEntry(const QString &text, int current)
{
    if (text.isEmpty())
        return current;
    bool ok = false;
    const int seconds = text.trimmed().toInt(&ok);
    if (!ok)
        return kDefaultWaitTime;
    return std::clamp(seconds, 0, kLongestWaitTime);
}

} // namespace pictavo
