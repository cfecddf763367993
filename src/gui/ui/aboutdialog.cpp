#include "gui/ui/aboutdialog.h"

#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>

#include "core/app/appinfo.h"
#include "core/app/sysinfo.h"
#include "gui/ui/icons.h"
#include "gui/ui/twips.h"

frmAbout::frmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("About ") + AppInfo::Title);
    const qreal dpi = Twips::dpiOf(parent ? parent : this);
    setFixedSize(Twips::toPixels(5730, dpi), Twips::toPixels(3555, dpi));

    auto *picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(Twips::rect(240, 240, 540, 540, dpi));
    picIcon->setPixmap(Icons::appIcon().pixmap(picIcon->size()));

    lblTitle = new QLabel(AppInfo::Title, this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setGeometry(Twips::rect(1050, 240, 3885, 480, dpi));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    lblVersion = new QLabel(QStringLiteral("Version ") + AppInfo::versionText(), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setGeometry(Twips::rect(1050, 780, 3885, 225, dpi));

    auto *lblDescription = new QLabel(
        QStringLiteral("Collects the files posted to a group's message archive or a photo "
                       "album: lists every file with its size, then downloads the ones you "
                       "tick over several parallel transfers."),
        this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDescription->setGeometry(Twips::rect(1050, 1125, 3885, 1170, dpi));

    auto *lblDisclaimer = new QLabel(
        QStringLiteral("This program is provided as is, without warranty of any kind. Download "
                       "only files you are allowed to copy."),
        this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setWordWrap(true);
    lblDisclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDisclaimer->setGeometry(Twips::rect(255, 2625, 3870, 825, dpi));

    // An etched separator above the buttons.
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(Twips::rect(90, 2430, 5564, 45, dpi));

    auto *cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(Twips::rect(4245, 2625, 1260, 345, dpi));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto *cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(Twips::rect(4260, 3075, 1245, 345, dpi));
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);
}

void frmAbout::StartSysInfo()
{
    const QString program = SysInfo::locateProgram();
    if (!program.isEmpty() && QProcess::startDetached(program, {}))
        return;
    Q_EMIT sysInfoUnavailable();
    QMessageBox box(QMessageBox::NoIcon, AppInfo::Title,
                    QStringLiteral("System Information Is Unavailable At This Time"),
                    QMessageBox::Ok, this);
    box.exec();
}
