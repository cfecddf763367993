#pragma once

#include <QString>

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
};
