#include "gui/app/commandtable.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenuBar>
#include <QToolBar>

#include "gui/ui/icons.h"

namespace {

QAction *toolButton(QToolBar *bar, const char *key, const QString &toolTip,
                    const QString &themeIcon, const QString &fallbackIcon)
{
    QAction *action = bar->addAction(Icons::themed(themeIcon, fallbackIcon), QLatin1String(key));
    action->setObjectName(QLatin1String(key));
    action->setToolTip(toolTip);
    return action;
}

QAction *menuEntry(QMenu *menu, const char *name, const QString &caption,
                   const QKeySequence &shortcut = {})
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(shortcut);
    return action;
}

} // namespace

CommandTable CommandTable::build(QMainWindow &window)
{
    CommandTable t;

    t.mnuFile = window.menuBar()->addMenu(QStringLiteral("&File"));
    t.mnuFile->setObjectName(QStringLiteral("mnuFile"));
    t.mnuFileNew = menuEntry(t.mnuFile, "mnuFileNew", QStringLiteral("&New Queue"),
                             QKeySequence(Qt::CTRL | Qt::Key_N));
    t.mnuFileOpen = menuEntry(t.mnuFile, "mnuFileOpen", QStringLiteral("&Open Queue..."),
                              QKeySequence(Qt::CTRL | Qt::Key_O));
    t.mnuFileSave = menuEntry(t.mnuFile, "mnuFileSave", QStringLiteral("&Save Queue"),
                              QKeySequence(Qt::CTRL | Qt::Key_S));
    t.mnuFileSaveAs = menuEntry(t.mnuFile, "mnuFileSaveAs", QStringLiteral("Save &Queue As..."),
                                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    t.mnuFile->addSeparator();
    t.mnuFileAdvanced = menuEntry(t.mnuFile, "mnuFileAdvanced", QStringLiteral("&Advanced..."));
    t.mnuFileOptions = menuEntry(t.mnuFile, "mnuFileOptions", QStringLiteral("O&ptions..."));
    t.mnuFile->addSeparator();
    t.mnuFileExit = menuEntry(t.mnuFile, "mnuFileExit", QStringLiteral("E&xit"));

    t.mnuSearch = window.menuBar()->addMenu(QStringLiteral("&Search"));
    t.mnuSearch->setObjectName(QStringLiteral("mnuSearch"));
    t.mnuSearchFailedPages =
        menuEntry(t.mnuSearch, "mnuSearchFailedPages", QStringLiteral("&Failed Pages..."));
    t.mnuSearchFailedAgain = menuEntry(t.mnuSearch, "mnuSearchFailedAgain",
                                       QStringLiteral("Search Failed Pages &Again"));
    // Nothing has failed before the first search.
    t.mnuSearchFailedPages->setEnabled(false);
    t.mnuSearchFailedAgain->setEnabled(false);

    t.mnuHelp = window.menuBar()->addMenu(QStringLiteral("&Help"));
    t.mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    t.mnuHelpHelp =
        menuEntry(t.mnuHelp, "mnuHelpHelp", QStringLiteral("&Help..."), QKeySequence(Qt::Key_F1));
    t.mnuHelp->addSeparator();
    t.mnuHelpSupport =
        menuEntry(t.mnuHelp, "mnuHelpSupport", QStringLiteral("&Technical Support..."));
    t.mnuHelpAbout = menuEntry(t.mnuHelp, "mnuHelpAbout", QStringLiteral("&About..."));

    t.tbToolBar = window.addToolBar(QStringLiteral("Toolbar"));
    t.tbToolBar->setObjectName(QStringLiteral("tbToolBar"));
    t.tbToolBar->setMovable(false);
    t.tbToolBar->setFloatable(false);
    t.tbToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    t.tbToolBar->toggleViewAction()->setVisible(false);
    t.tbNew = toolButton(t.tbToolBar, "New", QStringLiteral("New Queue"),
                         QStringLiteral("document-new"), QStringLiteral("new"));
    t.tbOpen = toolButton(t.tbToolBar, "Open", QStringLiteral("Open queue file"),
                          QStringLiteral("document-open"), QStringLiteral("open"));
    t.tbSave = toolButton(t.tbToolBar, "Save", QStringLiteral("Save queue"),
                          QStringLiteral("document-save"), QStringLiteral("save"));
    t.tbToolBar->addSeparator();
    t.tbSearch = toolButton(t.tbToolBar, "Search", QStringLiteral("Explore/Scan a Site"),
                            QStringLiteral("edit-find"), QStringLiteral("search"));
    t.tbDownload = toolButton(t.tbToolBar, "Download", QStringLiteral("Download Queue"),
                              QStringLiteral("go-down"), QStringLiteral("download"));
    t.tbAbort = toolButton(t.tbToolBar, "Abort", QStringLiteral("Abort Download/Search"),
                           QStringLiteral("process-stop"), QStringLiteral("abort"));
    t.tbToolBar->addSeparator();
    return t;
}
