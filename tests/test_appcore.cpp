// The command line, stored program values, history, the slot board and the run state.
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "core/app/commandline.h"
#include "core/app/history.h"
#include "core/app/programvalues.h"
#include "core/run/appstate.h"
#include "core/run/slotdispatcher.h"
#include "core/run/slotworker.h"
#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"

using Pairs = SettingsStore::Pairs;

namespace {

const QString App = SettingKeys::Application;

QStringList numbered(int count)
{
    QStringList entries;
    for (int i = 1; i <= count; ++i)
        entries.append(QStringLiteral("entry %1").arg(i));
    return entries;
}

// "Key=value|Key=value" into one section.
void save(const SettingsStore &store, const QString &section, const QString &pairs)
{
    for (const QString &pair : pairs.split(u'|', Qt::SkipEmptyParts))
        store.RegSaveSetting(App, section, pair.section(u'=', 0, 0), pair.section(u'=', 1));
}

} // namespace

// A worker whose idle state the test sets by hand.
class FakeWorker final : public SlotWorker
{
    Q_OBJECT

public:
    explicit FakeWorker(bool finished) : m_finished(finished) {}
    bool IsFinished() const override { return m_finished; }
    void abort() override { finish(); }
    void finish()
    {
        m_finished = true;
        Q_EMIT finishedChanged();
    }
    bool m_finished;
};

class TestAppCore : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    SettingsStore store() const { return SettingsStore(m_dir->filePath(QStringLiteral("s.json"))); }

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void startupQueueFile_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("file");
        // clang-format off
        QTest::newRow("switch and path") << "-tbq /x/a.tbq" << "/x/a.tbq";
        QTest::newRow("no space after switch") << "-tbq/x/a.tbq" << "/x/a.tbq";
        QTest::newRow("quotes stay, spaces trimmed") << "-tbq   \"/x/my q.tbq\"  " << "\"/x/my q.tbq\"";
        QTest::newRow("leading space") << " -tbq /x" << "";
        // clang-format on
    }
    void startupQueueFile()
    {
        QFETCH(QString, commandLine);
        QTEST(CommandLine::startupQueueFile(commandLine), "file");
        QCOMPARE(CommandLine::fromArguments({"prog"}) +
                     CommandLine::fromArguments({"prog", "-tbq", "/x/a.tbq"}),
                 "-tbq /x/a.tbq");
    }

    void programValues_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("threads");
        QTest::addColumn<QString>("texts"); // folder|subject|author|file name
        const QString all = "TBQFolder=/q|FilterSubject=sun|FilterAuthor=ann|FilterFilename=*.jpg";
        // clang-format off
        QTest::newRow("read back") << "NumberOfThreads=12|" + all << 12 << "/q|sun|ann|*.jpg";
        QTest::newRow("threads above range") << "NumberOfThreads=17" << 4 << "|||";
        QTest::newRow("threads a word") << "NumberOfThreads=abc" << 4 << "|||";
        // clang-format on
    }
    void programValues()
    {
        QFETCH(QString, stored);
        const SettingsStore s = store();
        save(s, SettingKeys::SectionSettings, stored);
        ProgramValues values;
        values.gQueueFolder = QStringLiteral("stale");
        values.load(s);
        QTEST(int(values.gNumberOfThreads), "threads");
        QTEST(QStringList({values.gQueueFolder, values.gFilterSubject, values.gFilterAuthor,
                           values.gFilterFilename})
                  .join(u'|'),
              "texts");
        QCOMPARE(QFile::exists(s.filePath()), !stored.isEmpty()); // reading writes nothing
    }

    void historyUpdate_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QStringList>("expected");
        const QStringList abc{"a", "b", "c"}, full = numbered(History::MaxEntries);
        const QStringList over = numbered(History::MaxEntries + 5);
        QStringList dropped = full.mid(0, History::MaxEntries - 1),
                    trimmed = over.mid(0, full.size());
        dropped.prepend("newest");
        trimmed.move(2, 0);
        // clang-format off
        QTest::newRow("empty text") << abc << "" << false << abc;
        QTest::newRow("case differs is new") << QStringList{"G", "o"} << "g" << true << QStringList{"g", "G", "o"};
        QTest::newRow("full drops oldest") << full << "newest" << true << dropped;
        // A stored history may hold more than MaxEntries; any update brings it back to the limit.
        QTest::newRow("over-long, existing moves") << over << over.at(2) << true << trimmed;
        // clang-format on
    }
    void historyUpdate()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, text);
        QTEST(History::update(entries, text), "changed");
        QTEST(entries, "expected");
    }

    void mruAndColumnWidths()
    {
        const SettingsStore s = store();
        History::saveMRU(s, Mode::Zing, numbered(5));
        History::saveMRU(s, Mode::Zing, {"x", "y"});
        QCOMPARE(History::loadMRU(s, Mode::Zing),
                 (QStringList{"x", "y"})); // the longer one is gone
        // The order of the stored entries counts, not their names.
        s.RegSaveAllSettings(App, SettingKeys::mruSection("Yahoo"), {{"b", "1st"}, {"a", "2nd"}});
        QCOMPARE(History::loadMRU(s, Mode::Yahoo), (QStringList{"1st", "2nd"}));
        History::saveColumnWidths(s, Mode::Yahoo,
                                  {{"FileName", 3800}, {"HiddenSize", 10}, {"Size", 1200}});
        QCOMPARE(s.RegGetAllSettings(App, SettingKeys::columnsSection("Yahoo")),
                 (Pairs{{"FileName", "3800"}, {"Size", "1200"}}));
        save(s, SettingKeys::columnsSection("Yahoo"), "Subject=abc|Size=");
        QCOMPARE(
            History::loadColumnWidths(s, Mode::Yahoo, {"Subject", "MsgNo", "Size", "FileName"}),
            (QList<int>{-1, -1, -1, 3800}));
    }

    void runState()
    {
        AppState state;
        QSignalSpy message(&state, &AppState::statusMessageChanged);
        state.AbortAll();
        state.IsDownloading = true;
        state.AbortAll();
        QVERIFY(state.AbortRequested);
        QCOMPARE(message.at(0).at(0).toString() + message.at(1).at(0).toString(),
                 "Aborting search...Aborting download...");
    }

    // A retired run's worker that ends late reaches no one, and the workers go with their
    // dispatcher; a worker that ends inside its own start is handed the next job.
    void dispatcherOwnsItsWorkers()
    {
        auto *crew = new SlotDispatcher;
        auto *late = new FakeWorker(true);
        crew->add(late);
        crew->add(new FakeWorker(true));
        const QPointer<FakeWorker> watched(late);
        QSignalSpy finished(crew, &SlotDispatcher::finished);
        QStringList jobs;
        crew->start({[&jobs] { return jobs.size() < 3; },
                     [&](int slot) {
                         jobs.append(QString::number(slot));
                         crew->worker<FakeWorker>(slot)->m_finished = slot == 1;
                     }});
        QCOMPARE(jobs.join(','), "0,1,1"); // slot 2 ended at once and took the third job
        QVERIFY(finished.isEmpty() && crew->anyBusy());
        int heard = 0;
        connect(late, &SlotWorker::finishedChanged, this, [&heard] { ++heard; });
        crew->retire();
        late->finish();
        QVERIFY(finished.isEmpty() && heard == 0);
        QTRY_VERIFY(watched.isNull());
    }
};

QTEST_GUILESS_MAIN(TestAppCore)
#include "test_appcore.moc"
