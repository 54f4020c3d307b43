#include "widgets/scale_switch.h"

#include <QAction>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>

namespace pictavo {

QGroupBox *ScaleSwitch::createGroup(QWidget *parent)
{
    auto *group = new QGroupBox(QStringLiteral("Scale"), parent);
    group->setObjectName(QStringLiteral("radiogroupScale"));
    auto *row = new QHBoxLayout(group);
    m_radioAuto = new QRadioButton(QStringLiteral("Auto"), group);
    m_radioOneToOne = new QRadioButton(QStringLiteral("1/1"), group);
    m_radioAuto->setChecked(m_autoScale);
    m_radioOneToOne->setChecked(!m_autoScale);
    row->addWidget(m_radioAuto);
    row->addWidget(m_radioOneToOne);
    QObject::connect(m_radioAuto, &QRadioButton::clicked, group,
                     [this] { m_guard([this] { choose(false); }); });
    QObject::connect(m_radioOneToOne, &QRadioButton::clicked, group,
                     [this] { m_guard([this] { choose(true); }); });
    return group;
}

void ScaleSwitch::setMenuItem(QAction *autoScaleItem)
{
    m_menuItem = autoScaleItem;
    m_menuItem->setCheckable(true);
    m_menuItem->setChecked(m_autoScale);
}

void ScaleSwitch::setDisplayMode(bool autoMode)
{
    m_autoScale = autoMode;
    if (m_menuItem)
        m_menuItem->setChecked(autoMode);
    if (m_radioAuto)
        (autoMode ? m_radioAuto : m_radioOneToOne)->setChecked(true);
}

void ScaleSwitch::toggle()
{
    // The menu item has already flipped its own check mark: the mode kept here decides.
    setDisplayMode(!m_autoScale);
    m_draw(m_autoScale);
}

void ScaleSwitch::choose(bool oneToOne)
{
    m_autoScale = oneToOne; // toggle turns it round to the clicked item
    toggle();
}

void ScaleSwitch::redrawAuto()
{
    choose(false);
}

} // namespace pictavo
