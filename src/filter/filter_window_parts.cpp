#include "filter/filter_window_parts.h"

#include <QDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>

namespace pictavo {

void setUpFilterWindow(QDialog *window, const QString &objectName, const QString &caption)
{
    window->setObjectName(objectName);
    window->setWindowTitle(caption);
    window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    window->setSizeGripEnabled(false);
}

ButtonPanel makeButtonPanel(QWidget *parent, const QList<QPushButton *> &buttons)
{
    ButtonPanel panel;
    panel.panelBottom = new QWidget(parent);
    panel.panelBottom->setObjectName(QStringLiteral("panelBottom"));
    panel.panelButtons = new QWidget(panel.panelBottom);
    panel.panelButtons->setObjectName(QStringLiteral("panelButtons"));
    auto *row = new QHBoxLayout(panel.panelButtons);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    for (QPushButton *button : buttons) {
        button->setParent(panel.panelButtons);
        button->setMinimumWidth(88);
        row->addWidget(button);
    }
    panel.panelButtons->adjustSize();
    constexpr int kMargin = 6;
    panel.panelButtons->move(0, kMargin);
    panel.panelBottom->setFixedHeight(panel.panelButtons->height() + 2 * kMargin);
    panel.panelBottom->setMinimumWidth(0);
    return panel;
}

void centreButtonPanel(QWidget *panelBottom, QWidget *panelButtons)
{
    const int left = panelBottom->width() / 2 - panelButtons->width() / 2;
    panelButtons->move(std::max(0, left), panelButtons->y());
}

void centreOnScreen(QWidget *window)
{
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

} // namespace pictavo
