#pragma once

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

// The toolbar buttons (told apart by their keys: the action's object name) and the menu
// entries of the main window. Only the actions are made here; the window connects them.
struct CommandTable
{
    QToolBar *tbToolBar = nullptr;
    QAction *tbNew = nullptr;
    QAction *tbOpen = nullptr;
    QAction *tbSave = nullptr;
    QAction *tbSearch = nullptr;
    QAction *tbDownload = nullptr;
    QAction *tbAbort = nullptr;

    QMenu *mnuFile = nullptr;
    QAction *mnuFileNew = nullptr;
    QAction *mnuFileOpen = nullptr;
    QAction *mnuFileSave = nullptr;
    QAction *mnuFileSaveAs = nullptr;
    QAction *mnuFileAdvanced = nullptr;
    QAction *mnuFileOptions = nullptr;
    QAction *mnuFileExit = nullptr;

    // What the last group search could not fetch.
    QMenu *mnuSearch = nullptr;
    QAction *mnuSearchFailedPages = nullptr;
    QAction *mnuSearchFailedAgain = nullptr;

    QMenu *mnuHelp = nullptr;
    QAction *mnuHelpHelp = nullptr;
    QAction *mnuHelpSupport = nullptr;
    QAction *mnuHelpAbout = nullptr;

    static CommandTable build(QMainWindow &window);
};
