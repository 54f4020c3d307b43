#pragma once

#include <QString>

namespace pictavo {

// Hands a document to whatever opens it on this desktop. The program asks the desktop;
// tests record the request.
class DocumentOpener
{
public:
    virtual ~DocumentOpener() = default;
    // True when a program took the document.
    virtual bool openDocument(const QString &absolutePath) = 0;
};

// Where a help page is looked for, in this order: its relative path taken from the current
// directory, the same path taken from the program's own folder, and the installed manual
// folder (the page's file name in it).
struct HelpLocations
{
    QString currentDir;
    QString programDir;
    QString manualDir;

    // The running program's: current directory, folder of the program file, and the
    // manual folder of the installed tree the program file stands in.
    static HelpLocations ofThisProgram();
    // The same for a program file in programDir, started from currentDir.
    static HelpLocations forProgramIn(const QString &programDir, const QString &currentDir);
};

// The absolute path of the first existing file of the page, or empty when there is none.
QString locateHelpPage(const QString &relativePath, const HelpLocations &where);

// The manual's first page, where the Help menu would find it, as a file:// address; "none"
// when it is nowhere.
QString manualAddress(const HelpLocations &where);

// Opens the page and returns a result code in the desktop shell's terms: kHelpNotFound,
// kHelpNoOpener or kHelpOpened.
int openHelpPage(const QString &relativePath, const HelpLocations &where, DocumentOpener &opener);

} // namespace pictavo
