#pragma once

#include <QObject>
#include <QString>

class ModeSwitch;
class Prompts;
class QWidget;
class RunSession;
struct ProgramValues;

// New, Open, Save and Save As of queue files, and the window caption that names the file and
// marks a list changed since it was last saved or opened.
class QueueCommands final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QueueCommands)

public:
    QueueCommands(QWidget &window, RunSession &session, ModeSwitch &modes,
                  const ProgramValues &values, Prompts &prompts);

    void NewQueue();
    // Asks for the file when none is given.
    void OpenQueue(const QString &file = QString());
    // False when cancelled or the file could not be written.
    bool SaveQueue(bool SaveAs);

    // Rows were added, removed or replaced since the list was last saved or opened. Ticks
    // and sizes are no change: the file keeps no ticks, and sizes come with their search.
    bool isModified() const { return m_modified; }
    // Before the list is thrown away: asks whether to save a changed list, and saves it on
    // Save; false when the user cancels or the save does not happen.
    bool maySaveChanges();

Q_SIGNALS:
    // The list was cleared or read: the totals follow.
    void listReplaced();

private:
    QString queueDialogFolder() const;
    void setQueueCaption(const QString &ending);
    void setQueueFileName(const QString &path);
    void setModified(bool modified);
    void watchRows();

    QWidget &m_window;
    RunSession &m_session;
    ModeSwitch &m_modes;
    const ProgramValues &m_values;
    Prompts &m_prompts;
    bool m_modified = false;
    bool m_replacing = false; // New or Open sets the mark itself
    int m_rowsBeforeReset = 0;
};
