#include "gui/ui/prompts.h"

#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

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

Prompts::SaveAnswer Prompts::askSaveChanges(QWidget *parent)
{
    QMessageBox box(QMessageBox::Warning, AppInfo::Title,
                    QStringLiteral("Save changes to the queue?"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveAnswer::Save;
    case QMessageBox::Discard:
        return SaveAnswer::Discard;
    default:
        return SaveAnswer::Cancel; // also the Escape key and the close box
    }
}

void Prompts::showFailedPages(QWidget *parent, const QStringList &lines)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("frmFailedPages"));
    dialog.setWindowTitle(QStringLiteral("Failed Pages"));
    auto *text = new QPlainTextEdit(lines.join(QLatin1Char('\n')), &dialog);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QPushButton *copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
    QObject::connect(copy, &QPushButton::clicked, &dialog,
                     [text] { QGuiApplication::clipboard()->setText(text->toPlainText()); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog.resize(560, 320);
    dialog.exec();
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
