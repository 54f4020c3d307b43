#include "widgets/file_drop.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace pictavo {
namespace {

QStringList localPaths(const QMimeData *mime)
{
    QStringList paths;
    if (mime == nullptr || !mime->hasUrls())
        return paths;
    for (const QUrl &url : mime->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

class FileDropFilter : public QObject
{
public:
    FileDropFilter(QWidget *window, std::function<void(const QStringList &)> dropped)
        : QObject(window), m_window(window), m_dropped(std::move(dropped))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window)
            return false;
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDropEvent *>(event);
            if (localPaths(drag->mimeData()).isEmpty())
                return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            const QStringList paths = localPaths(drop->mimeData());
            if (paths.isEmpty())
                return false;
            drop->acceptProposedAction();
            QPointer<QWidget> window = m_window;
            auto dropped = m_dropped;
            QTimer::singleShot(0, m_window, [window, dropped, paths] {
                if (window)
                    dropped(paths);
            });
            return true;
        }
        default:
            return false;
        }
    }

private:
    QWidget *m_window;
    std::function<void(const QStringList &)> m_dropped;
};

} // namespace

void acceptFileDrops(QWidget *window, std::function<void(const QStringList &paths)> dropped)
{
    window->setAcceptDrops(true);
    window->installEventFilter(new FileDropFilter(window, std::move(dropped)));
}

} // namespace pictavo
