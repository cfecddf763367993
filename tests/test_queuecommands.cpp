// Queue files from the main window: New, Open (also from the command line), Save, Save As.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>

#include <sys/resource.h>

#include "core/settings/settingsstore.h"
#include "gui/app/frmdownload.h"
#include "support/scriptedprompts.h"
#include "support/testfiles.h"

namespace {} // namespace

class TestQueueCommands : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;
    PromptLog m_log;

    std::unique_ptr<frmDownload> makeWindow(const QString &startupQueue = QString())
    {
        ProgramValues values;
        values.gStartupQueueFile = startupQueue;
        return std::make_unique<frmDownload>(*m_store, values,
                                             std::make_unique<ScriptedPrompts>(m_log));
    }
    QString path(const QString &name) const { return m_dir->filePath(name); }

    // A Yahoo list of three rows, typed in.
    void fillYahoo(frmDownload &w)
    {
        w.selectMode(QStringLiteral("Yahoo"));
        w.cmbBaseURL->setEditText(QStringLiteral("http://groups.example/group/cars/"));
        w.txtMask->setText(QStringLiteral("634,650-680"));
        w.files().addRows(
            {{"00650", "Red car", "Ann", "red.jpg", "1234", "http://f/red.jpg", "0001234"},
             {"00634", "Café", "Bob", "blue.jpg", "", "http://f/blue.jpg", ""},
             {"00651", "Old", "Cy", "old.zip", "12345678", "http://f/old.zip", "12345678"}});
    }

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = std::make_unique<SettingsStore>(path(QStringLiteral("settings.json")));
        m_log = PromptLog();
    }

    void saveThenStartWithTbqShowsTheSameList()
    {
        {
            auto w = makeWindow();
            fillYahoo(*w);
            m_log.saveAnswer = {path(QStringLiteral("cars")), true};
            w->SaveQueue(true);
            QCOMPARE(m_log.saveAsked, 1);
            QVERIFY(m_log.errors.isEmpty());
            QCOMPARE(w->windowTitle(), QStringLiteral("Trawl Bay - cars.tbq"));
            QCOMPARE(w->state().QueueFileName, path(QStringLiteral("cars.tbq")));
        }
        const QByteArray expected =
            "Server: Yahoo\r\nURL: http://groups.example/group/cars/\r\nMessage Range: "
            "634,650-680\r\n"
            "00634\tCaf\xe9\tBob\tblue.jpg\t\thttp://f/blue.jpg\r\n"
            "00650\tRed car\tAnn\tred.jpg\t1234\thttp://f/red.jpg\r\n"
            "00651\tOld\tCy\told.zip\t12345678\thttp://f/old.zip\r\n";
        QCOMPARE(readFile(path(QStringLiteral("cars.tbq"))), expected);

        auto w = makeWindow(path(QStringLiteral("cars.tbq")));
        QCOMPARE(w->cmbServer->currentText(), QStringLiteral("Yahoo"));
        QCOMPARE(w->cmbBaseURL->currentText(), QStringLiteral("http://groups.example/group/cars/"));
        QCOMPARE(w->txtMask->text(), QStringLiteral("634,650-680"));
        QCOMPARE(column(w->files(), 0), (QStringList{"00634", "00650", "00651"}));
        QCOMPARE(column(w->files(), 1), (QStringList{"Café", "Red car", "Old"}));
        QCOMPARE(column(w->files(), 6), (QStringList{"", "0001234", "12345678"}));
        QCOMPARE(w->windowTitle(), QStringLiteral("Trawl Bay - cars.tbq"));
        QCOMPARE(w->panelTotal->text(), QStringLiteral("3 files, 12,346,912 bytes"));
    }

    void saveAsNamingRule_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("queueFilter");
        QTest::addColumn<QString>("written");
        QTest::newRow("queue filter adds .tbq") << "list" << true << "list.tbq";
        QTest::newRow("already .tbq") << "list.tbq" << true << "list.tbq";
        QTest::newRow("other case gets .tbq") << "list.TBQ" << true << "list.TBQ.tbq";
        QTest::newRow("all files keeps the name") << "list" << false << "list";
    }

    void saveAsNamingRule()
    {
        QFETCH(QString, typed);
        QFETCH(bool, queueFilter);
        QFETCH(QString, written);
        auto w = makeWindow();
        m_log.saveAnswer = {path(typed), queueFilter};
        w->SaveQueue(true);
        QVERIFY(QFile::exists(path(written)));
        QCOMPARE(w->state().QueueFileName, path(written));
    }

    void saveAsDoesNotReplaceAnAddedNameWithoutAsking()
    {
        QVERIFY(writeFile(path(QStringLiteral("list.tbq")), "precious"));
        auto w = makeWindow();
        m_log.saveAnswer = {path(QStringLiteral("list")), true};
        m_log.replaceAnswer = false;
        w->SaveQueue(true);
        QCOMPARE(m_log.replaceAsked, 1);
        QCOMPARE(readFile(path(QStringLiteral("list.tbq"))), QByteArray("precious"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Trawl Bay"));
    }

    void saveAfterOpenWritesWithoutADialog()
    {
        QVERIFY(writeFile(
            path(QStringLiteral("a.tbq")),
            "Server: Zing\r\nURL: http://z/\r\nPassword: pw\r\nx.jpg\t10\thttp://z/x.jpg\r\n"));
        auto w = makeWindow();
        m_log.openAnswer = path(QStringLiteral("a.tbq"));
        w->commands().tbOpen->trigger();
        QCOMPARE(m_log.openAsked, 1);
        QCOMPARE(w->files().rowCount(), 1);
        w->txtMask->setText(QStringLiteral("secret"));
        w->commands().tbSave->trigger();
        QCOMPARE(m_log.saveAsked, 0);
        QCOMPARE(readFile(path(QStringLiteral("a.tbq"))),
                 QByteArray("Server: Zing\r\nURL: http://z/\r\nPassword: "
                            "secret\r\nx.jpg\t10\thttp://z/x.jpg\r\n"));
        w->commands().mnuFileSaveAs->trigger(); // Save As always asks
        QCOMPARE(m_log.saveAsked, 1);
    }

    void cancelledDialogsChangeNothing()
    {
        auto w = makeWindow();
        w->files().addRow({"a.jpg", "1", "u"});
        w->OpenQueue(); // the dialog answers ""
        QCOMPARE(m_log.openAsked, 1);
        QCOMPARE(w->files().rowCount(), 1);
        w->SaveQueue(false); // no file yet: asks, and "" cancels
        QCOMPARE(m_log.saveAsked, 1);
        QVERIFY(m_log.errors.isEmpty());
        QCOMPARE(w->windowTitle(), QStringLiteral("Trawl Bay"));
    }

    void openErrorKeepsRowsReadAndOldCaption()
    {
        QVERIFY(writeFile(path(QStringLiteral("good.tbq")),
                          "Server: Zing\r\nURL: u\r\nPassword: p\r\n"));
        QVERIFY(writeFile(path(QStringLiteral("bad.tbq")),
                          "Server: Yahoo\r\nURL: http://g/\r\nMessage Range: 1-3\r\n"
                          "00001\ts\ta\tf.jpg\t5\thttp://f/"
                          "f.jpg\r\n00002\ts\ta\r\n00003\ts\ta\tg.jpg\t6\thttp://f/g.jpg\r\n"));
        auto w = makeWindow();
        w->OpenQueue(path(QStringLiteral("good.tbq")));
        QCOMPARE(w->windowTitle(), QStringLiteral("Trawl Bay - good.tbq"));
        w->OpenQueue(path(QStringLiteral("bad.tbq")));
        QCOMPARE(m_log.errors.size(), 1);
        QCOMPARE(m_log.errors.first(),
                 QStringLiteral("9 line 5: a Yahoo row needs 6 fields, found 3"));
        QCOMPARE(w->files().rowCount(), 1);
        QCOMPARE(w->windowTitle(), QStringLiteral("Trawl Bay - good.tbq"));
        QCOMPARE(w->state().QueueFileName, path(QStringLiteral("good.tbq")));
        QCOMPARE(w->panelTotal->text(), QStringLiteral("1 files, 5 bytes"));
    }

    void openErrorsOfEveryKind_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown mode")
            << QByteArray("Server: Flickr\r\n")
            << "380 line 1: unknown mode \"Flickr\" (expected Yahoo or Zing)";
        QTest::newRow("line over 1 MiB") << "Server: Zing\r\n" + QByteArray(1024 * 1024 + 1, 'x')
                                         << "321 line 2: longer than 1 MiB";
        QTest::newRow("lower-case key") << QByteArray("Server: Zing\r\nserver: Yahoo\r\n")
                                        << "9 line 2: a Zing row needs 3 fields, found 1";
    }

    void openErrorsOfEveryKind()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QVERIFY(writeFile(path(QStringLiteral("q.tbq")), bytes));
        auto w = makeWindow();
        w->OpenQueue(path(QStringLiteral("q.tbq")));
        QCOMPARE(m_log.errors, QStringList{message});
        QCOMPARE(w->windowTitle(), QStringLiteral("Trawl Bay"));
    }

    void startupQueueThatCannotBeOpenedLeavesTheWindowUsable()
    {
        auto w = makeWindow(path(QStringLiteral("missing.tbq")));
        QCOMPARE(m_log.errors.size(), 1);
        QVERIFY(m_log.errors.first().startsWith(QStringLiteral("53 ")));
        QVERIFY(m_log.errors.first().contains(QStringLiteral("missing.tbq")));
        QCOMPARE(w->cmbServer->currentText(), QStringLiteral("Zing"));
        QCOMPARE(w->panelTotal->text(), QStringLiteral("0 files, 0 bytes"));
    }

    void zingFileOpenedInYahooModeSwitchesColumnsFirst()
    {
        QVERIFY(writeFile(
            path(QStringLiteral("z.tbq")),
            "Server: Zing\r\nURL: u\r\nPassword: p\r\nb.jpg\t20\tu2\r\na.jpg\t1234\tu1\r\n"));
        auto w = makeWindow();
        w->selectMode(QStringLiteral("Yahoo"));
        w->OpenQueue(path(QStringLiteral("z.tbq")));
        QCOMPARE(w->files().columnCount(), 4);
        QCOMPARE(column(w->files(), 0), (QStringList{"a.jpg", "b.jpg"}));
        QCOMPARE(column(w->files(), 3), (QStringList{"0001234", "0000020"}));
    }

    void newQueueClearsTheList()
    {
        auto w = makeWindow();
        fillYahoo(*w);
        w->state().QueueFileName = QStringLiteral("/x/old.tbq");
        w->commands().tbNew->trigger();
        QCOMPARE(w->files().rowCount(), 0);
        QCOMPARE(w->cmbBaseURL->currentText(), QString());
        QCOMPARE(w->txtMask->text(), QString());
        QCOMPARE(w->state().QueueFileName, QString());
        QCOMPARE(w->windowTitle(), QStringLiteral("Trawl Bay - New Queue"));
        QCOMPARE(w->cmbServer->currentText(), QStringLiteral("Yahoo")); // the mode stays
    }

    void failedSaveLeavesThePreviousFileIntact()
    {
        const QString target = path(QStringLiteral("keep.tbq"));
        QVERIFY(writeFile(target, "Server: Zing\r\nURL: old\r\nPassword: old\r\n"));
        auto w = makeWindow();
        w->OpenQueue(target);
        for (int i = 0; i < 2000; ++i)
            w->files().addRow({QStringLiteral("file%1.jpg").arg(i), "1", "http://z/long/address"});

        // A file-size limit makes the write fail part-way, for root as for anyone.
        struct rlimit old
        {};
        getrlimit(RLIMIT_FSIZE, &old);
        struct rlimit small = old;
        small.rlim_cur = 4096;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        w->SaveQueue(false);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(m_log.errors.size(), 1);
        QCOMPARE(readFile(target), QByteArray("Server: Zing\r\nURL: old\r\nPassword: old\r\n"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Trawl Bay - keep.tbq"));
        // No temporary file is left behind beside it.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"keep.tbq", "settings.json"}));
    }

    void saveIntoMissingFolderReportsAndKeepsCaption()
    {
        auto w = makeWindow();
        m_log.saveAnswer = {path(QStringLiteral("no/such/dir/x.tbq")), true};
        w->SaveQueue(true);
        QCOMPARE(m_log.errors.size(), 1);
        QVERIFY(m_log.errors.first().contains(QStringLiteral("x.tbq")));
        QCOMPARE(w->windowTitle(), QStringLiteral("Trawl Bay"));
        QCOMPARE(w->state().QueueFileName, QString());
    }
};

QTEST_MAIN(TestQueueCommands)
#include "test_queuecommands.moc"
