#include "slide/tformsplash.h"

#include "info/version_info.h"
#include "widgets/main_logo.h"
#include "widgets/program_icon.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace pictavo {

namespace {

constexpr int kClientWidth = 392;
constexpr int kClientHeight = 152;
constexpr int kTitleWidth = 128; // the main window's logo at 128 x 48

} // namespace

TformSplash::TformSplash()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("formSplash"));
    setWindowTitle(QStringLiteral("Splash"));
    // Never the active window: a start-up message box must not take the splash as its
    // parent, or it would go with it.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    setFixedSize(kClientWidth, kClientHeight);
    setCursor(Qt::BusyCursor);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    // One thin line round the window (the style's own frame is too faint to see).
    panel->setStyleSheet(QStringLiteral("QFrame#Panel1 { border: 1px solid #1d335c; }"));
    outer->addWidget(panel);

    auto *column = new QVBoxLayout(panel);
    auto *row = new QHBoxLayout;
    imageIcon = new QLabel(panel);
    imageIcon->setObjectName(QStringLiteral("imageIcon"));
    imageIcon->setPixmap(programIcon().pixmap(32, 32));
    imageIcon->setFixedSize(32, 32);
    imageIcon->setAccessibleName(QStringLiteral("Pictavo icon"));
    imageTitle = new QLabel(panel);
    imageTitle->setObjectName(QStringLiteral("imageTitle"));
    imageTitle->setPixmap(mainLogo(kTitleWidth));
    imageTitle->setAccessibleName(QStringLiteral("Pictavo"));
    row->addStretch();
    row->addWidget(imageIcon, 0, Qt::AlignVCenter);
    row->addSpacing(12);
    row->addWidget(imageTitle, 0, Qt::AlignVCenter);
    row->addStretch();
    column->addStretch();
    column->addLayout(row);
    column->addSpacing(10);

    labelProgCopyright = new QLabel(
        QStringLiteral("Copyright ") + ReadVersionString(QStringLiteral("LegalCopyright")), panel);
    labelProgCopyright->setObjectName(QStringLiteral("labelProgCopyright"));
    QFont bold = labelProgCopyright->font();
    bold.setBold(true);
    labelProgCopyright->setFont(bold);
    labelProgCopyright->setAlignment(Qt::AlignCenter);
    column->addWidget(labelProgCopyright);
    column->addStretch();

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

TformSplash *TformSplash::showAtStartup()
{
    auto *splash = new TformSplash;
    splash->show();
    // Paint now, before start-up blocks: wait (briefly) for the window system to map the
    // window, handling nothing but what that needs.
    const QDeadlineTimer deadline(500);
    while (splash->windowHandle() && !splash->windowHandle()->isExposed() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    splash->repaint();
    // The queued release: it runs when the program next handles its events, i.e. once
    // the main window waits for input, or inside the first message box of start-up.
    QTimer::singleShot(0, splash, &TformSplash::release);
    return splash;
}

void TformSplash::release()
{
    hide();
    // A start-up message box may have taken the splash as its parent while it was the
    // active window; the splash goes only once no such window is left open on it.
    for (const QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() && child->isVisible()) {
            QTimer::singleShot(50, this, &TformSplash::release);
            return;
        }
    }
    deleteLater();
}

} // namespace pictavo
