#include "filter/tformeasyfilter.h"

#include "album/album_host.h"
#include "base/prompter.h"
#include "db/engine_error.h"
#include "db/query.h"
#include "keyword/keyword_table.h"
#include "widgets/help_menu.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pictavo {

namespace {

QComboBox *keywordComboBox(QWidget *parent, const QString &objectName)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(objectName);
    box->setEditable(true);
    // The text is used as typed: Enter runs the query rather than adding the text to the
    // list, and no completion adds letters the user did not type.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    box->setMinimumWidth(160);
    return box;
}

QCheckBox *notBox(QWidget *parent, const QString &objectName)
{
    auto *box = new QCheckBox(QStringLiteral("NOT"), parent);
    box->setObjectName(objectName);
    return box;
}

} // namespace

TformEasyFilter::TformEasyFilter(AlbumHost &album, Prompter &prompter, QWidget *parent)
    : FilterWindow(QStringLiteral("formEasyFilter"), QStringLiteral("Easy Filter"), prompter,
                   parent),
      m_album(album)
{
    tableKeyword.setTableName(QStringLiteral("KEYWORD.DB"));
    createMenus();

    panelTop = new QWidget(this);
    panelTop->setObjectName(QStringLiteral("panelTop"));
    auto *top = new QHBoxLayout(panelTop);
    labelPrefix = new QLabel(QStringLiteral("Prefix :"), panelTop);
    labelPrefix->setObjectName(QStringLiteral("labelPrefix"));
    editPrefix = new QLineEdit(panelTop);
    editPrefix->setObjectName(QStringLiteral("editPrefix"));
    labelName = new QLabel(QStringLiteral("Name :"), panelTop);
    labelName->setObjectName(QStringLiteral("labelName"));
    editName = new QLineEdit(panelTop);
    editName->setObjectName(QStringLiteral("editName"));
    labelPrefix->setBuddy(editPrefix);
    labelName->setBuddy(editName);
    top->addWidget(labelPrefix);
    top->addWidget(editPrefix, 1);
    top->addSpacing(12);
    top->addWidget(labelName);
    top->addWidget(editName, 2);
    column()->addWidget(panelTop);

    column()->addWidget(createKeywordBox(), 1);
    createButtons();
    resize(560, 400);
}

void TformEasyFilter::createMenus()
{
    auto command = [this](QMenu *menu, const QString &caption, void (TformEasyFilter::*handler)()) {
        return addCommand(menu, caption, [this, handler] { (this->*handler)(); });
    };
    QMenu *file = menuBar->addMenu(QStringLiteral("File(&F)"));
    menuFileExecute =
        command(file, QStringLiteral("Execute(&E)"), &TformEasyFilter::menuFileExecuteClick);
    menuFileClose =
        command(file, QStringLiteral("Close(&C)"), &TformEasyFilter::menuFileCloseClick);
    QMenu *editMenu = menuBar->addMenu(QStringLiteral("Edit(&E)"));
    menuEditClear =
        command(editMenu, QStringLiteral("Clear(&C)"), &TformEasyFilter::menuEditClearClick);
    QMenu *option = menuBar->addMenu(QStringLiteral("Option(&O)"));
    menuOptionBoolAND =
        command(option, QStringLiteral("AND(&A)"), &TformEasyFilter::menuOptionBoolANDClick);
    menuOptionBoolOR =
        command(option, QStringLiteral("OR(&O)"), &TformEasyFilter::menuOptionBoolORClick);
    option->addSeparator();
    menuOptionBoolNOT = option->addAction(QStringLiteral("NOT for all items(&N)"));
    // Qt flips a checkable item's tick before the handler runs; the handler does the
    // inverting itself, so Qt's flip is undone first.
    connect(menuOptionBoolNOT, &QAction::triggered, this, [this] {
        menuOptionBoolNOT->setChecked(!menuOptionBoolNOT->isChecked());
        guard([this] { menuOptionBoolNOTClick(); });
    });
    for (QAction *action : {menuOptionBoolAND, menuOptionBoolOR, menuOptionBoolNOT})
        action->setCheckable(true);
    menuOptionBoolAND->setChecked(true);

    const HelpMenuItems help = addHelpMenu(menuBar, m_prompter, QStringLiteral("easyfilter"));
    menuHelpInEnglish = help.english;
    menuHelpInJapanese = help.japanese;
}

