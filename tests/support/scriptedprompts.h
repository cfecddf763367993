#pragma once

#include <QStringList>

#include "gui/ui/prompts.h"

// Answers the main window's questions and dialogs from a script, with no modal loop, and
// records what was asked. The counters live in the test, since the window owns the prompts.
struct PromptLog
{
    int tipsShown = 0;
    int abortAsked = 0;
    bool answerYes = true;
    int openAsked = 0;
    QString openAnswer;
    int saveAsked = 0;
    Prompts::SaveChoice saveAnswer;
    int replaceAsked = 0;
    bool replaceAnswer = true;
    QStringList errors;
    QStringList criticals;
    QStringList exclamations;
    QStringList folderStarts; // where each folder picker opened
    QString folderAnswer;
    int saveChangesAsked = 0;
    Prompts::SaveAnswer saveChangesAnswer = Prompts::SaveAnswer::Discard;
    QStringList failedPagesShown; // the lines of the last Failed Pages dialog
};

class ScriptedPrompts final : public Prompts
{
public:
    explicit ScriptedPrompts(PromptLog &log) : m_log(log) {}

    bool askAbortPending(QWidget *) override
    {
        ++m_log.abortAsked;
        return m_log.answerYes;
    }
    void showTips(QWidget *, const SettingsStore &) override { ++m_log.tipsShown; }
    void showAbout(QWidget *) override {}
    QString askOpenQueueFile(QWidget *, const QString &) override
    {
        ++m_log.openAsked;
        return m_log.openAnswer;
    }
    SaveChoice askSaveQueueFile(QWidget *, const QString &) override
    {
        ++m_log.saveAsked;
        return m_log.saveAnswer;
    }
    bool askReplaceFile(QWidget *, const QString &) override
    {
        ++m_log.replaceAsked;
        return m_log.replaceAnswer;
    }
    QString askFolder(QWidget *, const QString &start) override
    {
        m_log.folderStarts.append(start);
        return m_log.folderAnswer;
    }
    SaveAnswer askSaveChanges(QWidget *) override
    {
        ++m_log.saveChangesAsked;
        return m_log.saveChangesAnswer;
    }
    void showFailedPages(QWidget *, const QStringList &lines) override
    {
        m_log.failedPagesShown = lines;
    }
    void showError(QWidget *, const QString &text) override { m_log.errors.append(text); }
    void showCritical(QWidget *, const QString &text) override { m_log.criticals.append(text); }
    void showExclamation(QWidget *, const QString &text) override
    {
        m_log.exclamations.append(text);
    }

private:
    PromptLog &m_log;
};
