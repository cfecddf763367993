#include "gui/ui/tipsdialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"
#include "gui/ui/twips.h"

frmTips::frmTips(const SettingsStore &store, QWidget *parent) : QDialog(parent), m_store(store)
{
    setObjectName(QStringLiteral("frmTips"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Useful Tips"));
    const qreal dpi = Twips::dpiOf(parent ? parent : this);
    setFixedSize(Twips::toPixels(4740, dpi), Twips::toPixels(2655, dpi));

    auto *Frame1 = new QGroupBox(QStringLiteral("Important Note"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(Twips::rect(75, 0, 4590, 2115, dpi));
    QFont frameFont = Frame1->font();
    frameFont.setBold(true);
    frameFont.setPointSize(12);
    Frame1->setFont(frameFont);
    Frame1->setStyleSheet(QStringLiteral("QGroupBox { color: blue; }"));

    // A QLabel without a buddy shows "&" as it stands: no doubling.
    auto *Label1 = new QLabel(
        QStringLiteral("To search and download scans from Yahoo groups you MUST be a member of "
                       "the group you want to search/download. Before running seacrh/download, "
                       "sign in to Yahoo and check off the checkbox 'Remember my ID & "
                       "Password'."),
        Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont labelFont = font();
    labelFont.setPointSizeF(9.75);
    Label1->setFont(labelFont);
    Label1->setStyleSheet(QStringLiteral("color: palette(window-text);"));
    Label1->setGeometry(Twips::rect(225, 375, 4215, 1515, dpi));

    chkNoTips = new QCheckBox(QStringLiteral("Do not show this dialog again"), this);
    chkNoTips->setObjectName(QStringLiteral("chkNoTips"));
    chkNoTips->setGeometry(Twips::rect(75, 2175, 3015, 315, dpi));

    auto *cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(Twips::rect(3600, 2175, 1065, 390, dpi));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

void frmTips::done(int result)
{
    // Every way of closing (OK, Esc, the close box) ends here.
    m_store.RegSaveSetting(SettingKeys::NoTips,
                           chkNoTips->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    QDialog::done(result);
}