QWidget *TformEasyFilter::createKeywordBox()
{
    groupboxKeyWord = new QGroupBox(QStringLiteral("Key Word"), this);
    groupboxKeyWord->setObjectName(QStringLiteral("groupboxKeyWord"));
    auto *row = new QHBoxLayout(groupboxKeyWord);

    panelKeyWordLeft = new QWidget(groupboxKeyWord);
    panelKeyWordLeft->setObjectName(QStringLiteral("panelKeyWordLeft"));
    auto *left = new QGridLayout(panelKeyWordLeft);
    left->setContentsMargins(0, 0, 0, 0);
    checkboxNot1 = notBox(panelKeyWordLeft, QStringLiteral("checkboxNot1"));
    checkboxNot2 = notBox(panelKeyWordLeft, QStringLiteral("checkboxNot2"));
    checkboxNot3 = notBox(panelKeyWordLeft, QStringLiteral("checkboxNot3"));
    comboboxKeyWord1 = keywordComboBox(panelKeyWordLeft, QStringLiteral("comboboxKeyWord1"));
    comboboxKeyWord2 = keywordComboBox(panelKeyWordLeft, QStringLiteral("comboboxKeyWord2"));
    comboboxKeyWord3 = keywordComboBox(panelKeyWordLeft, QStringLiteral("comboboxKeyWord3"));
    left->addWidget(checkboxNot1, 0, 0);
    left->addWidget(comboboxKeyWord1, 0, 1);
    left->addWidget(checkboxNot2, 1, 0);
    left->addWidget(comboboxKeyWord2, 1, 1);
    left->addWidget(checkboxNot3, 2, 0);
    left->addWidget(comboboxKeyWord3, 2, 1);

    radiogroupBoolAmongItems = new QGroupBox(panelKeyWordLeft);
    radiogroupBoolAmongItems->setObjectName(QStringLiteral("radiogroupBoolAmongItems"));
    auto *radios = new QVBoxLayout(radiogroupBoolAmongItems);
    radioBoolAND =
        new QRadioButton(QStringLiteral("Matches on all words(AND)"), radiogroupBoolAmongItems);
    radioBoolOR =
        new QRadioButton(QStringLiteral("Matches on any word(OR)"), radiogroupBoolAmongItems);
    radioBoolAND->setChecked(true);
    radios->addWidget(radioBoolAND);
    radios->addWidget(radioBoolOR);
    // Whichever way an item gets selected (click, arrow keys, the Option menu), the menu
    // follows; from the menu the handler finds everything in step already.
    for (QRadioButton *radio : {radioBoolAND, radioBoolOR})
        connect(radio, &QRadioButton::toggled, this, [this](bool selected) {
            if (selected)
                guard([this] { radiogroupBoolAmongItemsClick(); });
        });
    left->addWidget(radiogroupBoolAmongItems, 3, 0, 1, 2);

    checkboxBoolNOT = new QCheckBox(QStringLiteral("NOT for all items"), panelKeyWordLeft);
    checkboxBoolNOT->setObjectName(QStringLiteral("checkboxBoolNOT"));
    connect(checkboxBoolNOT, &QCheckBox::clicked, this,
            [this] { guard([this] { checkboxBoolNOTClick(); }); });
    left->addWidget(checkboxBoolNOT, 4, 0, 1, 2);
    left->setRowStretch(5, 1);
    row->addWidget(panelKeyWordLeft);

    checklistboxKeyWords = new QListWidget(groupboxKeyWord);
    checklistboxKeyWords->setObjectName(QStringLiteral("checklistboxKeyWords"));
    row->addWidget(checklistboxKeyWords, 1);
    return groupboxKeyWord;
}

void TformEasyFilter::createButtons()
{
    bitbtnClear = addButton(QStringLiteral("All Clear"), QStringLiteral("bitbtnClear"),
                            [this] { menuEditClearClick(); });
    bitbtnExecute = addButton(QStringLiteral("Query"), QStringLiteral("bitbtnExecute"),
                              [this] { menuFileExecuteClick(); });
    bitbtnClose = addButton(QStringLiteral("Close"), QStringLiteral("bitbtnClose"),
                            [this] { menuFileCloseClick(); });
    finishBottom();
    // Enter anywhere runs the query; Esc (the dialog's reject) closes.
    bitbtnClear->setAutoDefault(false);
    bitbtnClose->setAutoDefault(false);
    bitbtnExecute->setDefault(true);
}

void TformEasyFilter::FormShow()
{
    if (m_album.albumQuery().active())
        LoadKeywordToLists();
}

