#pragma once

#include "base/prompter.h"

#include <QString>

namespace pictavo {

class DataSet;

// What the Slide and Slideshow commands need of the windows.
class SlideHost
{
public:
    virtual ~SlideHost() = default;
    // Draws the photo of the album's current record on the slide window, fitted and
    // centred or at full size, shows the window and paints it at once.
    virtual void showSlide(bool fitted) = 0;
    virtual void closeSlide() = 0;
    // Starts the wait timer; when it fires it calls Slideshow::timeUp().
    virtual void startWaitTimer() = 0;
    // The show goes on to the records after this photo: a chance to start on them,
    // called before the photo is drawn.
    virtual void prepareNext() {}
    // Handles the window events that are waiting; with `block`, first sleeps in the
    // event loop until there is one, so that a wait keeps no processor busy.
    virtual void handleEvents(bool block);
};

// The Slide command and the slideshow, apart from the windows that show them. A click
// on the slide (or Esc) calls stop(); the wait timer calls timeUp().
class Slideshow
{
public:
    Slideshow(DataSet &album, SlideHost &host, Prompter &prompter);

    // Shows the current record's photo, fitted when `autoScale`, and counts a view.
    void slide(bool autoScale);
    // Shows the photos from the current record to the last, always fitted, each for
    // `waitSeconds` and then counted, until the end of the set or a click. A record
    // without a photo on the way is passed over, neither shown nor counted. The album
    // is left on the last record, or on the one whose photo was clicked.
    void run(int waitSeconds);

    void timeUp() { m_timeUp = true; }
    void stop() { m_stop = true; }
    bool running() const { return m_running; }

private:
    bool hasPhoto() const;
    // Whether the current record can be shown; says why not, an empty record as `emptyRecord`.
    bool canStart(Prompter::Kind emptyRecord);

    DataSet &m_album;
    SlideHost &m_host;
    Prompter &m_prompter;
    bool m_stop = false;
    bool m_timeUp = false;
    bool m_running = false;
};

// The wait time the entry dialog's text gives: `current` for an empty text, 3 for one
// that is not a whole number, else the number brought into 0 to 10.
int waitTimeFromEntry(const QString &text, int current);

} // namespace pictavo
