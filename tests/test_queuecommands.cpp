// Queue files from the main window: New, Open (also from the command line), Save, Save As,
// their dialogs and the caption. The file format itself is test_queuefile's.
#include <QAction>
#include <QStandardPaths>
#include <QTest>

#include "gui/app/commandtable.h"
#include "gui/app/modeswitch.h"
#include "gui/app/queuecommands.h"
#include "support/testfiles.h"
#include "support/windowparts.h"

class TestQueueCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> m_f;

    QString path(const QString &name) const { return m_f->dir.filePath(name); }
    std::unique_ptr<frmDownload> window(const QString &startupQueue = {})
    {
        ProgramValues values;
        values.gStartupQueueFile = startupQueue;
        return m_f->window(values);
    }

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { m_f = std::make_unique<WindowFixture>(); }

    void saveRestartNewAndOpenAnotherMode()
    {
        auto w = window();
        w->modes().selectMode("Yahoo");
        w->modes().setUrl("http://g/group/cars/");
        WindowParts(*w).txtMask->setText("1");
        w->files().addRows(
            {{"00650", "Red", "Ann", "red.jpg", "1234", "http://f/red.jpg", "0001234"},
             {"00634", "Café", "Bob", "blue.jpg", "", "http://f/blue.jpg", ""}});
        m_f->log.saveAnswer = {path("cars"), true};
        w->commands().mnuFileSaveAs->trigger(); // Save As always asks; Save once a file is open
        WindowParts(*w).txtMask->setText("634,650");
        w->commands().tbSave->trigger();
        QCOMPARE(WindowParts(*w).title(), "Trawl Bay - cars.tbq"); // saved: no mark
        QCOMPARE(m_f->log.saveAsked, 1);
        QCOMPARE(readFile(path("cars.tbq")),
                 "Server: Yahoo\r\nURL: http://g/group/cars/\r\nMessage Range: 634,650\r\n"
                 "00634\tCaf\xe9\tBob\tblue.jpg\t\thttp://f/blue.jpg\r\n"
                 "00650\tRed\tAnn\tred.jpg\t1234\thttp://f/red.jpg\r\n");
        w = window(path("cars.tbq"));
        const WindowParts p(*w);
        QCOMPARE(p.cmbServer->currentText() + ' ' + p.cmbBaseURL->currentText() + ' ' +
                     p.txtMask->text(),
                 "Yahoo http://g/group/cars/ 634,650");
        QCOMPARE(column(w->files(), 1), (QStringList{"Café", "Red"}));
        QCOMPARE(column(w->files(), 6), (QStringList{"", "0001234"}));
        QCOMPARE(p.title(), "Trawl Bay - cars.tbq");
        w->commands().tbNew->trigger(); // clears all but the mode
        QCOMPARE(p.cmbBaseURL->currentText() + p.txtMask->text() + w->state().QueueFileName, "");
        QCOMPARE(p.title() + ' ' + p.cmbServer->currentText(), "Trawl Bay - New Queue Yahoo");
        QCOMPARE(p.panelTotal->fullText(), "0 files, 0 bytes");
        // A Zing file opened in Yahoo mode switches the columns before its rows are added.
        QVERIFY(writeFile(
            path("z.tbq"),
            "Server: Zing\r\nURL: u\r\nPassword: p\r\nb.jpg\t20\tu2\r\na.jpg\t1234\tu1\r\n"));
        w->queue().OpenQueue(path("z.tbq"));
        QCOMPARE(column(w->files(), 0), (QStringList{"a.jpg", "b.jpg"}));
        QCOMPARE(column(w->files(), 3), (QStringList{"0001234", "0000020"}));
    }

    // The name the Save As dialog gives, and whether "list.tbq" is there and may be replaced.
    void saveAsNamingRule_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("queueFilter");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<QString>("written");
        QTest::newRow("queue filter adds .tbq") << "list" << true << true << "list.tbq";
        QTest::newRow("already .tbq") << "list.tbq" << true << true << "list.tbq";
        QTest::newRow("other case gets .tbq") << "list.TBQ" << true << true << "list.TBQ.tbq";
        QTest::newRow("all files keeps the name") << "list" << false << true << "list";
        QTest::newRow("added name there, kept") << "list" << true << false << "";
    }
    void saveAsNamingRule()
    {
        QFETCH(QString, typed);
        QFETCH(bool, queueFilter);
        QFETCH(bool, replace);
        QFETCH(QString, written);
        QVERIFY(writeFile(path("list.tbq"), "precious"));
        auto w = window();
        m_f->log.saveAnswer = {path(typed), queueFilter};
        m_f->log.replaceAnswer = replace;
        w->queue().SaveQueue(true);
        QCOMPARE(WindowParts(*w).title(),
                 written.isEmpty() ? "Trawl Bay" : "Trawl Bay - " + written);
        QVERIFY(written.isEmpty() || QFile::exists(path(written)));
        QCOMPARE(readFile(path("list.tbq")) == "precious", written != "list.tbq");
        QCOMPARE(m_f->log.replaceAsked, typed == "list" && queueFilter ? 1 : 0);
    }

    void unsavedListIsAskedAbout_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<Prompts::SaveAnswer>("answer");
        QTest::addColumn<QString>("saveAs"); // "": the list has a file; "-": Save As cancelled
        QTest::addColumn<QString>("title");  // afterwards; "" when the window closed
        using A = Prompts::SaveAnswer;
        const QString has, none, kept = "Trawl Bay - kept.tbq*", q = "Trawl Bay - New Queue";
        dataRow("New, Save", QString("new"), A::Save, has, q);
        dataRow("New, Discard", QString("new"), A::Discard, has, q);
        dataRow("New, Cancel", QString("new"), A::Cancel, has, kept);
        dataRow("Open, Save", QString("open"), A::Save, has, QString("Trawl Bay - z.tbq"));
        dataRow("Open, Discard", QString("open"), A::Discard, has, QString("Trawl Bay - z.tbq"));
        dataRow("Open, Cancel", QString("open"), A::Cancel, has, kept);
        dataRow("Close, Save", QString("close"), A::Save, has, none);
        dataRow("Close, Discard", QString("close"), A::Discard, has, none);
        dataRow("Close, Cancel", QString("close"), A::Cancel, has, kept);
        dataRow("Exit, Save As names it", QString("exit"), A::Save, QString("named.tbq"), none);
        dataRow("Exit, Save As cancelled", QString("exit"), A::Save, QString("-"),
                QString("Trawl Bay*"));
    }
    // Rows a search added are asked about before New, Open or closing throws them away;
    // a tick is no change.
    void unsavedListIsAskedAbout()
    {
        QFETCH(QString, command);
        QFETCH(Prompts::SaveAnswer, answer);
        QFETCH(QString, saveAs);
        QFETCH(QString, title);
        QVERIFY(writeFile(path("kept.tbq"),
                          "Server: Zing\r\nURL: u\r\nPassword: p\r\na.jpg\t1\tu1\r\n"));
        QVERIFY(writeFile(path("z.tbq"), "Server: Zing\r\nURL: u\r\nPassword: p\r\n"));
        auto w = window(saveAs.isEmpty() ? path("kept.tbq") : QString());
        const WindowParts p(*w);
        w->showAsLoaded();
        if (saveAs.isEmpty())
            w->files().setChecked(0, true);
        QCOMPARE(p.title(), saveAs.isEmpty() ? "Trawl Bay - kept.tbq" : "Trawl Bay");
        w->files().addRows({{"b.jpg", "2", "u2", ""}}); // as a search adds them
        m_f->log.saveChangesAnswer = answer;
        m_f->log.openAnswer = path("z.tbq");
        m_f->log.saveAnswer = {saveAs == "-" ? QString() : path(saveAs), true};
        const CommandTable &c = w->commands();
        if (command == "close")
            w->close();
        else
            (command == "new" ? c.tbNew : command == "open" ? c.tbOpen : c.mnuFileExit)->trigger();
        QCOMPARE(m_f->log.saveChangesAsked, 1);
        QCOMPARE(w->isVisible() ? p.title() : QString(), title);
        QCOMPARE(readFile(path(saveAs.isEmpty() ? "kept.tbq" : saveAs)).contains("b.jpg"),
                 answer == Prompts::SaveAnswer::Save && saveAs != "-");
    }

    void errorsKeepTheRowsReadAndTheOldCaption()
    {
        QVERIFY(writeFile(path("good.tbq"), "Server: Zing\r\nURL: u\r\nPassword: p\r\n"));
        QVERIFY(writeFile(path("bad.tbq"), "Server: Yahoo\r\nURL: g\r\nMessage Range: "
                                           "1\r\n00001\ts\ta\tf.jpg\t5\tu\r\n00002\ts\r\n"));
        auto w = window(path("missing.tbq")); // the window still opens
        m_f->log.openAnswer = path("good.tbq");
        w->commands().tbOpen->trigger();
        w->queue().OpenQueue(path("bad.tbq"));
        m_f->log.saveAnswer = {path("no/such/dir/x.tbq"), true};
        w->queue().SaveQueue(true);
        QCOMPARE(m_f->log.errors.size(), 3);
        QVERIFY(m_f->log.errors.at(0).contains("missing.tbq"));
        QVERIFY(m_f->log.errors.at(1).endsWith("line 5: a Yahoo row needs 6 fields, found 2"));
        QVERIFY(m_f->log.errors.at(2).contains("x.tbq"));
        QCOMPARE(WindowParts(*w).panelTotal->fullText(), "1 files, 5 bytes");
        QCOMPARE(WindowParts(*w).title(), "Trawl Bay - good.tbq*"); // rows in no file
    }
};

QTEST_MAIN(TestQueueCommands)
#include "test_queuecommands.moc"
