#include "gui/ui/optionsdialog.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/app/appinfo.h"
#include "core/app/programvalues.h"
#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"
#include "gui/ui/folderpicker.h"
#include "gui/ui/icons.h"
#include "gui/ui/twips.h"

namespace {

QString withTrailingSeparator(QString path)
{
    if (!path.isEmpty() && !path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

} // namespace

frmOptions::frmOptions(const SettingsStore &store, ProgramValues &values,
                       std::function<void()> threadsChanged, QWidget *parent)
    : QDialog(parent), m_store(store), m_values(values), m_threadsChanged(std::move(threadsChanged))
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    const qreal dpi = Twips::dpiOf(parent ? parent : this);

    warn = [this](const QString &text) {
        QMessageBox box(QMessageBox::Warning, AppInfo::Title, text, QMessageBox::Ok, this);
        box.exec();
    };
    browseFolder = &FolderPicker::BrowseFolder;

    // Created in tab order: OK, Cancel, then the frame's fields. Layouts give every text the
    // room it needs in the desktop's font; the design's sizes are the least they get.
    auto *cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    auto *cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton *button : {cmdOK, cmdCancel})
        button->setMinimumSize(Twips::toPixels(990, dpi), Twips::toPixels(390, dpi));

    auto *Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::StyledPanel);
    txtNoThreads = new QLineEdit(Frame1);
    txtNoThreads->setObjectName(QStringLiteral("txtNoThreads"));
    txtNoThreads->setFixedWidth(
        std::max(Twips::toPixels(390, dpi),
                 txtNoThreads->fontMetrics().horizontalAdvance(QStringLiteral("000")) +
                     txtNoThreads->minimumSizeHint().width()));
    auto *Label1 = new QLabel(QStringLiteral("Number of threads (1-16)"), Frame1);
    Label1->setBuddy(txtNoThreads);
    txtTBQFolder = new QLineEdit(Frame1);
    txtTBQFolder->setObjectName(QStringLiteral("txtTBQFolder"));
    auto *Label2 = new QLabel(QStringLiteral("TBQ Files Directory"), Frame1);
    Label2->setBuddy(txtTBQFolder);
    cmdBrowse = new QToolButton(Frame1);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    cmdBrowse->setIcon(Icons::themed(QStringLiteral("folder-open"), QStringLiteral("folder")));
    cmdBrowse->setIconSize(QSize(16, 16));
    cmdBrowse->setToolTip(QStringLiteral("Choose the queue folder"));
    // The spin box keeps the count within its bounds, so it needs no check of its own.
    spnRetries = new QSpinBox(Frame1);
    spnRetries->setObjectName(QStringLiteral("spnRetries"));
    spnRetries->setRange(0, SettingKeys::MaxRetries);
    auto *lblRetries = new QLabel(QStringLiteral("Retries after a failure (0-10)"), Frame1);
    lblRetries->setBuddy(spnRetries);
    cmbIfExists = new QComboBox(Frame1);
    cmbIfExists->setObjectName(QStringLiteral("cmbIfExists"));
    cmbIfExists->addItem(QStringLiteral("Replace it"), int(ExistingFileChoice::Replace));
    cmbIfExists->addItem(QStringLiteral("Skip it"), int(ExistingFileChoice::Skip));
    cmbIfExists->addItem(QStringLiteral("Keep both"), int(ExistingFileChoice::KeepBoth));
    auto *lblIfExists = new QLabel(QStringLiteral("If a file already exists"), Frame1);
    lblIfExists->setBuddy(cmbIfExists);

    auto *fields = new QGridLayout(Frame1);
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(txtNoThreads, 0, 1, Qt::AlignLeft);
    fields->setRowMinimumHeight(1, Twips::toPixels(285, dpi));
    fields->addWidget(Label2, 2, 0, 1, 2);
    fields->addWidget(txtTBQFolder, 3, 0, 1, 2);
    fields->addWidget(cmdBrowse, 3, 2);
    fields->setRowMinimumHeight(4, Twips::toPixels(285, dpi));
    fields->addWidget(lblRetries, 5, 0);
    fields->addWidget(spnRetries, 5, 1, Qt::AlignLeft);
    fields->addWidget(lblIfExists, 6, 0);
    fields->addWidget(cmbIfExists, 6, 1, 1, 2, Qt::AlignLeft);
    fields->setColumnStretch(1, 1);
    fields->setRowStretch(7, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame1, 1);
    layout->addLayout(buttons);
    setFixedSize(layout->sizeHint().expandedTo(
        QSize(Twips::toPixels(4980, dpi), Twips::toPixels(3435, dpi))));

    using namespace SettingKeys;
    txtNoThreads->setText(m_store.RegGetSetting(NumberOfThreads));
    txtTBQFolder->setText(m_store.RegGetSetting(TBQFolder));
    spnRetries->setValue(retriesFromText(m_store.RegGetSetting(Retries)));
    cmbIfExists->setCurrentIndex(cmbIfExists->findData(
        int(ifExistsFromText(m_store.RegGetSetting(SettingKeys::IfFileExists)))));

    txtNoThreads->installEventFilter(this);
    txtTBQFolder->installEventFilter(this);
    connect(cmdOK, &QPushButton::clicked, this, &frmOptions::ok);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdBrowse, &QToolButton::clicked, this, &frmOptions::browse);
}

bool frmOptions::ValidateThreads()
{
    if (parseThreadsText(txtNoThreads->text()) > 0)
        return true;
    warn(QStringLiteral("Please enter valid number of threads (1 to 16)."));
    return false;
}

bool frmOptions::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        // A popup or another window taking the focus is not leaving the box.
        const bool leaving =
            reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
        if (watched == txtTBQFolder && leaving) {
            txtTBQFolder->setText(withTrailingSeparator(txtTBQFolder->text()));
        } else if (watched == txtNoThreads && leaving) {
            // Heading for Cancel or the close box needs no valid number.
            const QWidget *next = QApplication::focusWidget();
            const bool toCancel = next && next->objectName() == QLatin1String("cmdCancel");
            if (!toCancel && !ValidateThreads())
                txtNoThreads->setFocus();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmOptions::browse()
{
    const QString folder = browseFolder(this);
    if (!folder.isEmpty())
        txtTBQFolder->setText(withTrailingSeparator(folder));
}

void frmOptions::ok()
{
    if (!ValidateThreads()) {
        txtNoThreads->setFocus();
        return;
    }
    using namespace SettingKeys;
    m_store.RegSaveSetting(NumberOfThreads, txtNoThreads->text());
    m_store.RegSaveSetting(TBQFolder, txtTBQFolder->text());
    m_values.gNumberOfThreads = threadsFromText(txtNoThreads->text());
    const auto ifExists = ExistingFileChoice(cmbIfExists->currentData().toInt());
    m_store.RegSaveSetting(Retries, QString::number(spnRetries->value()));
    m_store.RegSaveSetting(SettingKeys::IfFileExists, ifFileExistsText(ifExists));
    m_values.gQueueFolder = txtTBQFolder->text();
    m_values.gRetries = spnRetries->value();
    m_values.gIfFileExists = ifExists;
    if (m_threadsChanged)
        m_threadsChanged();
    accept();
}
