// Searches started from the main window's toolbar, against a local server.
#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "core/net/hostmapping.h"
#include "core/settings/settingsstore.h"
#include "gui/app/frmdownload.h"
#include "gui/ui/filelistview.h"
#include "support/scriptedprompts.h"
#include "support/testserver.h"

class TestGuiSearch : public QObject
{
    Q_OBJECT

private:
    TestServer m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;
    PromptLog m_log;

    std::unique_ptr<frmDownload> makeWindow()
    {
        auto w = std::make_unique<frmDownload>(*m_store, ProgramValues(),
                                               std::make_unique<ScriptedPrompts>(m_log));
        w->setSearchTimeouts({3000, 1000});
        return w;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(m_server.listen());
        const QString target = QStringLiteral(":127.0.0.1:") + QString::number(m_server.port());
        QVERIFY(HostMapping::global().add(QStringLiteral("groups.gui.test:80") + target));
        QVERIFY(HostMapping::global().add(QStringLiteral("f9.gui.test:80") + target));
        QVERIFY(HostMapping::global().add(QStringLiteral("www.zing.com:80") + target));
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("settings.json")));
        m_log = PromptLog();
    }

    void albumSearchFromTheToolbar()
    {
        TestServer::Response page;
        page.body = "<script>var theUrls = new Array('http://www.zing.com/picture/q1',"
                    "'http://www.zing.com/picture/q2');\n"
                    "var imgCleanCaptions = new Array('Beach','Anchor');</script>";
        m_server.route("/album/?id=1&pwd=pw&agree_accept=Y", page);
        TestServer::Response picture;
        picture.body = QByteArray(2500, 'p');
        m_server.route("/picture/q1.orig.jpg", picture);
        m_server.route("/picture/q2.orig.jpg", picture);

        auto w = makeWindow();
        w->cmbBaseURL->setEditText(QStringLiteral("http://www.zing.com/album/?id=1"));
        w->txtMask->setText(QStringLiteral("pw"));
        QSignalSpy active(&w->state(), &AppState::runActiveChanged);
        w->commands().tbSearch->trigger();
        QVERIFY(!w->commands().tbSearch->isEnabled()); // no second run under this one
        QVERIFY(w->commands().tbAbort->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(w->panelMessage->text(), QStringLiteral("Finished search"), 8000);
        QVERIFY(w->commands().tbSearch->isEnabled());
        QCOMPARE(w->files().rowCount(), 2);
        QCOMPARE(w->files().cell(0, 0), QStringLiteral("Anchor"));
        QCOMPARE(w->files().cell(0, 1), QStringLiteral("2500"));
        w->UpdateTotals();
        QCOMPARE(w->panelTotal->text(), QStringLiteral("2 files, 5,000 bytes"));
    }

    void standingSortHoldsForANewSearch()
    {
        // The sizes arrive after the rows: the rows must still end in the marked order.
        TestServer::Response page;
        page.body = "<script>var theUrls = new Array('http://www.zing.com/picture/s1',"
                    "'http://www.zing.com/picture/s2','http://www.zing.com/picture/s3');\n"
                    "var imgCleanCaptions = new Array('Mid','Big','Small');</script>";
        m_server.route("/album/?id=2&pwd=pw&agree_accept=Y", page);
        const QList<int> sizes{3000, 40000, 20};
        for (int i = 0; i < sizes.size(); ++i) {
            TestServer::Response picture;
            picture.body = QByteArray(sizes[i], 'p');
            m_server.route("/picture/s" + QByteArray::number(i + 1) + ".orig.jpg", picture);
        }

        auto w = makeWindow();
        w->files().addRows({{"old", "5", "u", "0000005"}});
        w->lvFiles->header()->sectionClicked(1);
        w->lvFiles->header()->sectionClicked(1); // "-Size" stands
        w->cmbBaseURL->setEditText(QStringLiteral("http://www.zing.com/album/?id=2"));
        w->txtMask->setText(QStringLiteral("pw"));
        w->commands().tbSearch->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w->panelMessage->text(), QStringLiteral("Finished search"), 8000);
        QCOMPARE(w->files().headerData(1, Qt::Horizontal).toString(), QStringLiteral("-Size"));
        const auto names = [&w] {
            QStringList list;
            for (int row = 0; row < w->files().rowCount(); ++row)
                list.append(w->files().cell(row, 0));
            return list;
        };
        QTRY_COMPARE(names(), (QStringList{"Big", "Mid", "Small"}));
        QTRY_COMPARE(w->panelTotal->text(), QStringLiteral("3 files, 43,020 bytes"));
    }

    void refusedMaskShowsTheMessage()
    {
        auto w = makeWindow();
        w->selectMode(QStringLiteral("Yahoo"));
        w->cmbBaseURL->setEditText(QStringLiteral("http://groups.gui.test/group/x"));
        w->txtMask->setText(QStringLiteral("10-5"));
        w->commands().tbSearch->trigger();
        QCOMPARE(m_log.criticals, QStringList{"Wrong message mask."});
        QCOMPARE(w->panelMessage->text(), QStringLiteral("Error parsing message mask"));
        QVERIFY(w->commands().tbSearch->isEnabled());
    }

    void enterStartsAndEscapeStops()
    {
        TestServer::Response stall;
        stall.mode = TestServer::Mode::Stall;
        m_server.route("/group/keys/message/1", stall);
        auto w = makeWindow();
        w->showAsLoaded();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        // Escape with nothing running changes nothing.
        QTest::keyClick(w->txtMask, Qt::Key_Escape);
        QVERIFY(!w->state().AbortRequested);
        w->selectMode(QStringLiteral("Yahoo"));
        w->cmbBaseURL->setEditText(QStringLiteral("http://groups.gui.test/group/keys"));
        w->txtMask->setText(QStringLiteral("1"));
        QTest::keyClick(w->txtMask, Qt::Key_Return);
        QVERIFY(w->state().isRunActive());
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount("/group/keys/message/1"), 1, 5000);
        QTest::keyClick(w->txtMask, Qt::Key_Escape);
        QTRY_COMPARE_WITH_TIMEOUT(w->panelMessage->text(), QStringLiteral("Search aborted"), 5000);
        QVERIFY(!w->state().isRunActive());
    }

    void closingDuringAGroupSearchAsks()
    {
        TestServer::Response stall;
        stall.mode = TestServer::Mode::Stall;
        m_server.route("/group/x/message/1", stall);
        m_server.route("/group/x/message/2", stall);
        auto w = makeWindow();
        w->showAsLoaded();
        w->selectMode(QStringLiteral("Yahoo"));
        w->cmbBaseURL->setEditText(QStringLiteral("http://groups.gui.test/group/x"));
        w->txtMask->setText(QStringLiteral("1,2"));
        w->commands().tbSearch->trigger();
        QVERIFY(w->state().AnyThreadBusy());
        m_log.answerYes = false;
        QVERIFY(!w->close());
        QCOMPARE(m_log.abortAsked, 1);
        QVERIFY(w->isVisible());
        m_log.answerYes = true;
        QVERIFY(!w->close()); // Yes: aborts, then closes once every slot is idle
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 5000);
        QCOMPARE(w->panelMessage->text(), QStringLiteral("Search aborted"));
    }
};

QTEST_MAIN(TestGuiSearch)
#include "test_guisearch.moc"
