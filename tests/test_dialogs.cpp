// The options dialog, the folder picker's callers and the advanced criteria dialog.
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"
#include "gui/app/frmdownload.h"
#include "gui/ui/advanceddialog.h"
#include "gui/ui/optionsdialog.h"
#include "gui/ui/slotrows.h"
#include "support/scriptedprompts.h"

class TestDialogs : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;
    PromptLog m_log;
    QStringList m_warnings;

    QString setting(const QString &key)
    {
        return m_store->RegGetSetting(SettingKeys::Application, SettingKeys::SectionSettings, key,
                                      QStringLiteral("<none>"));
    }
    std::unique_ptr<frmOptions> makeOptions(ProgramValues &values,
                                            std::function<void()> changed = {})
    {
        auto dialog = std::make_unique<frmOptions>(*m_store, values, std::move(changed));
        dialog->warn = [this](const QString &text) {
            m_warnings.append(text);
        };
        return dialog;
    }

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("settings.json")));
        m_log = PromptLog();
        m_warnings.clear();
    }

    void validateThreads_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("16") << "16" << true;
        QTest::newRow("8") << "8" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("17") << "17" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("word") << "four" << false;
        QTest::newRow("4.0") << "4.0" << false;
        QTest::newRow("negative") << "-2" << false;
    }

    void validateThreads()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        ProgramValues values;
        auto dialog = makeOptions(values);
        dialog->txtNoThreads->setText(text);
        QCOMPARE(dialog->ValidateThreads(), valid);
        QCOMPARE(m_warnings, valid
                                 ? QStringList()
                                 : QStringList{"Please enter valid number of threads (1 to 16)."});
    }

    void opensWithStoredValues()
    {
        ProgramValues values;
        {
            auto dialog = makeOptions(values);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Options"));
            QCOMPARE(dialog->txtNoThreads->text(), QStringLiteral("4"));
            QCOMPARE(dialog->txtTBQFolder->text(), QString());
        }
        m_store->RegSaveSetting(SettingKeys::Application, SettingKeys::SectionSettings,
                                SettingKeys::NumberOfThreads.key, QStringLiteral("9"));
        auto dialog = makeOptions(values);
        QCOMPARE(dialog->txtNoThreads->text(), QStringLiteral("9"));
    }

    void okStoresSetsValuesAndRebuildsRows()
    {
        ProgramValues values;
        int changed = 0;
        auto dialog = makeOptions(values, [&changed] { ++changed; });
        dialog->txtNoThreads->setText(QStringLiteral("8"));
        dialog->txtTBQFolder->setText(QStringLiteral("/queues/"));
        dialog->ok();
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(setting(SettingKeys::NumberOfThreads.key), QStringLiteral("8"));
        QCOMPARE(setting(SettingKeys::TBQFolder.key), QStringLiteral("/queues/"));
        QCOMPARE(values.gNumberOfThreads, qint16(8));
        QCOMPARE(values.gQueueFolder, QStringLiteral("/queues/"));
        QCOMPARE(changed, 1);
    }

    void retriesAndIfExistsStoreAndReload_data()
    {
        QTest::addColumn<QStringList>("stored"); // Retries, IfFileExists; "" for none
        QTest::addColumn<int>("retries");
        QTest::addColumn<QString>("choice");
        QTest::newRow("defaults") << QStringList{"", ""} << 3 << "Replace it";
        QTest::newRow("stored") << QStringList{"10", "skip"} << 10 << "Skip it";
        QTest::newRow("any case") << QStringList{" 0 ", "Keep-Both"} << 0 << "Keep both";
        QTest::newRow("bad values") << QStringList{"11", "delete"} << 3 << "Replace it";
        QTest::newRow("no number") << QStringList{"2.5", "keep both"} << 3 << "Replace it";
    }

    void retriesAndIfExistsStoreAndReload()
    {
        QFETCH(QStringList, stored);
        QFETCH(int, retries);
        using namespace SettingKeys;
        for (int i : {0, 1}) {
            if (!stored[i].isEmpty())
                m_store->RegSaveSetting(Application, SectionSettings,
                                        i == 0 ? Retries : IfFileExists, stored[i]);
        }
        ProgramValues values;
        values.load(*m_store);
        QCOMPARE(values.gRetries, retries);
        auto dialog = makeOptions(values);
        QCOMPARE(dialog->spnRetries->value(), retries);
        QTEST(dialog->cmbIfExists->currentText(), "choice");

        dialog->spnRetries->setValue(7);
        dialog->cmbIfExists->setCurrentText(QStringLiteral("Keep both"));
        dialog->ok();
        QCOMPARE(setting(Retries), QStringLiteral("7"));
        QCOMPARE(setting(IfFileExists), QStringLiteral("keep-both"));
        QCOMPARE(values.gRetries, 7);
        QCOMPARE(values.gIfFileExists, ExistingFileChoice::KeepBoth);
        auto reopened = makeOptions(values);
        QCOMPARE(reopened->spnRetries->value(), 7);
        QCOMPARE(reopened->cmbIfExists->currentText(), QStringLiteral("Keep both"));
    }

    void okWithABadNumberKeepsTheDialogOpen()
    {
        ProgramValues values;
        int changed = 0;
        auto dialog = makeOptions(values, [&changed] { ++changed; });
        dialog->show();
        dialog->txtNoThreads->setText(QStringLiteral("17"));
        dialog->ok();
        QVERIFY(dialog->isVisible());
        QCOMPARE(m_warnings.size(), 1);
        QCOMPARE(setting(SettingKeys::NumberOfThreads.key), QStringLiteral("<none>"));
        QCOMPARE(values.gNumberOfThreads, qint16(4));
        QCOMPARE(changed, 0);
    }

    void cancelChangesNothing()
    {
        ProgramValues values;
        auto dialog = makeOptions(values);
        dialog->txtNoThreads->setText(QStringLiteral("2"));
        dialog->txtTBQFolder->setText(QStringLiteral("/elsewhere/"));
        dialog->spnRetries->setValue(9);
        dialog->cmbIfExists->setCurrentIndex(2);
        dialog->reject();
        QCOMPARE(setting(SettingKeys::NumberOfThreads.key), QStringLiteral("<none>"));
        QCOMPARE(setting(SettingKeys::Retries.key), QStringLiteral("<none>"));
        QCOMPARE(setting(SettingKeys::IfFileExists.key), QStringLiteral("<none>"));
        QCOMPARE(setting(SettingKeys::TBQFolder.key), QStringLiteral("<none>"));
        QCOMPARE(values.gNumberOfThreads, qint16(4));
    }

    void leavingTheFolderBoxAddsTheSeparator()
    {
        ProgramValues values;
        auto dialog = makeOptions(values);
        const auto leave = [&dialog](const QString &text) {
            dialog->txtTBQFolder->setText(text);
            QFocusEvent event(QEvent::FocusOut, Qt::TabFocusReason);
            QCoreApplication::sendEvent(dialog->txtTBQFolder, &event);
            return dialog->txtTBQFolder->text();
        };
        QCOMPARE(leave(QStringLiteral("/home/me/queues")), QStringLiteral("/home/me/queues/"));
        QCOMPARE(leave(QStringLiteral("/")), QStringLiteral("/"));
        QCOMPARE(leave(QString()), QString());
    }

    void leavingTheNumberBoxValidates()
    {
        ProgramValues values;
        auto dialog = makeOptions(values);
        dialog->txtNoThreads->setText(QStringLiteral("abc"));
        QFocusEvent event(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(dialog->txtNoThreads, &event);
        QCOMPARE(m_warnings.size(), 1);
    }

    void browseButtonPutsTheFolder()
    {
        ProgramValues values;
        auto dialog = makeOptions(values);
        dialog->txtTBQFolder->setText(QStringLiteral("/before/"));
        dialog->browseFolder = [](QWidget *) {
            return QString();
        }; // cancelled
        dialog->cmdBrowse->click();
        QCOMPARE(dialog->txtTBQFolder->text(), QStringLiteral("/before/"));
        dialog->browseFolder = [](QWidget *) {
            return QStringLiteral("/picked");
        };
        dialog->cmdBrowse->click();
        QCOMPARE(dialog->txtTBQFolder->text(), QStringLiteral("/picked/"));
    }

    void windowRebuildsRowsAndRestoresTheTab()
    {
        auto w = std::make_unique<frmDownload>(*m_store, ProgramValues(),
                                               std::make_unique<ScriptedPrompts>(m_log));
        w->SSTab1->setCurrentIndex(2);
        QSignalSpy tabs(w->SSTab1, &QTabWidget::currentChanged);
        frmOptions dialog(
            *m_store, w->values(), [&w] { w->threadsChanged(); }, w.get());
        dialog.txtNoThreads->setText(QStringLiteral("8"));
        dialog.ok();
        QCOMPARE(w->threadsPage->rowCount(), 8);
        QCOMPARE(tabs.count(), 2);
        QCOMPARE(tabs.at(0).at(0).toInt(), 1); // the Threads tab in front while rebuilding
        QCOMPARE(w->SSTab1->currentIndex(), 2);
    }

    void changeDuringARunWaitsForItsEnd()
    {
        auto w = std::make_unique<frmDownload>(*m_store, ProgramValues(),
                                               std::make_unique<ScriptedPrompts>(m_log));
        w->state().setRunActive(true);
        frmOptions dialog(
            *m_store, w->values(), [&w] { w->threadsChanged(); }, w.get());
        dialog.txtNoThreads->setText(QStringLiteral("2"));
        dialog.ok();
        QCOMPARE(setting(SettingKeys::NumberOfThreads.key), QStringLiteral("2"));
        QCOMPARE(w->threadsPage->rowCount(), 4);
        w->state().setRunActive(false);
        QCOMPARE(w->threadsPage->rowCount(), 2);
    }

    void advancedCriteriaLoadsAndStores()
    {
        ProgramValues values;
        values.gFilterSubject = QStringLiteral("CZ69*");
        values.gFilterAuthor = QStringLiteral(" Ann");
        frmAdvancedCriteria dialog(*m_store, values);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Advanced Search Criteria"));
        QCOMPARE(dialog.txtSubject->text(), QStringLiteral("CZ69*"));
        QCOMPARE(dialog.txtAuthor->text(), QStringLiteral(" Ann"));
        QCOMPARE(dialog.txtFileName->text(), QString());
        dialog.txtFileName->setText(QStringLiteral("*.jpg "));
        dialog.ok();
        QCOMPARE(values.gFilterFilename, QStringLiteral("*.jpg "));
        // Stored exactly as typed, blanks included.
        QCOMPARE(setting(SettingKeys::FilterSubject.key), QStringLiteral("CZ69*"));
        QCOMPARE(setting(SettingKeys::FilterAuthor.key), QStringLiteral(" Ann"));
        QCOMPARE(setting(SettingKeys::FilterFilename.key), QStringLiteral("*.jpg "));
    }

    void advancedCriteriaEmptyTurnsFilteringOff()
    {
        ProgramValues values;
        values.gFilterSubject = QStringLiteral("x");
        frmAdvancedCriteria dialog(*m_store, values);
        dialog.txtSubject->clear();
        dialog.ok();
        QCOMPARE(values.gFilterSubject, QString());
        QCOMPARE(setting(SettingKeys::FilterSubject.key), QString());
        QCOMPARE(setting(SettingKeys::FilterAuthor.key), QString());
        QCOMPARE(setting(SettingKeys::FilterFilename.key), QString());
    }

    void advancedCriteriaCancelChangesNothing()
    {
        ProgramValues values;
        values.gFilterAuthor = QStringLiteral("Bob");
        frmAdvancedCriteria dialog(*m_store, values);
        dialog.txtAuthor->setText(QStringLiteral("Eve"));
        dialog.reject();
        QCOMPARE(values.gFilterAuthor, QStringLiteral("Bob"));
        QCOMPARE(setting(SettingKeys::FilterAuthor.key), QStringLiteral("<none>"));
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
