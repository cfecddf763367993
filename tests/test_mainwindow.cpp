// The main window on the offscreen platform: start-up, the close request, the keys and the
// result list's commands.
#include <QAction>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QStandardPaths>
#include <QTest>
#include <QWebEngineView>

#include "core/net/hostmapping.h"
#include "core/settings/settingkeys.h"
#include "gui/app/modeswitch.h"
#include "gui/ui/twips.h"
#include "support/testfiles.h"
#include "support/testserver.h"
#include "support/windowparts.h"

using namespace SettingKeys;

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> m_f;
    TestServer m_server;

    // The stored value, or "-" when nothing is stored.
    QString stored(const Setting &s) { return m_f->store.RegGetSetting({s.section, s.key, "-"}); }
    void store(const Setting &s, const QString &value) { m_f->store.RegSaveSetting(s, value); }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        // A group page that answers only after a while keeps a search busy.
        QVERIFY(m_server.listen() && HostMapping::global().add("groups.close.test:80:127.0.0.1:" +
                                                               QString::number(m_server.port())));
        m_server.route("/g/message/1", serve("<html></html>", TestServer::Mode::Normal, 600));
    }
    void init() { m_f = std::make_unique<WindowFixture>(); }

    void startupLoadsStoredValues_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("threads");
        QTest::addColumn<bool>("strange"); // a word for the width, bounds off every screen
        QTest::addColumn<int>("slotCount");
        // clang-format off
        QTest::newRow("stored") << "/data/in/" << "7" << false << 7;
        QTest::newRow("strange values fall back") << "" << "40" << true << 4;
        // clang-format on
    }
    void startupLoadsStoredValues()
    {
        QFETCH(QString, folder);
        QFETCH(QString, threads);
        QFETCH(int, slotCount);
        QFETCH(bool, strange);
        if (!folder.isEmpty())
            store(DownloadFolder, folder);
        if (!threads.isEmpty())
            store(NumberOfThreads, threads);
        for (const Setting &s : {Width, Left, Top})
            strange ? store(s, s.key == "Width" ? "wide" : "-900000") : void();
        auto w = m_f->window();
        const WindowParts p(*w);
        QCOMPARE(p.cmbServer->itemText(1) + ':' + modeText(*w->modes().shownMode()), "Yahoo:Zing");
        QCOMPARE(p.txtDownloadTo->text(), folder);
        QCOMPARE(p.threadsPage->rowCount(), slotCount);
        QCOMPARE(p.SSTab1->currentIndex() + m_f->log.tipsShown, 0);
        QCOMPARE(p.totals(), "0 checked, 0 bytes|0 selected, 0 bytes|0 files, 0 bytes");
        QVERIFY(!p.browserPage->view()); // the browser engine starts with the Browser tab
        const qreal dpi = Twips::dpiOf(w.get());
        QCOMPARE(w->size(), QSize(Twips::toPixels(9200, dpi), Twips::toPixels(8550, dpi)));
        QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().intersects(w->geometry()));
    }

    void closingAsksWhileWorkersAreBusy_data()
    {
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("yes"); // the answer, and File > Exit rather than the close box
        QTest::newRow("idle: no question") << false << true;
        QTest::newRow("busy, No: the run goes on") << true << false;
        QTest::newRow("busy, Yes: aborts, closes once idle") << true << true;
    }
    void closingAsksWhileWorkersAreBusy()
    {
        QFETCH(bool, busy);
        QFETCH(bool, yes);
        m_f->log.answerYes = yes;
        auto w = m_f->window();
        const WindowParts p(*w);
        w->showAsLoaded();
        if (busy) {
            w->modes().selectMode("Yahoo");
            p.cmbBaseURL->setEditText("http://groups.close.test/g");
            p.txtMask->setText("1");
            w->commands().tbSearch->trigger();
        }
        p.txtDownloadTo->setText("/after/");
        yes ? w->commands().mnuFileExit->trigger() : void(w->close());
        QCOMPARE(m_f->log.abortAsked, busy ? 1 : 0);
        QCOMPARE(w->isVisible(), busy);
        // The stalled page ends at once on the abort; the window closes after it.
        QCOMPARE(p.panelMessage->fullText(), !busy ? ""
                                             : yes ? "Search aborted"
                                                   : "Processing message 1");
        QCOMPARE(stored(DownloadFolder), busy ? "-" : "/after/");
        if (!busy)
            return;
        if (!yes) {
            QTRY_COMPARE(p.panelMessage->fullText(), "Finished search"); // the page came
            QVERIFY(w->close()); // idle now: no second question
        }
        QTRY_VERIFY(!w->isVisible());
        QCOMPARE(m_f->log.abortAsked, 1);
        QCOMPARE(stored(DownloadFolder), "/after/");
    }

    // Rows a, b, c of 1000, 2000, 3000 bytes; a and b ticked; no command runs UpdateTotals.
    void keysAndTotals_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("first"); // the rows selected before the key, the last one current
        QTest::addColumn<int>("last");
        QTest::addColumn<QString>("totals");
        // clang-format off
        QTest::newRow("rows found") << "" << -1 << -1 << "2 checked, 3,000 bytes|0 selected, 0 bytes|3 files, 6,000 bytes";
        QTest::newRow("Ctrl+A") << "ctrl+a" << -1 << -1 << "2 checked, 3,000 bytes|3 selected, 6,000 bytes|3 files, 6,000 bytes";
        QTest::newRow("unticked by a run") << "" << 1 << -1 << "1 checked, 1,000 bytes|0 selected, 0 bytes|3 files, 6,000 bytes";
        QTest::newRow("Space, unticked") << "space" << 1 << 2 << "3 checked, 6,000 bytes|2 selected, 5,000 bytes|3 files, 6,000 bytes";
        QTest::newRow("Space, ticked") << "space" << 0 << 1 << "0 checked, 0 bytes|2 selected, 3,000 bytes|3 files, 6,000 bytes";
        QTest::newRow("Delete") << "delete" << 0 << 0 << "1 checked, 2,000 bytes|1 selected, 2,000 bytes|2 files, 5,000 bytes";
        // clang-format on
    }
    void keysAndTotals()
    {
        QFETCH(QString, key);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QString, totals);
        auto w = m_f->window();
        const WindowParts p(*w);
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        p.lvFiles->setFocus();
        w->files().addRows({{"a", "1000", "u"}, {"b", "2000", "u"}, {"c", "3000", "u"}});
        w->files().setChecked(0, true);
        w->files().setChecked(1, true);
        if (last >= 0)
            p.select(first, last);
        else if (first >= 0)
            w->files().setChecked(first, false);
        const QHash<QString, QKeyCombination> keys{
            {"ctrl+a", Qt::CTRL | Qt::Key_A}, {"space", Qt::Key_Space}, {"delete", Qt::Key_Delete}};
        if (keys.contains(key))
            QTest::keyClick(p.lvFiles, keys[key].key(), keys[key].keyboardModifiers());
        QTRY_COMPARE(p.totals(), totals);

        // Long texts neither overprint nor hide the list's sizes, at the starting size and
        // maximized.
        w->files().addRow({"d", "12345678901", "u"});
        // At the starting size the totals give way, in short, to a search's message.
        w->state().setStatusMessage("Finished search, 3 pages failed: 9,23,31");
        w->CheckItems(true, false);
        QTRY_COMPARE(p.panelMessage->text(), p.panelMessage->fullText());
        QCOMPARE(p.panelTotal->text(), p.panelTotal->shortText());
        w->CheckItems(true, true);
        w->state().setStatusMessage("3 pages failed: HTTP status 404 (pages 9, 23, 31)");
        for (bool maximized : {false, true}) {
            maximized ? w->showMaximized() : void();
            QTRY_VERIFY2(p.statusBarFaults().isEmpty(), qPrintable(p.statusBarFaults().join("; ")));
            for (const char *mode : {"Yahoo", "Zing"}) {
                w->modes().selectMode(mode);
                const QHeaderView *header = p.lvFiles->header();
                const int size = sizeColumn(w->modes().mode());
                QVERIFY(header->sectionViewportPosition(size) + header->sectionSize(size) <=
                        p.lvFiles->viewport()->width());
            }
        }
    }

    void listCommandsFollowRowsAndFiles()
    {
        auto w = m_f->window();
        const WindowParts p(*w);
        w->showAsLoaded();
        const auto enabled = [&p] {
            p.lvFiles->updatePopupEnabled();
            QString states;
            for (QAction *a : p.lvFiles->mnuPopup->actions())
                states += a->isSeparator() ? "" : a->isEnabled() ? "1" : "0";
            return states;
        };
        QTemporaryDir folder;
        p.txtDownloadTo->setText(folder.path());
        // The first row has no name of its own: its file takes the URL's last part.
        w->files().addRows({{"", "1000", "http://h/dir/named.jpg"},
                            {"gone.jpg", "2000", "http://h/2"},
                            {"here.jpg", "", "http://h/3"}});
        for (const char *name : {"here.jpg", "named.jpg"})
            QVERIFY(writeFile(folder.filePath(name), {}));
        for (int row : {0, 1, 2}) {
            p.select(row, row);
            QCOMPARE(enabled(), row == 1 ? "111111110" : "111111111"); // Open Containing Folder
        }
        p.select(0, 0, true);
        p.lvFiles->mnuPopupCopyUrl->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), "http://h/dir/named.jpg\nhttp://h/3");
        p.lvFiles->mnuPopupCheckSelected->trigger();
        QCOMPARE(p.panelChecked->fullText(), "2 checked, 1,000 bytes");
        p.select(0, 0);
        p.lvFiles->mnuPopupRemove->trigger();
        // The row holding the focus after the removal is selected.
        QCOMPARE(p.totals(), "1 checked, 0 bytes|1 selected, 2,000 bytes|2 files, 2,000 bytes");
        w->BrowseFile();
        QCOMPARE(p.browserPage->pendingUrl(), QUrl("http://h/2"));
        QVERIFY(p.SSTab1->currentIndex() == 2 && p.browserPage->view()); // made with its tab
    }

    void modeSwitchKeepsRowsAndShowsTipsForYahooOnly()
    {
        // Opened on a Yahoo queue file, the window shows first, then the tips over it.
        ProgramValues values;
        values.gStartupQueueFile = m_f->dir.filePath("y.tbq");
        QVERIFY(
            writeFile(values.gStartupQueueFile, "Server: Yahoo\r\nURL: g\r\nMessage Range: 1\r\n"));
        auto w = m_f->window(values);
        QCOMPARE(m_f->log.tipsShown, 0);
        w->showAsLoaded();
        QTRY_COMPARE(m_f->log.tipsShown, 1);
        w = m_f->window();
        w->files().addRow({"a.jpg", "10", "http://h/a.jpg"});
        w->modes().selectMode("Yahoo");
        w->modes().selectMode("Zing");
        w->modes().selectMode("Yahoo");
        w->modes().selectMode("Yahoo"); // selecting the mode shown runs the switch too
        QCOMPARE(w->files().cell(0, 0), "a.jpg");
        QCOMPARE(m_f->log.tipsShown, 4);
        store(NoTips, "1");
        w->modes().selectMode("Yahoo");
        QCOMPARE(m_f->log.tipsShown, 4);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
