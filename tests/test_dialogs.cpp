// The options dialog, the folder picker's callers and the advanced criteria dialog.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
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
#include "gui/app/runcontrols.h"
#include "gui/ui/advanceddialog.h"
#include "gui/ui/optionsdialog.h"
#include "gui/ui/slotrows.h"
#include "gui/ui/tipsdialog.h"
#include "support/scriptedprompts.h"
#include "support/windowparts.h"

using namespace SettingKeys;

class TestDialogs : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;
    PromptLog m_log;
    QStringList m_warnings;

    QString setting(const Setting &entry) const
    {
        return m_store->RegGetSetting(Application, entry.section, entry.key, "<none>");
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
        m_store = std::make_unique<SettingsStore>(m_dir->filePath("settings.json"));
        m_log = PromptLog();
        m_warnings.clear();
    }

    void okChecksTheThreadCount_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        // clang-format off
        QTest::newRow("1") << "1" << true;
        QTest::newRow("16") << "16" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("17") << "17" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("word") << "four" << false;
        QTest::newRow("4.0") << "4.0" << false;
        // clang-format on
    }
    // A bad number keeps the dialog open with one warning and stores nothing.
    void okChecksTheThreadCount()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        ProgramValues values;
        int changed = 0;
        auto dialog = makeOptions(values, [&changed] { ++changed; });
        dialog->show();
        dialog->txtNoThreads->setText(text);
        dialog->txtTBQFolder->setText("/queues/");
        dialog->ok();
        QCOMPARE(dialog->isVisible(), !valid);
        QCOMPARE(m_warnings.size(), valid ? 0 : 1);
        QCOMPARE(setting(NumberOfThreads), valid ? text : "<none>");
        QCOMPARE(setting(TBQFolder), valid ? "/queues/" : "<none>");
        QCOMPARE(values.gNumberOfThreads, valid ? text.toInt() : 4);
        QCOMPARE(values.gQueueFolder, valid ? "/queues/" : "");
        QCOMPARE(changed, valid ? 1 : 0);
    }

    void retriesAndIfExistsLoadAndSave_data()
    {
        QTest::addColumn<QString>("stored"); // retries|if exists, "" for none
        QTest::addColumn<int>("retries");
        QTest::addColumn<QString>("choice");
        // clang-format off
        QTest::newRow("defaults") << "|" << 3 << "Replace it";
        QTest::newRow("stored") << "10|skip" << 10 << "Skip it";
        QTest::newRow("any case") << " 0 |Keep-Both" << 0 << "Keep both";
        QTest::newRow("bad values") << "11|delete" << 3 << "Replace it";
        QTest::newRow("no number") << "2.5|keep both" << 3 << "Replace it";
        // clang-format on
    }
    void retriesAndIfExistsLoadAndSave()
    {
        QFETCH(QString, stored);
        if (!stored.section(u'|', 0, 0).isEmpty())
            m_store->RegSaveSetting(Retries, stored.section(u'|', 0, 0));
        if (!stored.section(u'|', 1).isEmpty())
            m_store->RegSaveSetting(IfFileExists, stored.section(u'|', 1));
        ProgramValues values;
        values.load(*m_store);
        QTEST(values.gRetries, "retries");
        auto dialog = makeOptions(values);
        QTEST(dialog->spnRetries->value(), "retries");
        QTEST(dialog->cmbIfExists->currentText(), "choice");

        dialog->spnRetries->setValue(7);
        dialog->cmbIfExists->setCurrentText("Keep both");
        dialog->ok();
        QCOMPARE(setting(Retries), "7");
        QCOMPARE(setting(IfFileExists), "keep-both");
        QCOMPARE(values.gRetries, 7);
        QCOMPARE(values.gIfFileExists, ExistingFileChoice::KeepBoth);
        auto reopened = makeOptions(values);
        QCOMPARE(reopened->spnRetries->value(), 7);
        QCOMPARE(reopened->cmbIfExists->currentText(), "Keep both");
    }

    void cancelChangesNothing()
    {
        ProgramValues values;
        values.gFilterAuthor = "Bob";
        auto dialog = makeOptions(values);
        dialog->txtNoThreads->setText("2");
        dialog->txtTBQFolder->setText("/elsewhere/");
        dialog->spnRetries->setValue(9);
        dialog->cmbIfExists->setCurrentIndex(2);
        dialog->reject();
        frmAdvancedCriteria criteria(*m_store, values);
        criteria.txtAuthor->setText("Eve");
        criteria.reject();
        QVERIFY(!QFile::exists(m_store->filePath()));
        QCOMPARE(values.gNumberOfThreads, 4);
        QCOMPARE(values.gFilterAuthor, "Bob");
    }

    void leavingTheBoxes()
    {
        ProgramValues values;
        auto dialog = makeOptions(values);
        const auto leave = [](QLineEdit *box, const QString &text) {
            box->setText(text);
            QFocusEvent event(QEvent::FocusOut, Qt::TabFocusReason);
            QCoreApplication::sendEvent(box, &event);
            return box->text();
        };
        QCOMPARE(leave(dialog->txtTBQFolder, "/home/me/queues"), "/home/me/queues/");
        QCOMPARE(leave(dialog->txtTBQFolder, "/"), "/");
        QCOMPARE(leave(dialog->txtTBQFolder, ""), "");
        QVERIFY(m_warnings.isEmpty());
        leave(dialog->txtNoThreads, "abc");
        QCOMPARE(m_warnings.size(), 1);

        // The folder picker's answer gets the separator too; a cancelled picker changes nothing.
        QString picked;
        dialog->browseFolder = [&picked](QWidget *) {
            return picked;
        };
        dialog->txtTBQFolder->setText("/before/");
        dialog->cmdBrowse->click();
        QCOMPARE(dialog->txtTBQFolder->text(), "/before/");
        picked = "/picked";
        dialog->cmdBrowse->click();
        QCOMPARE(dialog->txtTBQFolder->text(), "/picked/");
    }

    // The slot rows are rebuilt with the Threads tab in front, and not during a run.
    void windowFollowsTheThreadCount()
    {
        auto w = std::make_unique<frmDownload>(*m_store, ProgramValues(),
                                               std::make_unique<ScriptedPrompts>(m_log));
        const auto apply = [&w, this](const QString &count) {
            frmOptions dialog(
                *m_store, w->values(), [&w] { w->runs().threadsChanged(); }, w.get());
            dialog.txtNoThreads->setText(count);
            dialog.ok();
        };
        const WindowParts p(*w);
        p.SSTab1->setCurrentIndex(2);
        QSignalSpy tabs(p.SSTab1, &QTabWidget::currentChanged);
        apply("8");
        QCOMPARE(p.threadsPage->rowCount(), 8);
        QCOMPARE(tabs.count(), 2);
        QCOMPARE(tabs.at(0).at(0).toInt(), 1);
        QCOMPARE(p.SSTab1->currentIndex(), 2);

        w->state().setRunActive(true);
        apply("2");
        QCOMPARE(setting(NumberOfThreads), "2");
        QCOMPARE(p.threadsPage->rowCount(), 8);
        w->state().setRunActive(false);
        QCOMPARE(p.threadsPage->rowCount(), 2);
    }

    void tipsDialogStoresNoTipsHoweverItCloses()
    {
        frmTips tips(*m_store);
        tips.chkNoTips->setChecked(true);
        tips.show();
        tips.close(); // the close box
        QCOMPARE(setting(NoTips), "1");
        frmTips again(*m_store);
        again.accept(); // OK with the box unchecked
        QCOMPARE(setting(NoTips), "0");
    }

    void advancedCriteriaStoreAsTyped()
    {
        ProgramValues values;
        values.gFilterSubject = "CZ69*";
        values.gFilterAuthor = " Ann";
        frmAdvancedCriteria dialog(*m_store, values);
        QCOMPARE(dialog.txtSubject->text(), "CZ69*");
        QCOMPARE(dialog.txtAuthor->text(), " Ann");
        QCOMPARE(dialog.txtFileName->text(), "");
        dialog.txtFileName->setText("*.jpg ");
        dialog.txtSubject->clear(); // an empty pattern turns that filter off
        dialog.ok();
        QCOMPARE(values.gFilterFilename, "*.jpg ");
        QCOMPARE(values.gFilterSubject, "");
        QCOMPARE(setting(FilterSubject), "");
        QCOMPARE(setting(FilterAuthor), " Ann");
        QCOMPARE(setting(FilterFilename), "*.jpg ");
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
