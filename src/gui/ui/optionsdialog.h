#pragma once

#include <QDialog>
#include <functional>

class QComboBox;
class QLineEdit;
class QSpinBox;
class QToolButton;
class SettingsStore;
struct ProgramValues;

// The options dialog `frmOptions`: the number of transfer slots, the queue folder, the
// retries and what to do with files that already exist. OK stores them, sets the
// program-wide values and has the window rebuild its slot rows; the next run uses them.
class frmOptions final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmOptions)

public:
    frmOptions(const SettingsStore &store, ProgramValues &values,
               std::function<void()> threadsChanged, QWidget *parent = nullptr);

    // Checks the number box; shows the one message and returns false when it is not 1-16.
    bool ValidateThreads();

    // Seams for tests: the warning box and the folder picker.
    std::function<void(const QString &)> warn;
    std::function<QString(QWidget *)> browseFolder;

    QLineEdit *txtNoThreads = nullptr;
    QLineEdit *txtTBQFolder = nullptr;
    QToolButton *cmdBrowse = nullptr;
    QSpinBox *spnRetries = nullptr;
    QComboBox *cmbIfExists = nullptr;

    void ok();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void browse();

    const SettingsStore &m_store;
    ProgramValues &m_values;
    std::function<void()> m_threadsChanged;
};
