#pragma once

#include <QObject>
#include <QString>
#include <optional>

#include "core/filelist/mode.h"

class FileListView;
class Prompts;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;
class RunSession;
class SettingsStore;

// The mode box and what follows the mode: the field labels and hints, the list's columns
// and their widths per mode, and the base-URL history of each mode.
class ModeSwitch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ModeSwitch)

public:
    // The window's controls this class drives; the window owns and lays them out.
    struct Controls
    {
        QComboBox &server;
        QLabel &urlLabel;
        QComboBox &url;
        QLabel &maskLabel;
        QLineEdit &mask;
        FileListView &list;
    };

    ModeSwitch(QWidget &window, const Controls &controls, const SettingsStore &store,
               RunSession &session, Prompts &prompts);

    // Fills the mode box and shows the first mode, as the window loads.
    void load();

    // Selects a mode in the mode box and runs the mode switch, also for the mode shown;
    // false when the text is not one of the modes.
    bool selectMode(const QString &mode);
    QString modeName() const;
    Mode mode() const { return modeFromText(modeName()); }

    // The search fields: the base URL and the message range or album password.
    QString url() const;
    void setUrl(const QString &url);
    QString mask() const;
    void setMask(const QString &mask);

    void LoadMRU(Mode mode);
    void SaveMRU(Mode mode);
    void SaveColumnWidths(Mode mode);
    void LoadColumnWidths(Mode mode);
    // The mode whose columns the list shows; none before the first switch.
    std::optional<Mode> shownMode() const { return m_shown; }

    // The base-URL box lost the focus: moves its text to the top of the history.
    void updateHistory();

    // While the window loads, the tips of a switch to Yahoo wait: shown before their window,
    // they would stand alone in a corner of the screen.
    void holdTips(bool hold) { m_holdTips = hold; }
    // Shows the tips held while the window loaded, on the next turn of the event loop, over
    // the window shown by then.
    void showHeldTips();

Q_SIGNALS:
    // The mode shown changed (or was shown again).
    void modeSwitched(Mode mode);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onModeSwitch();
    void applyColumnSet(Mode mode);
    QStringList historyEntries() const;

    QWidget &m_window;
    Controls m_c;
    const SettingsStore &m_store;
    RunSession &m_session;
    Prompts &m_prompts;
    std::optional<Mode> m_shown;
    bool m_holdTips = false;
    bool m_tipsHeld = false;
};
