#pragma once

#include <QDialog>

class QCheckBox;
class SettingsStore;

// The tips dialog `frmTips`: how to prepare for a group search, with a check box that
// stops it from appearing again. However it closes, "NoTips" is stored from the box.
class frmTips final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmTips)

public:
    frmTips(const SettingsStore &store, QWidget *parent = nullptr);

    void done(int result) override;

    QCheckBox *chkNoTips = nullptr;

private:
    const SettingsStore &m_store;
};
