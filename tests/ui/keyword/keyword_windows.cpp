#include "keyword_windows.h"

#include "base/regutl.h"
#include "base/settings_store.h"
#include "keyword/tformkeywordassist.h"
#include "support/jpeg_fixtures.h"

#include <QApplication>
#include <QtTest>

namespace pictavo::test {

KeywordWindows::KeywordWindows()
{
    SettingsStore::instance().setFilePath(m_settings.filePath(QStringLiteral("settings.json")));
    regutl::MakeKey(regutl::kSettingsKey);
}

KeywordWindows::~KeywordWindows()
{
    formKeywordEdit.reset(); // it refers to the main window
    album.reset();
    formMain.reset();
}

void KeywordWindows::addPhoto(const QString &name, const QString &keywords)
{
    fixtures::JpegOptions options;
    options.seed = quint32(m_seed++);
    db.addPhoto(QStringLiteral("IMG"), name, keywords, fixtures::makeJpeg(48, 32, options));
}

void KeywordWindows::open()
{
    SettingsStore::instance().writeStrings(QStringLiteral("\\software\\Orbelin_PV\\formMain"),
                                           {{QStringLiteral("Database_Name"), db.dir()},
                                            {QStringLiteral("Left"), QStringLiteral("10")},
                                            {QStringLiteral("Top"), QStringLiteral("10")},
                                            {QStringLiteral("Width"), QStringLiteral("700")},
                                            {QStringLiteral("Height"), QStringLiteral("500")}});
    formMain = std::make_unique<TformMain>(prompter);
    album = std::make_unique<MainWindowAlbum>(*formMain);
    formKeywordEdit = std::make_unique<TformKeywordEdit>(*album, prompter);
    formMain->setKeywordEdit(formKeywordEdit.get());
    formMain->setKeywordAssist(
        [this](QWidget *parent) { return new TformKeywordAssist(*album, prompter, parent); });
    formMain->show();
    if (!QTest::qWaitForWindowExposed(formMain.get()))
        qFatal("main window not shown");
    activateMain();
}

void activate(QWidget *window)
{
    window->activateWindow();
    // Not qWaitForWindowActive: a window counts as active there while a window it is the
    // transient parent of has the focus.
    if (!QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }))
        qFatal("%s not active", qPrintable(window->objectName()));
}

void KeywordWindows::activateMain()
{
    activate(formMain.get());
}

QStringList KeywordWindows::photoKeywords() const
{
    QStringList rows = db.rows({QStringLiteral("select NAME, KEYWORD from PHOTODB.DB")});
    for (QString &row : rows)
        row.replace(QLatin1Char('|'), QLatin1Char('='));
    return rows;
}

QStringList KeywordWindows::keywordRows() const
{
    return db.rows({QStringLiteral("select KEYWORD, COUNT from KEYWORD.DB")});
}

} // namespace pictavo::test
