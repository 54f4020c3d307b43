#pragma once

#include <QStringList>
#include <functional>

class QWidget;

namespace pictavo {

// Lets a window take files and folders dropped on it from a file manager. `dropped` gets
// their local paths once the drop has ended, from the event loop, so that it may open a
// modal window without holding the file manager's drag.
void acceptFileDrops(QWidget *window, std::function<void(const QStringList &paths)> dropped);

} // namespace pictavo
