#include "widgets/db_navigator.h"

#include "db/dataset.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace pictavo {

namespace {

struct Look
{
    QStyle::StandardPixmap icon;
    const char *tip;
    const char *text = nullptr; // shown instead of an icon
};

Look lookOf(DbNavigator::Button button)
{
    switch (button) {
    case DbNavigator::First:
        return {QStyle::SP_MediaSkipBackward, "First record"};
    case DbNavigator::Prior:
        return {QStyle::SP_MediaSeekBackward, "Prior record"};
    case DbNavigator::Next:
        return {QStyle::SP_MediaSeekForward, "Next record"};
    case DbNavigator::Last:
        return {QStyle::SP_MediaSkipForward, "Last record"};
    case DbNavigator::Post:
        return {QStyle::SP_DialogApplyButton, "Post edit"};
    case DbNavigator::Cancel:
        return {QStyle::SP_DialogCancelButton, "Cancel edit"};
    case DbNavigator::Insert:
        return {QStyle::SP_CustomBase, "Insert record", "+"};
    case DbNavigator::Delete:
        return {QStyle::SP_CustomBase, "Delete record", "\u2212"};
    }
    return {QStyle::SP_CustomBase, ""};
}

} // namespace

DbNavigator::DbNavigator(DataSet &dataSet, QList<Button> buttons, Guard guard, QWidget *parent)
    : QWidget(parent), m_dataSet(dataSet), m_guard(std::move(guard))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (Button which : buttons) {
        auto *button = new QToolButton(this);
        const Look look = lookOf(which);
        if (look.text)
            button->setText(QString::fromUtf8(look.text));
        else
            button->setIcon(style()->standardIcon(look.icon));
        button->setToolTip(QString::fromLatin1(look.tip));
        button->setAccessibleName(QString::fromLatin1(look.tip));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(button, &QToolButton::clicked, this, [this, which] { click(which); });
        layout->addWidget(button);
        m_buttons.append({which, button});
    }
    m_listener = m_dataSet.addListener([this](const DataSet::Change &) { updateButtons(); });
    updateButtons();
}

DbNavigator::~DbNavigator()
{
    m_dataSet.removeListener(m_listener);
}

QToolButton *DbNavigator::button(Button which) const
{
    for (const auto &[kind, button] : m_buttons)
        if (kind == which)
            return button;
    return nullptr;
}

void DbNavigator::click(Button which)
{
    m_guard([this, which] {
        switch (which) {
        case First:
            m_dataSet.first();
            break;
        case Prior:
            m_dataSet.prior();
            break;
        case Next:
            m_dataSet.next();
            break;
        case Last:
            m_dataSet.last();
            break;
        case Post:
            m_dataSet.post();
            break;
        case Cancel:
            m_dataSet.cancel();
            break;
        case Insert:
            m_dataSet.append();
            break;
        case Delete:
            if (!confirmDelete || confirmDelete())
                m_dataSet.remove();
            break;
        }
    });
    updateButtons();
}

void DbNavigator::updateButtons()
{
    const bool active = m_dataSet.active();
    const bool editing = active && m_dataSet.state() != DataSet::State::Browse;
    const bool empty = !active || m_dataSet.isEmpty();
    for (const auto &[kind, button] : m_buttons) {
        bool enabled = false;
        switch (kind) {
        case First:
        case Prior:
            enabled = active && !empty && (editing || m_dataSet.recNo() > 0);
            break;
        case Next:
        case Last:
            enabled =
                active && !empty && (editing || m_dataSet.recNo() < m_dataSet.recordCount() - 1);
            break;
        case Post:
        case Cancel:
            enabled = editing;
            break;
        case Insert:
            enabled = active && m_dataSet.isLive();
            break;
        case Delete:
            enabled = active && m_dataSet.isLive() && !empty;
            break;
        }
        button->setEnabled(enabled);
    }
}

} // namespace pictavo
