#pragma once

#include <QDialog>

class QLabel;

// The about box `frmAbout`: title, version, a description, and a button that starts the
// machine's system-information program.
class frmAbout final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmAbout)

public:
    explicit frmAbout(QWidget *parent = nullptr);

    // Starts the system-information program; shows the one failure message when there is
    // none or it cannot be started. The box stays open in every case.
    void StartSysInfo();

    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;

Q_SIGNALS:
    // For tests: the failure message was shown.
    void sysInfoUnavailable();
};