void TformEasyFilter::LoadKeywordToLists()
{
    tableKeyword.close();
    tableKeyword.setDatabaseName(m_album.albumQuery().databaseName());
    const QStringList keywords = readAllKeywords(tableKeyword);
    if (keywords.isEmpty())
        return; // the lists keep what they held
    for (QComboBox *box : {comboboxKeyWord1, comboboxKeyWord2, comboboxKeyWord3}) {
        const QString typed = box->currentText();
        box->clear();
        box->addItems(keywords);
        box->setEditText(typed);
    }
    checklistboxKeyWords->clear();
    for (const QString &keyword : keywords) {
        auto *item = new QListWidgetItem(keyword, checklistboxKeyWords);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

EasyFilterEntries TformEasyFilter::entries() const
{
    EasyFilterEntries e;
    e.prefix = editPrefix->text();
    e.name = editName->text();
    const QComboBox *boxes[3] = {comboboxKeyWord1, comboboxKeyWord2, comboboxKeyWord3};
    const QCheckBox *nots[3] = {checkboxNot1, checkboxNot2, checkboxNot3};
    for (int i = 0; i < 3; ++i) {
        e.keyword[i] = boxes[i]->currentText();
        e.notKeyword[i] = nots[i]->isChecked();
    }
    for (int row = 0; row < checklistboxKeyWords->count(); ++row) {
        const QListWidgetItem *item = checklistboxKeyWords->item(row);
        if (item->checkState() == Qt::Checked)
            e.tickedKeywords << item->text();
    }
    e.useAnd = menuOptionBoolAND->isChecked();
    e.notAll = menuOptionBoolNOT->isChecked();
    return e;
}

void TformEasyFilter::menuFileExecuteClick()
{
    Query &album = m_album.albumQuery();
    // A refused statement leaves the query closed and goes to the error report as it is.
    // When the records were read but the first photo could not be shown, the count is
    // still brought up to date before that error is reported. A stopped one brings back
    // the records shown before.
    try {
        album.openInstead(buildEasyFilterStatement(entries()));
    } catch (const QueryStopped &stopped) {
        m_album.showRecordCount();
        m_prompter.information(stopped.text());
        return;
    } catch (...) {
        if (album.active())
            m_album.showRecordCount();
        throw;
    }
    m_album.showRecordCount();
}

void TformEasyFilter::menuFileCloseClick()
{
    reject();
}

void TformEasyFilter::menuEditClearClick()
{
    ClearAll();
}

void TformEasyFilter::ClearAll()
{
    editPrefix->clear();
    editName->clear();
    for (QCheckBox *box : {checkboxNot1, checkboxNot2, checkboxNot3})
        box->setChecked(false);
    for (QComboBox *box : {comboboxKeyWord1, comboboxKeyWord2, comboboxKeyWord3})
        box->setEditText(QString());
    for (int row = 0; row < checklistboxKeyWords->count(); ++row)
        checklistboxKeyWords->item(row)->setCheckState(Qt::Unchecked);
    checklistboxKeyWords->viewport()->update();
    menuOptionBoolANDClick();
    menuOptionBoolNOT->setChecked(false);
    checkboxBoolNOT->setChecked(false);
}

int TformEasyFilter::radiogroupItemIndex() const
{
    return radioBoolOR->isChecked() ? 1 : 0;
}

void TformEasyFilter::setRadiogroupItemIndex(int index)
{
    (index == 0 ? radioBoolAND : radioBoolOR)->setChecked(true);
}

void TformEasyFilter::menuOptionBoolANDClick()
{
    menuOptionBoolAND->setChecked(true);
    menuOptionBoolOR->setChecked(false);
    setRadiogroupItemIndex(0);
}

void TformEasyFilter::menuOptionBoolORClick()
{
    menuOptionBoolAND->setChecked(false);
    menuOptionBoolOR->setChecked(true);
    setRadiogroupItemIndex(1);
}

void TformEasyFilter::radiogroupBoolAmongItemsClick()
{
    menuOptionBoolAND->setChecked(radiogroupItemIndex() == 0);
    menuOptionBoolOR->setChecked(radiogroupItemIndex() != 0);
}

void TformEasyFilter::menuOptionBoolNOTClick()
{
    menuOptionBoolNOT->setChecked(!menuOptionBoolNOT->isChecked());
    checkboxBoolNOT->setChecked(menuOptionBoolNOT->isChecked());
}

void TformEasyFilter::checkboxBoolNOTClick()
{
    menuOptionBoolNOT->setChecked(checkboxBoolNOT->isChecked());
}

} // namespace pictavo
