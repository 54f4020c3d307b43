#pragma once

#include "db/table.h"
#include "filter/easy_filter_statement.h"

#include "filter/filter_window.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace pictavo {

class AlbumHost;

// The easy filter: builds a statement over the Photo Table from a prefix, a name and
// keywords, and runs it as the main window's Album Query.
class TformEasyFilter : public FilterWindow
{
    Q_OBJECT

public:
    TformEasyFilter(AlbumHost &album, Prompter &prompter, QWidget *parent = nullptr);
    // Resets every entry of the window.
    void ClearAll();

    // What the controls hold now, as the statement builder takes it. The operator and
    // the overall NOT are read from the Option menu, which the other controls follow.
    EasyFilterEntries entries() const;
    // 0 when "Matches on all words(AND)" is selected, 1 for "Matches on any word(OR)".
    int radiogroupItemIndex() const;

    void FormShow() override;
    void LoadKeywordToLists();

    void menuFileExecuteClick();
    void menuFileCloseClick();
    void menuEditClearClick();
    void menuOptionBoolANDClick();
    void menuOptionBoolORClick();
    void menuOptionBoolNOTClick();
    void radiogroupBoolAmongItemsClick();
    void checkboxBoolNOTClick();

    // The source of the keyword lists, bound to the Album Query's database directory.
    Table tableKeyword;

    QAction *menuFileExecute = nullptr;
    QAction *menuFileClose = nullptr;
    QAction *menuEditClear = nullptr;
    QAction *menuOptionBoolAND = nullptr;
    QAction *menuOptionBoolOR = nullptr;
    QAction *menuOptionBoolNOT = nullptr;
    QAction *menuHelpInEnglish = nullptr;
    QAction *menuHelpInJapanese = nullptr;
    QWidget *panelTop = nullptr;
    QLabel *labelPrefix = nullptr;
    QLineEdit *editPrefix = nullptr;
    QLabel *labelName = nullptr;
    QLineEdit *editName = nullptr;
    QGroupBox *groupboxKeyWord = nullptr;
    QWidget *panelKeyWordLeft = nullptr;
    QCheckBox *checkboxNot1 = nullptr;
    QCheckBox *checkboxNot2 = nullptr;
    QCheckBox *checkboxNot3 = nullptr;
    QComboBox *comboboxKeyWord1 = nullptr;
    QComboBox *comboboxKeyWord2 = nullptr;
    QComboBox *comboboxKeyWord3 = nullptr;
    QGroupBox *radiogroupBoolAmongItems = nullptr;
    QRadioButton *radioBoolAND = nullptr; // item 0
    QRadioButton *radioBoolOR = nullptr;  // item 1
    QCheckBox *checkboxBoolNOT = nullptr;
    QListWidget *checklistboxKeyWords = nullptr;
    QPushButton *bitbtnClear = nullptr;
    QPushButton *bitbtnExecute = nullptr;
    QPushButton *bitbtnClose = nullptr;

private:
    void createMenus();
    QWidget *createKeywordBox();
    void createButtons();
    void setRadiogroupItemIndex(int index);

    AlbumHost &m_album;
};

} // namespace pictavo
