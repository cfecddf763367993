#include "gui/ui/prompts.h"

#include <QMessageBox>

#include "core/app/appinfo.h"
#include "gui/ui/aboutdialog.h"
#include "gui/ui/tipsdialog.h"

bool Prompts::askAbortPending(QWidget *parent)
{
    QMessageBox box(QMessageBox::Warning, AppInfo::Title,
                    QStringLiteral("Abort pending searches/downloads?"),
                    QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

void Prompts::showTips(QWidget *parent, const SettingsStore &store)
{
    frmTips tips(store, parent);
    tips.exec();
}

void Prompts::showAbout(QWidget *parent)
{
    frmAbout about(parent);
    about.exec();
}
