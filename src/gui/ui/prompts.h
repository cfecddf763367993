#pragma once

#include <QString>
#include <QStringList>

class QWidget;
class SettingsStore;

// The modal questions and dialogs the main window opens in the middle of its work. Tests
// put a scripted stand-in here, so no modal loop ever waits for a click.
class Prompts
{
public:
    virtual ~Prompts() = default;

    // "Abort pending searches/downloads?" with Yes and No; true for Yes.
    virtual bool askAbortPending(QWidget *parent);
    // The tips dialog, modally; it stores "NoTips" as it closes.
    virtual void showTips(QWidget *parent, const SettingsStore &store);
    // The about box, modally.
    virtual void showAbout(QWidget *parent);

    // The Open Queue dialog in folder; "" when cancelled.
    virtual QString askOpenQueueFile(QWidget *parent, const QString &folder);
    struct SaveChoice
    {
        QString path;            // "" when cancelled
        bool queueFilter = true; // the "Trawl Bay Queue (*.tbq)" choice was selected
    };
    // The Save Queue As dialog in folder; it asks before replacing a file it shows.
    virtual SaveChoice askSaveQueueFile(QWidget *parent, const QString &folder);
    // "Replace path?" for a name that changed after the dialog closed; true for Yes.
    virtual bool askReplaceFile(QWidget *parent, const QString &path);
    enum class SaveAnswer
    {
        Save,
        Discard,
        Cancel,
    };
    // "Save changes to the queue?" with Save, Discard and Cancel.
    virtual SaveAnswer askSaveChanges(QWidget *parent);
    // The failed pages of the last search, one a line, read-only, with a Copy button.
    virtual void showFailedPages(QWidget *parent, const QStringList &lines);
    // The folder picker, opened in start; "" when cancelled.
    virtual QString askFolder(QWidget *parent, const QString &start);
    // A message box with OK, titled with the program's name.
    virtual void showError(QWidget *parent, const QString &text);
    // The same with the critical-error icon.
    virtual void showCritical(QWidget *parent, const QString &text);
    // The same with the exclamation icon.
    virtual void showExclamation(QWidget *parent, const QString &text);
};
