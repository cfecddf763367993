// The options dialog and the window's answer to it.
#include <QCheckBox>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>

#include "core/settings/settingkeys.h"
#include "gui/app/runcontrols.h"
#include "gui/ui/advanceddialog.h"
#include "gui/ui/optionsdialog.h"
#include "gui/ui/tipsdialog.h"
#include "support/windowparts.h"

using namespace SettingKeys;

class TestDialogs : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> m_f;
    QStringList m_warnings;

    QString setting(const Setting &entry) const
    {
        return m_f->store.RegGetSetting(Application, entry.section, entry.key, "<none>");
    }
    std::unique_ptr<frmOptions> makeOptions(ProgramValues &values,
                                            std::function<void()> changed = {})
    {
        auto dialog = std::make_unique<frmOptions>(m_f->store, values, std::move(changed));
        dialog->warn = [this](const QString &text) {
            m_warnings.append(text);
        };
        return dialog;
    }

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        m_f = std::make_unique<WindowFixture>();
        m_warnings.clear();
    }

    void okChecksTheThreadCount_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("16") << "16" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("17") << "17" << false;
        QTest::newRow("word") << "four" << false;
        QTest::newRow("4.0") << "4.0" << false;
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
        QCOMPARE(m_warnings.size() + changed, 1);
        QCOMPARE(setting(NumberOfThreads) + setting(TBQFolder),
                 valid ? text + "/queues/" : "<none><none>");
        QCOMPARE(values.gNumberOfThreads, valid ? text.toInt() : 4);
    }

    void retriesAndIfExistsLoadAndSave_data()
    {
        QTest::addColumn<QString>("stored"); // retries|if exists, "" for none
        QTest::addColumn<int>("retries");
        QTest::addColumn<QString>("choice");
        QTest::newRow("defaults") << "|" << 3 << "Replace it";
        QTest::newRow("stored") << "10|skip" << 10 << "Skip it";
        QTest::newRow("any case") << " 0 |Keep-Both" << 0 << "Keep both";
        QTest::newRow("bad values") << "11|delete" << 3 << "Replace it";
    }
    void retriesAndIfExistsLoadAndSave()
    {
        QFETCH(QString, stored);
        if (!stored.section(u'|', 0, 0).isEmpty())
            m_f->store.RegSaveSetting(Retries, stored.section(u'|', 0, 0));
        if (!stored.section(u'|', 1).isEmpty())
            m_f->store.RegSaveSetting(IfFileExists, stored.section(u'|', 1));
        ProgramValues values;
        values.load(m_f->store);
        QTEST(values.gRetries, "retries");
        auto dialog = makeOptions(values);
        QTEST(dialog->spnRetries->value(), "retries");
        QTEST(dialog->cmbIfExists->currentText(), "choice");

        dialog->spnRetries->setValue(7);
        dialog->cmbIfExists->setCurrentText("Keep both");
        dialog->ok();
        QCOMPARE(setting(Retries) + setting(IfFileExists), "7keep-both");
        QCOMPARE(values.gRetries, 7);
        QCOMPARE(values.gIfFileExists, ExistingFileChoice::KeepBoth);
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
        QCOMPARE(leave(dialog->txtTBQFolder, ""), "");
        leave(dialog->txtNoThreads, "abc");
        QCOMPARE(m_warnings.size(), 1);

        // The folder picker's answer gets the separator too; a cancelled picker changes nothing.
        QString picked;
        dialog->browseFolder = [&picked](QWidget *) {
            return picked;
        };
        dialog->cmdBrowse->click();
        QCOMPARE(dialog->txtTBQFolder->text(), "");
        picked = "/picked";
        dialog->cmdBrowse->click();
        QCOMPARE(dialog->txtTBQFolder->text(), "/picked/");
    }

    // The slot rows are rebuilt with the Threads tab in front, and not during a run.
    void windowFollowsTheThreadCount()
    {
        auto w = m_f->window();
        const auto apply = [&w, this](const QString &count) {
            frmOptions dialog(m_f->store, w->values(), [&w] { w->runs().threadsChanged(); });
            dialog.txtNoThreads->setText(count);
            dialog.ok();
        };
        const WindowParts p(*w);
        p.SSTab1->setCurrentIndex(2);
        QSignalSpy tabs(p.SSTab1, &QTabWidget::currentChanged);
        apply("8");
        QCOMPARE(p.threadsPage->rowCount(), 8);
        QCOMPARE(tabs.count() + p.SSTab1->currentIndex(), 4); // there and back

        w->state().setRunActive(true);
        apply("2");
        QCOMPARE(p.threadsPage->rowCount(), 8);
        w->state().setRunActive(false);
        QCOMPARE(p.threadsPage->rowCount(), 2);
    }

    void tipsAndCriteriaStoreWhatWasChosen()
    {
        frmTips tips(m_f->store);
        tips.chkNoTips->setChecked(true);
        tips.show();
        tips.close(); // the close box counts as well as OK
        QCOMPARE(setting(NoTips), "1");
        ProgramValues values;
        values.gFilterAuthor = " Ann";
        frmAdvancedCriteria criteria(m_f->store, values);
        criteria.txtFileName->setText("*.jpg ");
        criteria.ok();
        QCOMPARE(setting(FilterAuthor) + '|' + setting(FilterFilename) + '|' +
                     setting(FilterSubject),
                 " Ann|*.jpg |"); // as typed, spaces and all
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
