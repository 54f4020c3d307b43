#pragma once

#include <QFlags>
#include <QString>
#include <optional>

namespace pictavo {

// Every question, message and file or directory dialog goes through this seam, so the
// logic that asks can run without a window: the program answers with real dialogs, the
// tests with scripted answers, the command-line tool with its options.
class Prompter
{
public:
    enum class Kind
    {
        Warning,
        Information,
        Confirmation,
        Error
    };
    enum Button
    {
        Ok = 0x1,
        Cancel = 0x2,
        Yes = 0x4,
        No = 0x8,
        Abort = 0x10
    };
    Q_DECLARE_FLAGS(Buttons, Button)

    virtual ~Prompter() = default;

    // Texts keep the carriage returns the program writes ("\r" is a line break).
    // Returns the button chosen; a box closed without a choice answers Cancel, or No
    // when Cancel is not offered, or Ok when it is the only button.
    virtual Button message(Kind kind, const QString &text, Buttons buttons) = 0;

    // Directory chooser; a typed directory that does not exist may be offered for
    // creation when offerCreate is set. Empty optional on Cancel.
    virtual std::optional<QString> chooseDirectory(const QString &title, const QString &start,
                                                   bool offerCreate) = 0;
    // The same with one check box below the folders, captioned `option` and ticked as
    // `ticked` says at the start; on OK `ticked` holds what the user chose. A prompter that
    // shows no such box leaves it as it was.
    virtual std::optional<QString> chooseDirectoryWithOption(const QString &title,
                                                             const QString &start, bool offerCreate,
                                                             const QString &option, bool &ticked)
    {
        Q_UNUSED(option);
        Q_UNUSED(ticked);
        return chooseDirectory(title, start, offerCreate);
    }

    // filter uses the "Description|pattern;pattern" form, several joined by '|'.
    virtual std::optional<QString> openFile(const QString &title, const QString &fileName,
                                            const QString &filter) = 0;
    virtual std::optional<QString> saveFile(const QString &title, const QString &fileName,
                                            const QString &filter) = 0;

    virtual std::optional<QString> inputText(const QString &title, const QString &prompt,
                                             const QString &initial) = 0;

    // Shorthands for the boxes with one OK button.
    void warning(const QString &text) { message(Kind::Warning, text, Ok); }
    void information(const QString &text) { message(Kind::Information, text, Ok); }
};

Q_DECLARE_OPERATORS_FOR_FLAGS(Prompter::Buttons)

} // namespace pictavo
