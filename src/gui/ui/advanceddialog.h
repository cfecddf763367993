#pragma once

#include <QDialog>

class QLineEdit;
class SettingsStore;
struct ProgramValues;

// The advanced criteria dialog `frmAdvancedCriteria`: the subject, author and file-name
// patterns of the group search, stored exactly as typed.
class frmAdvancedCriteria final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmAdvancedCriteria)

public:
    frmAdvancedCriteria(const SettingsStore &store, ProgramValues &values,
                        QWidget *parent = nullptr);

    QLineEdit *txtSubject = nullptr;
    QLineEdit *txtAuthor = nullptr;
    QLineEdit *txtFileName = nullptr;

    void ok();

private:
    const SettingsStore &m_store;
    ProgramValues &m_values;
};
