#include "widgets/form_exists.h"

#include <QApplication>
#include <QWidget>

namespace pictavo {

bool FormExists(const QString &name)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(),
                       [&](const QWidget *window) { return window->objectName() == name; });
}

} // namespace pictavo
