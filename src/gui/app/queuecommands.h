#pragma once

#include <QObject>
#include <QString>

class ModeSwitch;
class Prompts;
class QWidget;
class RunSession;
struct ProgramValues;

// New, Open, Save and Save As of queue files, and the window caption that names the file.
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
    void SaveQueue(bool SaveAs);

Q_SIGNALS:
    // The list was cleared or read: the totals follow.
    void listReplaced();

private:
    QString queueDialogFolder() const;
    void setQueueCaption(const QString &ending);
    void setQueueFileName(const QString &path);

    QWidget &m_window;
    RunSession &m_session;
    ModeSwitch &m_modes;
    const ProgramValues &m_values;
    Prompts &m_prompts;
};
