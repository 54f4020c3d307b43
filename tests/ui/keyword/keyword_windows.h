#pragma once

#include "keyword/tformkeywordedit.h"
#include "main/main_window_album.h"
#include "main/tformmain.h"
#include "support/photo_db_fixture.h"
#include "support/scripted_prompter.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace pictavo::test {

// Makes the window the active one and waits until it is.
void activate(QWidget *window);

// The main window on a new photo database, shown, with the keyword edit window registered
// the way start-up does it. Settings live in a temporary directory.
class KeywordWindows
{
public:
    KeywordWindows();
    ~KeywordWindows();

    // A photo with a JPEG picture of its own, stored before open() is called.
    void addPhoto(const QString &name, const QString &keywords);
    // Shows the main window on the database, itself active.
    void open();
    void activateMain();

    // KEYWORD of every Photo Table record, in NAME order, as "NAME=KEYWORD".
    QStringList photoKeywords() const;
    QStringList keywordRows() const;

    ScriptedPrompter prompter;
    PhotoDbFixture db;
    std::unique_ptr<TformMain> formMain;
    std::unique_ptr<MainWindowAlbum> album;
    std::unique_ptr<TformKeywordEdit> formKeywordEdit;

private:
    QTemporaryDir m_settings;
    int m_seed = 1;
};

} // namespace pictavo::test
