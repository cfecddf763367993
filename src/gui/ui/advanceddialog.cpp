#include "gui/ui/advanceddialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/app/programvalues.h"
#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"

frmAdvancedCriteria::frmAdvancedCriteria(const SettingsStore &store, ProgramValues &values,
                                         QWidget *parent)
    : QDialog(parent), m_store(store), m_values(values)
{
    setObjectName(QStringLiteral("frmAdvancedCriteria"));
    setWindowTitle(QStringLiteral("Advanced Search Criteria"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    auto *Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *form = new QFormLayout;
    txtSubject = new QLineEdit(m_values.gFilterSubject);
    txtSubject->setObjectName(QStringLiteral("txtSubject"));
    txtAuthor = new QLineEdit(m_values.gFilterAuthor);
    txtAuthor->setObjectName(QStringLiteral("txtAuthor"));
    txtFileName = new QLineEdit(m_values.gFilterFilename);
    txtFileName->setObjectName(QStringLiteral("txtFileName"));
    form->addRow(QStringLiteral("Subject:"), txtSubject);
    form->addRow(QStringLiteral("Author:"), txtAuthor);
    form->addRow(QStringLiteral("Filename:"), txtFileName);
    auto *Label4 = new QLabel(
        QStringLiteral("Use wildcard characters (*,?,#) to build additional search criteria "
                       "when scanning the Yahoo groups. Example: Subject - CZ69* (this will "
                       "include attachements found in the messages where Subject starts with "
                       "CZ69)"));
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setWordWrap(true);
    auto *frameLayout = new QVBoxLayout(Frame1);
    frameLayout->addLayout(form);
    frameLayout->addWidget(Label4);

    auto *buttons = new QDialogButtonBox;
    QPushButton *cmdOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    QPushButton *cmdCancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdOK, &QPushButton::clicked, this, &frmAdvancedCriteria::ok);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

void frmAdvancedCriteria::ok()
{
    m_values.gFilterSubject = txtSubject->text();
    m_values.gFilterAuthor = txtAuthor->text();
    m_values.gFilterFilename = txtFileName->text();
    using namespace SettingKeys;
    m_store.RegSaveSetting(FilterSubject, m_values.gFilterSubject);
    m_store.RegSaveSetting(FilterAuthor, m_values.gFilterAuthor);
    m_store.RegSaveSetting(FilterFilename, m_values.gFilterFilename);
    accept();
}
