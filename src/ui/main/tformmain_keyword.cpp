// The main window's side of the keyword windows: their commands, and keeping the keyword
// entry assistant's list on the current record.
#include "main/tformmain.h"
#include "widgets/form_exists.h"

#include <QAction>
#include <QLayout>
#include <QMenu>
#include <QPushButton>

namespace pictavo {

namespace {

const QString kAssistName = QStringLiteral("formKeywordAssist");

} // namespace

void TformMain::createKeywordCommands(QMenu *display)
{
    menuDisplayKeywordEdit = display->addAction(QStringLiteral("Keyword Edit(&D)"));
    connect(menuDisplayKeywordEdit, &QAction::triggered, this,
            [this] { guard([this] { menuDisplayKeywordEditClick(); }); });
    menuDisplayKeywordEdit->setVisible(false); // until the window exists
    menuDisplayKeywordAssist = display->addAction(QStringLiteral("Keyword Entry Assitant(&K)"));
    connect(menuDisplayKeywordAssist, &QAction::triggered, this,
            [this] { guard([this] { menuDisplayKeywordAssistClick(); }); });
    menuDisplayKeywordAssist->setVisible(false);
}

void TformMain::createAssistantButton(QLayout *panel)
{
    bitbtnAssistant = new QPushButton(QStringLiteral("Assistant"), panelCommand);
    bitbtnAssistant->setObjectName(QStringLiteral("bitbtnAssistant"));
    connect(bitbtnAssistant, &QPushButton::clicked, this,
            [this] { guard([this] { menuDisplayKeywordAssistClick(); }); });
    bitbtnAssistant->setVisible(false); // until start-up hands in the assistant
    panel->addWidget(bitbtnAssistant);
}

void TformMain::setKeywordAssist(std::function<KeywordAssistWindow *(QWidget *parent)> make)
{
    m_makeKeywordAssist = std::move(make);
    menuDisplayKeywordAssist->setVisible(bool(m_makeKeywordAssist));
    bitbtnAssistant->setVisible(bool(m_makeKeywordAssist));
}

void TformMain::setKeywordEdit(QDialog *form)
{
    m_keywordEdit = form;
    menuDisplayKeywordEdit->setVisible(form != nullptr);
}

void TformMain::menuDisplayKeywordEditClick()
{
    if (m_keywordEdit && requireWritableDatabase())
        m_keywordEdit->exec();
}

void TformMain::menuDisplayKeywordAssistClick()
{
    if (!m_makeKeywordAssist || !requireDatabase())
        return;
    if (!FormExists(kAssistName) || !m_keywordAssist)
        m_keywordAssist = m_makeKeywordAssist(this);
    m_keywordAssist->show();
    m_keywordAssist->raise();
}

void TformMain::reloadKeywordAssist(bool bringForward)
{
    if (!m_keywordAssist || !FormExists(kAssistName))
        return;
    // Called from the Album Query's hooks: a failure is reported here, so that it does not
    // pass for a failure of the move or post that ran them.
    guard([this, bringForward] {
        if (bringForward) {
            m_keywordAssist->show(); // to the front, but the main window keeps the keyboard
            m_keywordAssist->raise();
        }
        m_keywordAssist->LoadKeywordToListBox();
    });
}

} // namespace pictavo
