#include "app/qt_prompter.h"

#include "app/directory_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <array>
#include <utility>

namespace pictavo {

namespace {

constexpr std::array<std::pair<Prompter::Button, QMessageBox::StandardButton>, 5> kButtons{{
    {Prompter::Ok, QMessageBox::Ok},
    {Prompter::Cancel, QMessageBox::Cancel},
    {Prompter::Yes, QMessageBox::Yes},
    {Prompter::No, QMessageBox::No},
    {Prompter::Abort, QMessageBox::Abort},
}};

QMessageBox::Icon messageIcon(Prompter::Kind kind)
{
    switch (kind) {
    case Prompter::Kind::Warning:
        return QMessageBox::Warning;
    case Prompter::Kind::Information:
        return QMessageBox::Information;
    case Prompter::Kind::Confirmation:
        return QMessageBox::Question;
    case Prompter::Kind::Error:
        break;
    }
    return QMessageBox::Critical;
}

QString withLineBreaks(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

std::optional<QString> chosenPath(const QString &path)
{
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

} // namespace

QString messageTitle(Prompter::Kind kind)
{
    switch (kind) {
    case Prompter::Kind::Warning:
        return QStringLiteral("Warning");
    case Prompter::Kind::Information:
        return QStringLiteral("Information");
    case Prompter::Kind::Confirmation:
        return QStringLiteral("Confirm");
    case Prompter::Kind::Error:
        break;
    }
    return QStringLiteral("Pictavo");
}

std::unique_ptr<QMessageBox> createMessageBox(Prompter::Kind kind, const QString &text,
                                              Prompter::Buttons buttons, QWidget *parent)
{
    if (buttons == Prompter::Buttons())
        buttons = Prompter::Ok;
    QMessageBox::StandardButtons standard;
    for (const auto &[button, qtButton] : kButtons) {
        if (buttons.testFlag(button))
            standard |= qtButton;
    }
    auto box = std::make_unique<QMessageBox>(messageIcon(kind), messageTitle(kind),
                                             withLineBreaks(text), standard, parent);
    // A file name holding "<b>" is shown as typed.
    box->setTextFormat(Qt::PlainText);
    if (buttons.testFlag(Prompter::Ok))
        box->setDefaultButton(QMessageBox::Ok);
    else if (buttons.testFlag(Prompter::Yes))
        box->setDefaultButton(QMessageBox::Yes);
    // Escape and the close button answer as buttonFromResult says a closed box does.
    if (buttons.testFlag(Prompter::Cancel))
        box->setEscapeButton(QMessageBox::Cancel);
    else if (buttons.testFlag(Prompter::No))
        box->setEscapeButton(QMessageBox::No);
    else if (buttons == Prompter::Ok)
        box->setEscapeButton(QMessageBox::Ok);
    return box;
}

Prompter::Button buttonFromResult(int result, Prompter::Buttons buttons)
{
    for (const auto &[button, qtButton] : kButtons) {
        if (result == qtButton && buttons.testFlag(button))
            return button;
    }
    for (const Prompter::Button closed : {Prompter::Cancel, Prompter::No, Prompter::Ok}) {
        if (buttons.testFlag(closed))
            return closed;
    }
    return Prompter::Cancel;
}

QString toQtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &pattern : patterns)
            pattern = pattern.trimmed();
        patterns.removeAll(QString());
        if (!patterns.isEmpty())
            filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                           QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

std::optional<QString> confirmDirectory(Prompter &prompter, const QString &path, bool offerCreate)
{
    if (path.isEmpty())
        return std::nullopt;
    const QString directory = QDir::cleanPath(path);
    const QFileInfo info(directory);
    if (info.isDir())
        return directory;
    if (info.exists() || !offerCreate)
        return std::nullopt;
    const QString shown = QDir::toNativeSeparators(directory);
    if (prompter.message(Prompter::Kind::Confirmation,
                         QStringLiteral("The directory \"%1\" does not exist.\r"
                                        "Do you want to create it?")
                             .arg(shown),
                         Prompter::Yes | Prompter::No) != Prompter::Yes)
        return std::nullopt;
    if (!QDir().mkpath(directory)) {
        prompter.warning(QStringLiteral("The directory \"%1\" could not be created.").arg(shown));
        return std::nullopt;
    }
    return directory;
}

QWidget *QtPrompter::dialogParent() const
{
    return m_parent ? m_parent.data() : QApplication::activeWindow();
}

Prompter::Button QtPrompter::message(Kind kind, const QString &text, Buttons buttons)
{
    const std::unique_ptr<QMessageBox> box = createMessageBox(kind, text, buttons, dialogParent());
    // A question asked in the middle of a busy command shows the normal pointer.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int result = box->exec();
    QApplication::restoreOverrideCursor();
    return buttonFromResult(result, buttons);
}

std::optional<QString> QtPrompter::chooseDirectory(const QString &title, const QString &start,
                                                   bool offerCreate)
{
    DirectoryDialog dialog(dialogParent(), title, start, offerCreate);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return confirmDirectory(*this, dialog.chosenDirectory(), offerCreate);
}

std::optional<QString> QtPrompter::chooseDirectoryWithOption(const QString &title,
                                                             const QString &start, bool offerCreate,
                                                             const QString &option, bool &ticked)
{
    DirectoryDialog dialog(dialogParent(), title, start, offerCreate);
    QCheckBox *box = dialog.addOption(option, ticked);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    ticked = box->isChecked();
    return confirmDirectory(*this, dialog.chosenDirectory(), offerCreate);
}

std::optional<QString> QtPrompter::openFile(const QString &title, const QString &fileName,
                                            const QString &filter)
{
    return chosenPath(
        QFileDialog::getOpenFileName(dialogParent(), title, fileName, toQtFilter(filter)));
}

std::optional<QString> QtPrompter::saveFile(const QString &title, const QString &fileName,
                                            const QString &filter)
{
    return chosenPath(QFileDialog::getSaveFileName(dialogParent(), title, fileName,
                                                   toQtFilter(filter), nullptr,
                                                   QFileDialog::DontConfirmOverwrite));
}

std::optional<QString> QtPrompter::inputText(const QString &title, const QString &prompt,
                                             const QString &initial)
{
    bool ok = false;
    const QString text = QInputDialog::getText(dialogParent(), title, withLineBreaks(prompt),
                                               QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

} // namespace pictavo
