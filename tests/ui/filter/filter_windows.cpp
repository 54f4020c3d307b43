#include "filter_windows.h"

#include "base/regutl.h"
#include "base/settings_store.h"
#include "support/jpeg_fixtures.h"

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

namespace pictavo::test {

FilterWindows::FilterWindows()
{
    SettingsStore::instance().setFilePath(m_settings.filePath(QStringLiteral("settings.json")));
    regutl::MakeKey(regutl::kSettingsKey);
}

FilterWindows::~FilterWindows()
{
    // The filters refer to the main window.
    if (formMain)
        formMain->queryAlbum.setWatcher(nullptr);
    formProcessing.reset();
    formExpertFilter.reset();
    formEasyFilter.reset();
    album.reset();
    formMain.reset();
}

void FilterWindows::addPhoto(const QString &prefix, const QString &name, const QString &keywords)
{
    fixtures::JpegOptions options;
    options.seed = quint32(m_seed++);
    db.addPhoto(prefix, name, keywords, fixtures::makeJpeg(64, 48, options));
}

void FilterWindows::open()
{
    SettingsStore::instance().writeStrings(QStringLiteral("\\software\\Orbelin_PV\\formMain"),
                                           {{QStringLiteral("Database_Name"), db.dir()},
                                            {QStringLiteral("Width"), QStringLiteral("800")},
                                            {QStringLiteral("Height"), QStringLiteral("600")}});
    formMain = std::make_unique<TformMain>(prompter);
    album = std::make_unique<MainWindowAlbum>(*formMain);
    formEasyFilter = std::make_unique<TformEasyFilter>(*album, prompter);
    formExpertFilter = std::make_unique<TformExpertFilter>(*album, prompter);
    album->easyFilterReset = [this] { formEasyFilter->ClearAll(); };
    formMain->setEasyFilter(formEasyFilter.get());
    formMain->setExpertFilter(formExpertFilter.get());
    formProcessing = std::make_unique<TformProcessing>(formMain.get());
    formMain->queryAlbum.setWatcher(formProcessing.get());
    formMain->show();
    if (!QTest::qWaitForWindowExposed(formMain.get()))
        qFatal("main window not shown");
}

QStringList FilterWindows::gridNames() const
{
    const QAbstractItemModel *model = formMain->dbgridAlbum->model();
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->index(row, 1).data().toString();
    return names;
}

QString FilterWindows::counter() const
{
    return formMain->editCounter->text();
}

} // namespace pictavo::test
