#include "widgets/form_placement.h"

#include "base/regutl.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace pictavo {

namespace {

// value brought into [low, high]; low wins when the range is empty.
int between(int value, int low, int high)
{
    return std::max(low, std::min(value, high));
}

regutl::Placement placementOf(const QWidget *window)
{
    return {window->x(), window->y(), window->width(), window->height()};
}

} // namespace

QRect desktopArea()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableVirtualGeometry() : QRect();
}

void LoadFormPlacement(QWidget *window, const QString &keyPath)
{
    regutl::Placement placement =
        regutl::LoadFormPlacement(window->objectName(), keyPath, placementOf(window));
    // The stored bounds are fitted to the screens as they are now. A window larger than
    // all of them, or out of reach, is of no use, and one of absurd size cannot even be
    // drawn: the program would fail at every start until its settings were deleted. A
    // window partly off the screens stays where it was put, as long as a corner of it
    // can still be taken hold of, and its top edge is never above them.
    const QRect desk = desktopArea();
    if (desk.isValid()) {
        constexpr int kReachable = 48;
        const QSize least = window->minimumSize();
        placement.width = between(placement.width, least.width(), desk.width());
        placement.height = between(placement.height, least.height(), desk.height());
        placement.left = between(placement.left, desk.left() + kReachable - placement.width,
                                 desk.right() + 1 - kReachable);
        placement.top = between(placement.top, desk.top(), desk.bottom() + 1 - kReachable);
    }
    window->move(placement.left, placement.top);
    window->resize(placement.width, placement.height);
}

void SaveFormPlacement(const QWidget *window, const QString &keyPath)
{
    regutl::SaveFormPlacement(window->objectName(), keyPath, placementOf(window));
}

void CentreOnScreen(QWidget *window)
{
    const QScreen *onScreen =
        window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!onScreen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(onScreen->availableGeometry().center());
    window->move(frame.topLeft());
}

void PlaceAtFirstStart(QWidget *window, QSize size)
{
    window->resize(size);
    CentreOnScreen(window);
}

void DockPanel(QBoxLayout *row, QWidget *panel, bool right)
{
    row->removeWidget(panel);
    row->insertWidget(right ? 1 : 0, panel);
}

bool ReadPanelDockedRight(const QString &formKey)
{
    return regutl::ReadString(formKey, QStringLiteral("Panel_Layout"), QStringLiteral("Right")) ==
           QLatin1String("Right");
}

void WritePanelDockedRight(const QString &formKey, bool right)
{
    regutl::WriteString(formKey, QStringLiteral("Panel_Layout"),
                        right ? QStringLiteral("Right") : QStringLiteral("Left"));
}

} // namespace pictavo
