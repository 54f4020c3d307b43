#include "app/form_placement.h"

#include "app/regutl.h"

#include <QWidget>

namespace pictavo {

namespace {

regutl::Placement placementOf(const QWidget *window)
{
    return {window->x(), window->y(), window->width(), window->height()};
}

} // namespace

void LoadFormPlacement(QWidget *window, const QString &keyPath)
{
    const regutl::Placement placement =
        regutl::LoadFormPlacement(window->objectName(), keyPath, placementOf(window));
    window->move(placement.left, placement.top);
    window->resize(placement.width, placement.height);
}

void SaveFormPlacement(const QWidget *window, const QString &keyPath)
{
    regutl::SaveFormPlacement(window->objectName(), keyPath, placementOf(window));
}

} // namespace pictavo
