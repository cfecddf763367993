#include "gui/ui/prompts.h"

#include <QFileDialog>
#include <QMessageBox>

#include "core/app/appinfo.h"
#include "gui/ui/aboutdialog.h"
#include "gui/ui/folderpicker.h"
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

namespace {
const QString QueueFilter = QStringLiteral("Trawl Bay Queue (*.tbq)");
const QString AllFilesFilter = QStringLiteral("All Files (*)");
} // namespace

QString Prompts::askOpenQueueFile(QWidget *parent, const QString &folder)
{
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Open Queue"), folder,
                                        QueueFilter + QStringLiteral(";;") + AllFilesFilter);
}

Prompts::SaveChoice Prompts::askSaveQueueFile(QWidget *parent, const QString &folder)
{
    QString selected = QueueFilter;
    SaveChoice choice;
    choice.path = QFileDialog::getSaveFileName(parent, QStringLiteral("Save Queue As"), folder,
                                               QueueFilter + QStringLiteral(";;") + AllFilesFilter,
                                               &selected);
    choice.queueFilter = selected == QueueFilter;
    return choice;
}

bool Prompts::askReplaceFile(QWidget *parent, const QString &path)
{
    QMessageBox box(QMessageBox::Warning, AppInfo::Title,
                    QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(path),
                    QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

QString Prompts::askFolder(QWidget *parent, const QString &start)
{
    return FolderPicker::BrowseFolderFrom(parent, start);
}

void Prompts::showError(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, AppInfo::Title, text, QMessageBox::Ok, parent);
    box.exec();
}

void Prompts::showCritical(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, AppInfo::Title, text, QMessageBox::Ok, parent);
    box.exec();
}

void Prompts::showExclamation(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, AppInfo::Title, text, QMessageBox::Ok, parent);
    box.exec();
}
