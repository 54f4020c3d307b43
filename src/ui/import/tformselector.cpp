#include "import/tformselector.h"

#include "base/regutl.h"
#include "import/directory_list_box.h"
#include "import/file_list_box.h"
#include "picture/picture_fit.h"
#include "widgets/draw_picture.h"
#include "widgets/error_report.h"
#include "widgets/file_drop.h"
#include "widgets/form_placement.h"
#include "widgets/help_menu.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QStorageInfo>
#include <QVBoxLayout>

namespace pictavo {

namespace {

constexpr int kPanelWidth = 320;
const QString kFormKey = regutl::formKey(regutl::kSettingsKey, QStringLiteral("formSelector"));
const QString kKeywordsFromFiles = QStringLiteral("Keywords_From_Files");

template <typename Widget> Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

TformSelector::TformSelector(AlbumHost &album, Prompter &prompter, QWidget *parent)
    : ImportWindow(parent), m_prompter(prompter), m_album(album), m_pipeline(m_album, *this, prompter),
      m_scale([this](const std::function<void()> &command) { return guard(command); },
              [this](bool autoMode) {
                  DrawPicture(m_pipeline.imageTmp, imageViewArea, scrollboxViewArea, autoMode);
              })
{
    setObjectName(QStringLiteral("formSelector"));
    setWindowTitle(QStringLiteral("Inport Photo File"));
    // No system menu: the title bar carries no buttons, the window closes by its commands.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setSizeGripEnabled(true);
    tableKeyWord.setTableName(QStringLiteral("KEYWORD.DB"));

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    createMenus();
    outer->setMenuBar(menuBar);

    m_body = new QWidget(this);
    auto *row = new QHBoxLayout(m_body);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    scrollboxViewArea = named(new QScrollArea(m_body), "scrollboxViewArea");
    scrollboxViewArea->setFrameShape(QFrame::NoFrame);
    scrollboxViewArea->setBackgroundRole(QPalette::Mid);
    imageViewArea = named(new QLabel, "imageViewArea");
    setUpPictureArea(scrollboxViewArea, imageViewArea);
    // The area changes size only with the window: the preview is fitted again.
    scrollboxViewArea->installEventFilter(this);
    // A preview is decoded only as large as it is shown, here and, once stored, in the
    // main window, so that one decode serves both.
    m_pipeline.previewAreas = [this] {
        return QList<QSize>{scrollboxViewArea->size(), m_album.pictureAreaSize()};
    };
    createPanel();
    row->addWidget(scrollboxViewArea, 1);
    row->addWidget(panelCommand);
    outer->addWidget(m_body, 1);

    panelStatusBar = named(new QStatusBar(this), "panelStatusBar");
    panelStatusBar->setSizeGripEnabled(false);
    labelKeywordWarnings = named(new QLabel(panelStatusBar), "labelKeywordWarnings");
    panelStatusBar->addPermanentWidget(labelKeywordWarnings);
    outer->addWidget(panelStatusBar);
    m_pipeline.onOutcome = [this](const ImportOutcome &outcome) {
        if (outcome.keywordWarnings.isEmpty())
            return;
        m_keywordWarnings << QStringLiteral("\"%1\": %2")
                                 .arg(outcome.entry,
                                      outcome.keywordWarnings.join(QStringLiteral("; ")));
        labelKeywordWarnings->setText(
            QStringLiteral("Keywords of %1 files passed over").arg(m_keywordWarnings.size()));
        labelKeywordWarnings->setToolTip(m_keywordWarnings.join(QLatin1Char('\n')));
    };

    // The design bounds are what a missing placement value falls back on.
    resize(576, 385);
    if (regutl::KeyExists(kFormKey)) {
        LoadFormPlacement(this, regutl::kSettingsKey);
        LoadPanelLayout();
        checkboxKeywordsFromFiles->setChecked(
            regutl::ReadString(kFormKey, kKeywordsFromFiles, QString()) == QLatin1String("On"));
    } else {
        PlaceAtFirstStart(this, QSize(640, 480));
        setPanelDockedRight(true);
    }
    m_scale.setDisplayMode(true);
    listboxFile->setMask(QStringLiteral("*.jpg;*.jpeg"));
    editPrefix->clear();
    fillDrives();
    moveToDirectory(QDir::currentPath());
    setImporting(false);
    acceptFileDrops(this, [this](const QStringList &paths) {
        guard([this, &paths] { selectDroppedFiles(paths); });
    });
}

TformSelector::~TformSelector()
{
    // A settings file that cannot be written is reported, never thrown out of here.
    guard([this] {
        if (!regutl::KeyExists(regutl::kSettingsKey))
            return;
        SaveFormPlacement(this, regutl::kSettingsKey);
        SavePanelLayout();
        regutl::WriteString(kFormKey, kKeywordsFromFiles,
                            checkboxKeywordsFromFiles->isChecked() ? QStringLiteral("On")
                                                                   : QStringLiteral("Off"));
    });
}

void TformSelector::createMenus()
{
    menuBar = new QMenuBar(this);
    auto command = [this](QMenu *menu, const char *name, const QString &caption,
                          void (TformSelector::*handler)()) {
        QAction *action = named(menu->addAction(caption), name);
        connect(action, &QAction::triggered, this,
                [this, handler] { guard([this, handler] { (this->*handler)(); }); });
        return action;
    };
    QMenu *file = menuBar->addMenu(QStringLiteral("File(&F)"));
    menuFileOpen = command(file, "menuFileOpen", QStringLiteral("Open(&O)..."),
                           &TformSelector::menuFileOpenClick);
    menuFileSelectAll = command(file, "menuFileSelectAll", QStringLiteral("Select all files(&S)"),
                                &TformSelector::menuFileSelectAllClick);
    file->addSeparator();
    menuFileInport = command(file, "menuFileInport", QStringLiteral("Inport Selected file(&I)"),
                             &TformSelector::menuFileInportClick);
    menuFileCancelInport =
        command(file, "menuFileCancelInport", QStringLiteral("Cancel Inporting(&C)"),
                &TformSelector::menuFileCancelInportClick);
    file->addSeparator();
    menuFileExit = command(file, "menuFileExit", QStringLiteral("Close(&X)"),
                           &TformSelector::menuFileExitClick);

    QMenu *edit = menuBar->addMenu(QStringLiteral("Edit(&E)"));
    menuEditRefreshList = command(edit, "menuEditRefreshList", QStringLiteral("Refresh List(&R)"),
                                  &TformSelector::LoadKeywordToListBox);

    QMenu *option = m_menuOption = menuBar->addMenu(QStringLiteral("Option(&O)"));
    menuOptionLayout =
        command(option, "menuOptionLayout", QStringLiteral("Change Panel Layout(&L)"),
                &TformSelector::menuOptionLayoutClick);
    menuOptionAutoScale = command(option, "menuOptionAutoScale", QStringLiteral("Auto Scale(&A)"),
                                  &TformSelector::menuOptionAutoScaleClick);
    m_scale.setMenuItem(menuOptionAutoScale);
    menuOptionRemoveAfterInport = command(option, "menuOptionRemoveAfterInport",
                                          QStringLiteral("Remove file after inport(&R)"),
                                          &TformSelector::menuOptionRemoveAfterInportClick);
    menuOptionRemoveAfterInport->setCheckable(true);
    menuOptionRemoveAfterInport->setChecked(true);

    const HelpMenuItems help = addHelpMenu(menuBar, m_prompter, QStringLiteral("inportfile"));
    m_menuHelp = help.menu;
    menuHelpInEng = help.english;
    menuHelpInJap = help.japanese;
}

void TformSelector::createPanel()
{
    panelCommand = named(new QWidget(m_body), "panelCommand");
    panelCommand->setFixedWidth(kPanelWidth);
    auto *column = new QVBoxLayout(panelCommand);
    column->setContentsMargins(4, 4, 4, 4);
    panelTop = named(new QWidget(panelCommand), "panelTop");
    auto *grid = new QGridLayout(panelTop);
    grid->setContentsMargins(0, 0, 0, 0);

    radiogroupScale = m_scale.createGroup(panelTop);
    radioAuto = m_scale.radioAuto();
    radioOneToOne = m_scale.radioOneToOne();
    checkboxRemoveAfterInport =
        named(new QCheckBox(QStringLiteral("Remove file after inport"), panelTop),
              "checkboxRemoveAfterInport");
    checkboxRemoveAfterInport->setChecked(true);
    connect(checkboxRemoveAfterInport, &QCheckBox::clicked, this,
            [this] { guard([this] { checkboxRemoveAfterInportClick(); }); });
    // The check box's caption is wider than half the panel: the two share the row as needed.
    auto *top = new QHBoxLayout;
    top->addWidget(radiogroupScale);
    top->addWidget(checkboxRemoveAfterInport, 1);
    grid->addLayout(top, 0, 0, 1, 2);

    labelPrefix = named(new QLabel(QStringLiteral("Prefix:"), panelTop), "labelPrefix");
    editPrefix = named(new QLineEdit(panelTop), "editPrefix");
    labelPrefix->setBuddy(editPrefix);
    labelKeyword = named(new QLabel(QStringLiteral("Keyword:"), panelTop), "labelKeyword");
    editKeyWord = named(new QLineEdit(panelTop), "editKeyWord");
    labelKeyword->setBuddy(editKeyWord);
    grid->addWidget(labelPrefix, 1, 0);
    grid->addWidget(labelKeyword, 1, 1);
    grid->addWidget(editPrefix, 2, 0);
    grid->addWidget(editKeyWord, 2, 1);

    grid->addWidget(createFolderColumn(panelTop), 3, 0);
    checklistboxKeyWords = named(new QListWidget(panelTop), "checklistboxKeyWords");
    checklistboxKeyWords->setFixedHeight(130);
    grid->addWidget(checklistboxKeyWords, 3, 1);
    checkboxKeywordsFromFiles =
        named(new QCheckBox(QStringLiteral("Take keywords from the files"), panelTop),
              "checkboxKeywordsFromFiles");
    // Wider than the list's column: it takes the row, under the list.
    grid->addWidget(checkboxKeywordsFromFiles, 4, 0, 1, 2, Qt::AlignRight);

    progressbarInport = named(new QProgressBar(panelTop), "progressbarInport");
    progressbarInport->setRange(0, 1);
    progressbarInport->setValue(0);
    progressbarInport->setTextVisible(false);
    bitbtnRefresh =
        named(new QPushButton(QStringLiteral("Refresh List"), panelTop), "bitbtnRefresh");
    connect(bitbtnRefresh, &QPushButton::clicked, this,
            [this] { guard([this] { LoadKeywordToListBox(); }); });
    grid->addWidget(progressbarInport, 5, 0);
    grid->addWidget(bitbtnRefresh, 5, 1);

    auto *buttons = new QHBoxLayout;
    bitbtnAppend = named(new QPushButton(QStringLiteral("Inport"), panelTop), "bitbtnAppend");
    bitbtnCancel = named(new QPushButton(QStringLiteral("Abort"), panelTop), "bitbtnCancel");
    bitbtnClose = named(new QPushButton(QStringLiteral("Close"), panelTop), "bitbtnClose");
    bitbtnClose->setDefault(true);
    connect(bitbtnAppend, &QPushButton::clicked, this,
            [this] { guard([this] { menuFileInportClick(); }); });
    connect(bitbtnCancel, &QPushButton::clicked, this,
            [this] { guard([this] { bitbtnCancelClick(); }); });
    connect(bitbtnClose, &QPushButton::clicked, this,
            [this] { guard([this] { menuFileExitClick(); }); });
    buttons->addWidget(bitbtnAppend);
    buttons->addWidget(bitbtnCancel);
    buttons->addWidget(bitbtnClose);
    grid->addLayout(buttons, 6, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    column->addWidget(panelTop);

    listboxFile = named(new FileListBox(panelCommand), "listboxFile");
    connect(listboxFile, &FileListBox::selectionChangedByUser, this,
            [this] { guard([this] { listboxFileDblClick(); }); });
    column->addWidget(listboxFile, 1);
}

QWidget *TformSelector::createFolderColumn(QWidget *parent)
{
    auto *folders = new QWidget(parent);
    auto *layout = new QVBoxLayout(folders);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    comboboxDrive = named(new QComboBox(folders), "comboboxDrive");
    // A long mount point must not widen the panel.
    comboboxDrive->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    comboboxDrive->setMinimumContentsLength(4);
    listboxDir = named(new DirectoryListBox(folders), "listboxDir");
    listboxDir->setFixedHeight(130 - comboboxDrive->sizeHint().height() - layout->spacing());
    connect(comboboxDrive, &QComboBox::activated, this, [this](int index) {
        guard([this, index] { moveToDirectory(comboboxDrive->itemData(index).toString()); });
    });
    connect(listboxDir, &DirectoryListBox::directoryChanged, this,
            [this](const QString &path) { guard([this, path] { followDirectory(path); }); });
    layout->addWidget(comboboxDrive);
    layout->addWidget(listboxDir);
    return folders;
}

void TformSelector::fillDrives()
{
    comboboxDrive->clear();
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady())
            comboboxDrive->addItem(QDir::toNativeSeparators(volume.rootPath()), volume.rootPath());
    }
}

void TformSelector::moveToDirectory(const QString &path)
{
    listboxDir->setDirectory(path);
}

void TformSelector::followDirectory(const QString &path)
{
    const int drive = comboboxDrive->findData(QStorageInfo(path).rootPath());
    if (drive >= 0)
        comboboxDrive->setCurrentIndex(drive);
    listboxFile->setDirectory(path);
}

void TformSelector::setPanelDockedRight(bool right)
{
    m_panelRight = right;
    DockPanel(static_cast<QHBoxLayout *>(m_body->layout()), panelCommand, right);
}

void TformSelector::LoadPanelLayout()
{
    setPanelDockedRight(ReadPanelDockedRight(kFormKey));
}

void TformSelector::SavePanelLayout()
{
    WritePanelDockedRight(kFormKey, m_panelRight);
}

void TformSelector::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        guard([this] { LoadKeywordToListBox(); });
}

void TformSelector::reject()
{
    if (!m_importing)
        QDialog::reject();
}

void TformSelector::closeEvent(QCloseEvent *event)
{
    if (m_importing)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

bool TformSelector::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == scrollboxViewArea && event->type() == QEvent::Resize)
        guard([this] { m_scale.redrawAuto(); });
    return QDialog::eventFilter(watched, event);
}

bool TformSelector::guard(const std::function<void()> &command)
{
    return runGuarded(m_prompter, command);
}

} // namespace pictavo
