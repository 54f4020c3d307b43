#pragma once

#include "base/prompter.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class QMessageBox;

namespace pictavo {

// The prompter of the program: Qt message boxes and dialogs.
class QtPrompter : public Prompter
{
public:
    // Dialogs are parented to parent, or to the active window when there is none.
    explicit QtPrompter(QWidget *parent = nullptr) : m_parent(parent) {}

    Button message(Kind kind, const QString &text, Buttons buttons) override;
    std::optional<QString> chooseDirectory(const QString &title, const QString &start,
                                           bool offerCreate) override;
    std::optional<QString> chooseDirectoryWithOption(const QString &title, const QString &start,
                                                     bool offerCreate, const QString &option,
                                                     bool &ticked) override;
    std::optional<QString> openFile(const QString &title, const QString &fileName,
                                    const QString &filter) override;
    // Asks no overwrite question of its own: the program asks its own.
    std::optional<QString> saveFile(const QString &title, const QString &fileName,
                                    const QString &filter) override;
    std::optional<QString> inputText(const QString &title, const QString &prompt,
                                     const QString &initial) override;

private:
    QWidget *dialogParent() const;

    QPointer<QWidget> m_parent;
};

// "Warning", "Information", "Confirm", and "Pictavo" for an error.
QString messageTitle(Prompter::Kind kind);

// The box message() shows, built but not shown: title and icon of the kind, the buttons
// asked for, each "\r" of the text as a line break, the text taken as plain text.
std::unique_ptr<QMessageBox> createMessageBox(Prompter::Kind kind, const QString &text,
                                              Prompter::Buttons buttons, QWidget *parent);

// The answer a box gives for QMessageBox's result; a result that is none of the buttons
// offered (the box closed without a choice) gives Cancel, else No, else Ok, when offered.
Prompter::Button buttonFromResult(int result, Prompter::Buttons buttons);

// "Description|pattern;pattern|..." to Qt's "Description (pattern pattern);;...".
// A description without patterns is left out.
QString toQtFilter(const QString &filter);

// What the directory chooser returns for the path chosen: an existing directory as is; a
// missing one, when offerCreate is set and the user says Yes, created with its parents; else
// nothing (a failed creation is reported as a warning).
std::optional<QString> confirmDirectory(Prompter &prompter, const QString &path, bool offerCreate);

} // namespace pictavo
