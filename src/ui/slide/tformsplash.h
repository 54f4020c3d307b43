#pragma once

#include <QWidget>

class QLabel;

namespace pictavo {

// The window that covers the program's start-up: icon, title picture and copyright, no
// frame, on top, centred. It releases itself as soon as the program handles its queued
// events, which is when the main window waits for input or a start-up message box opens.
class TformSplash : public QWidget
{
    Q_OBJECT

public:
    // Creates the splash without an owner, shows it, paints it at once and queues its
    // release. The window deletes itself; the pointer is for watching it.
    static TformSplash *showAtStartup();

    QLabel *imageIcon = nullptr;
    QLabel *imageTitle = nullptr;
    QLabel *labelProgCopyright = nullptr;

private:
    TformSplash();
    // Hides the splash and deletes it as soon as no window of start-up depends on it.
    void release();
};

} // namespace pictavo
