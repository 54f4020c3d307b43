#include "filter/filter_window.h"

#include "widgets/error_report.h"
#include "widgets/form_placement.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QVBoxLayout>

namespace pictavo {

FilterWindow::FilterWindow(const QString &objectName, const QString &caption, Prompter &prompter,
                           QWidget *parent)
    : QDialog(parent), m_prompter(prompter)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setSizeGripEnabled(false);
    m_column = new QVBoxLayout(this);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(0);
    menuBar = new QMenuBar(this);
    m_column->setMenuBar(menuBar);
}

QAction *FilterWindow::addCommand(QMenu *menu, const QString &caption,
                                  std::function<void()> handler)
{
    QAction *action = menu->addAction(caption);
    connect(action, &QAction::triggered, this, [this, handler] { guard(handler); });
    return action;
}

QPushButton *FilterWindow::addButton(const QString &caption, const QString &objectName,
                                     std::function<void()> handler)
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(objectName);
    button->setMinimumWidth(88);
    connect(button, &QPushButton::clicked, this, [this, handler] { guard(handler); });
    m_buttons << button;
    return button;
}

void FilterWindow::finishBottom()
{
    panelBottom = new QWidget(this);
    panelBottom->setObjectName(QStringLiteral("panelBottom"));
    // The row is a panel of its own size placed by FormResize rather than by a layout.
    panelButtons = new QWidget(panelBottom);
    panelButtons->setObjectName(QStringLiteral("panelButtons"));
    auto *row = new QHBoxLayout(panelButtons);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    for (QPushButton *button : std::as_const(m_buttons)) {
        button->setParent(panelButtons);
        row->addWidget(button);
    }
    panelButtons->adjustSize();
    constexpr int kMargin = 6;
    panelButtons->move(0, kMargin);
    panelBottom->setFixedHeight(panelButtons->height() + 2 * kMargin);
    panelBottom->setMinimumWidth(0);
    panelBottom->installEventFilter(this);
    m_column->addWidget(panelBottom);

    barStatus = new QStatusBar(this);
    barStatus->setObjectName(QStringLiteral("barStatus"));
    barStatus->setSizeGripEnabled(false);
    m_column->addWidget(barStatus);
}

void FilterWindow::FormResize()
{
    const int left = panelBottom->width() / 2 - panelButtons->width() / 2;
    panelButtons->move(std::max(0, left), panelButtons->y());
}

bool FilterWindow::guard(const std::function<void()> &command)
{
    return runGuarded(m_prompter, command);
}

void FilterWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    CentreOnScreen(this);
    guard([this] { FormShow(); });
}

bool FilterWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == panelBottom && event->type() == QEvent::Resize)
        FormResize();
    return QDialog::eventFilter(watched, event);
}

} // namespace pictavo
