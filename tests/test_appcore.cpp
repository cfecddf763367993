#include <QDir>
#include <QFile>
#include <QMap>
#include <QPointer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "core/run/appstate.h"
#include "core/app/commandline.h"
#include "core/app/history.h"
#include "core/app/programvalues.h"
#include "core/run/slotboard.h"
#include "core/run/slotworker.h"
#include "core/app/sysinfo.h"
#include "core/app/windowplacement.h"
#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"
#include "support/testfiles.h"

using Pairs = SettingsStore::Pairs;

namespace {

const QString App = SettingKeys::Application;
const QString Yahoo = QStringLiteral("Yahoo");
const QString Zing = QStringLiteral("Zing");

QStringList numberedEntries(int count)
{
    QStringList entries;
    for (int i = 1; i <= count; ++i)
        entries.append(QStringLiteral("entry %1").arg(i));
    return entries;
}

QStringList pairNames(const Pairs &pairs)
{
    QStringList names;
    for (const auto &pair : pairs)
        names.append(pair.first);
    return names;
}

// A finder standing in for PATH: it knows exactly the given programs.
SysInfo::ExecutableFinder finderFor(const QMap<QString, QString> &programs)
{
    return [programs](const QString &name) {
        return programs.value(name);
    };
}

} // namespace

// A worker whose idle state the test sets by hand.
class FakeWorker final : public SlotWorker
{
    Q_OBJECT

public:
    explicit FakeWorker(bool finished, QObject *parent = nullptr)
        : SlotWorker(parent), m_finished(finished)
    {}

    bool IsFinished() const override { return m_finished; }
    void abort() override { setFinished(true); }

    void setFinished(bool finished)
    {
        if (m_finished == finished)
            return;
        m_finished = finished;
        Q_EMIT finishedChanged();
    }

private:
    bool m_finished;
};

class TestAppCore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void commandLineJoinsArgumentsAfterProgram();
    void startupQueueFile_data();
    void startupQueueFile();

    void programValuesDefaultWithoutFile();
    void programValuesReadBack();
    void threadsFromText_data();
    void threadsFromText();
    void numberFromText_data();
    void numberFromText();

    void historyUpdate_data();
    void historyUpdate();
    void mruRoundTripsUnderNumberedNames();
    void mruSaveReplacesLongerHistory();
    void mruModesAreSeparate();
    void mruMissingSectionIsEmpty();
    void mruLoadIgnoresNames();

    void columnWidthsNeverStoreHiddenSize();
    void columnWidthsLoad();
    void columnWidthsModesAreSeparate();

    void placementDefaultWithoutFile();
    void placementReadBack();
    void placementWordFallsBackAlone();
    void placementState_data();
    void placementState();
    void placementSaveNormalWritesAll();
    void placementSaveMaximizedKeepsBounds();
    void placementSaveMinimizedWritesNothing();

    void slotBoardStartsWithOneIdleSlot();
    void slotBoardResize_data();
    void slotBoardResize();
    void slotBoardResizeSequence();
    void slotBoardResizeKeepsFirstSlotOnly();
    void slotBoardProgressClamps_data();
    void slotBoardProgressClamps();
    void slotBoardSignalsRealChangesOnly();

    void abortAll_data();
    void abortAll();
    void noWorkersMeansNotBusy();
    void workersIdleWhenLastBusyFinishes();
    void replacedWorkersAreDeletedAndIgnored();
    void replacingByNoneReportsIdle();
    void runActiveSignalsChangesOnly();

    void sysInfoNothingFound();
    void sysInfoUsesFinderInOrder();
    void sysInfoMachinePathWins();
    void sysInfoMachineFileInLaterFolder();
    void sysInfoFolderWithoutProgram();
    void sysInfoFolderWithProgram();

private:
    SettingsStore store() const
    {
        return SettingsStore(m_dir->filePath(QStringLiteral("settings.json")));
    }
    QString configDir(const QString &name) const
    {
        const QString path = m_dir->filePath(name);
        QDir().mkpath(path);
        return path;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestAppCore::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestAppCore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestAppCore::cleanup()
{
    m_dir.reset();
}

// ---- command line

void TestAppCore::commandLineJoinsArgumentsAfterProgram()
{
    QCOMPARE(CommandLine::fromArguments(
                 {QStringLiteral("prog"), QStringLiteral("-tbq"), QStringLiteral("/x/a.tbq")}),
             QStringLiteral("-tbq /x/a.tbq"));
    QCOMPARE(CommandLine::fromArguments({QStringLiteral("prog")}), QString());
}

void TestAppCore::startupQueueFile_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("expected");

    QTest::newRow("switch and path") << "-tbq /x/a.tbq"
                                     << "/x/a.tbq";
    QTest::newRow("no space after switch") << "-tbq/x/a.tbq"
                                           << "/x/a.tbq";
    QTest::newRow("upper-case switch") << "-TBQ /x"
                                       << "";
    QTest::newRow("path alone") << "/x/a.tbq"
                                << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("quotes stay, spaces trimmed") << "-tbq   \"/x/my q.tbq\"  "
                                                 << "\"/x/my q.tbq\"";
    QTest::newRow("switch alone") << "-tbq"
                                  << "";
    QTest::newRow("leading space") << " -tbq /x"
                                   << "";
}

void TestAppCore::startupQueueFile()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, expected);
    QCOMPARE(CommandLine::startupQueueFile(commandLine), expected);
}

// ---- program values

void TestAppCore::programValuesDefaultWithoutFile()
{
    ProgramValues values;
    values.gQueueFolder = QStringLiteral("stale");
    values.load(store());
    QCOMPARE(values.gNumberOfThreads, qint16(4));
    QCOMPARE(values.gQueueFolder, QString());
    QCOMPARE(values.gFilterSubject, QString());
    QCOMPARE(values.gFilterAuthor, QString());
    QCOMPARE(values.gFilterFilename, QString());
    QVERIFY(!QFile::exists(store().filePath()));
}

void TestAppCore::programValuesReadBack()
{
    const SettingsStore s = store();
    const auto save = [&s](const QString &key, const QString &value) {
        s.RegSaveSetting(App, SettingKeys::SectionSettings, key, value);
    };
    save(SettingKeys::NumberOfThreads.key, QStringLiteral("12"));
    save(SettingKeys::TBQFolder.key, QStringLiteral("/home/u/queues"));
    save(SettingKeys::FilterSubject.key, QStringLiteral("holiday"));
    save(SettingKeys::FilterAuthor.key, QStringLiteral("ann"));
    save(SettingKeys::FilterFilename.key, QStringLiteral("*.jpg"));

    ProgramValues values;
    values.load(s);
    QCOMPARE(values.gNumberOfThreads, qint16(12));
    QCOMPARE(values.gQueueFolder, QStringLiteral("/home/u/queues"));
    QCOMPARE(values.gFilterSubject, QStringLiteral("holiday"));
    QCOMPARE(values.gFilterAuthor, QStringLiteral("ann"));
    QCOMPARE(values.gFilterFilename, QStringLiteral("*.jpg"));
}

void TestAppCore::threadsFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");

    QTest::newRow("lowest") << "1" << 1;
    QTest::newRow("highest") << "16" << 16;
    QTest::newRow("default value") << "4" << 4;
    QTest::newRow("zero") << "0" << 4;
    QTest::newRow("above range") << "17" << 4;
    QTest::newRow("word") << "abc" << 4;
    QTest::newRow("empty") << "" << 4;
    QTest::newRow("negative") << "-3" << 4;
}

void TestAppCore::threadsFromText()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(int(::threadsFromText(text)), expected);
}

void TestAppCore::numberFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");

    QTest::newRow("whole") << "9200" << 9200;
    QTest::newRow("decimal rounds") << "9200.6" << 9201;
    QTest::newRow("word") << "abc" << -77;
    QTest::newRow("empty") << "" << -77;
}

void TestAppCore::numberFromText()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(::numberFromText(text, -77), expected);
}

// ---- history

void TestAppCore::historyUpdate_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QStringList>("expected");

    const QStringList abc{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    QTest::newRow("empty text") << abc << "" << false << abc;
    QTest::newRow("existing moves to top")
        << abc << "c" << true
        << QStringList{QStringLiteral("c"), QStringLiteral("a"), QStringLiteral("b")};
    QTest::newRow("case differs is new")
        << QStringList{QStringLiteral("Group"), QStringLiteral("other")} << "group" << true
        << QStringList{QStringLiteral("group"), QStringLiteral("Group"), QStringLiteral("other")};
    QTest::newRow("already first") << abc << "a" << true << abc;
    QTest::newRow("new on empty") << QStringList() << "a" << true
                                  << QStringList{QStringLiteral("a")};

    const QStringList full = numberedEntries(History::MaxEntries);
    QStringList dropped = full;
    dropped.removeLast();
    dropped.prepend(QStringLiteral("newest"));
    QTest::newRow("full drops oldest") << full << "newest" << true << dropped;
    QStringList movedInFull = full;
    movedInFull.move(History::MaxEntries - 1, 0);
    QTest::newRow("full, existing moves") << full << full.last() << true << movedInFull;

    // A stored history may hold more than MaxEntries; any update brings it back to the limit.
    const QStringList overLong = numberedEntries(History::MaxEntries + 5);
    QStringList trimmed = overLong.mid(0, History::MaxEntries);
    trimmed.move(2, 0);
    QTest::newRow("over-long, existing moves") << overLong << overLong.at(2) << true << trimmed;
}

void TestAppCore::historyUpdate()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, text);
    QFETCH(bool, changed);
    QFETCH(QStringList, expected);

    QCOMPARE(History::update(entries, text), changed);
    QCOMPARE(entries, expected);
}

void TestAppCore::mruRoundTripsUnderNumberedNames()
{
    const SettingsStore s = store();
    const QStringList entries{QStringLiteral("http://b/"), QStringLiteral("http://a/"),
                              QStringLiteral("http://c/")};
    History::saveMRU(s, Yahoo, entries);

    QCOMPARE(History::loadMRU(s, Yahoo), entries);
    const Pairs stored = s.RegGetAllSettings(App, SettingKeys::mruSection(Yahoo));
    QCOMPARE(pairNames(stored),
             (QStringList{QStringLiteral("MRU1"), QStringLiteral("MRU2"), QStringLiteral("MRU3")}));
    QCOMPARE(stored.first().second, QStringLiteral("http://b/"));
}

void TestAppCore::mruSaveReplacesLongerHistory()
{
    const SettingsStore s = store();
    History::saveMRU(s, Zing, numberedEntries(5));
    const QStringList shorter{QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")};
    History::saveMRU(s, Zing, shorter);

    QCOMPARE(History::loadMRU(s, Zing), shorter);
    QCOMPARE(s.RegGetAllSettings(App, SettingKeys::mruSection(Zing)).size(), 3);
}

void TestAppCore::mruModesAreSeparate()
{
    const SettingsStore s = store();
    History::saveMRU(s, Yahoo, {QStringLiteral("group")});
    History::saveMRU(s, Zing, {QStringLiteral("album 1"), QStringLiteral("album 2")});

    QCOMPARE(History::loadMRU(s, Yahoo), QStringList{QStringLiteral("group")});
    QCOMPARE(History::loadMRU(s, Zing),
             (QStringList{QStringLiteral("album 1"), QStringLiteral("album 2")}));
}

void TestAppCore::mruMissingSectionIsEmpty()
{
    const SettingsStore s = store();
    QVERIFY(History::loadMRU(s, Yahoo).isEmpty());
    History::saveMRU(s, Zing, {QStringLiteral("album")});
    QVERIFY(History::loadMRU(s, Yahoo).isEmpty());
}

void TestAppCore::mruLoadIgnoresNames()
{
    const SettingsStore s = store();
    s.RegSaveAllSettings(App, SettingKeys::mruSection(Yahoo),
                         {{QStringLiteral("b"), QStringLiteral("first")},
                          {QStringLiteral("a"), QStringLiteral("second")}});
    QCOMPARE(History::loadMRU(s, Yahoo),
             (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
}

// ---- column widths

void TestAppCore::columnWidthsNeverStoreHiddenSize()
{
    const SettingsStore s = store();
    History::saveColumnWidths(s, Yahoo,
                              {{QStringLiteral("FileName"), 3800},
                               {QStringLiteral("HiddenSize"), 1000},
                               {QStringLiteral("Size"), 1200}});

    const Pairs stored = s.RegGetAllSettings(App, SettingKeys::columnsSection(Yahoo));
    QCOMPARE(stored, (Pairs{{QStringLiteral("FileName"), QStringLiteral("3800")},
                            {QStringLiteral("Size"), QStringLiteral("1200")}}));
}

void TestAppCore::columnWidthsLoad()
{
    const SettingsStore s = store();
    const QString section = SettingKeys::columnsSection(Yahoo);
    s.RegSaveSetting(App, section, QStringLiteral("Subject"), QStringLiteral("abc"));
    s.RegSaveSetting(App, section, QStringLiteral("Author"), QStringLiteral("1500"));
    s.RegSaveSetting(App, section, QStringLiteral("Size"), QString());

    const QList<int> widths =
        History::loadColumnWidths(s, Yahoo,
                                  {QStringLiteral("Subject"), QStringLiteral("Author"),
                                   QStringLiteral("MsgNo"), QStringLiteral("Size")});
    QCOMPARE(widths, (QList<int>{-1, 1500, -1, -1}));
}

void TestAppCore::columnWidthsModesAreSeparate()
{
    const SettingsStore s = store();
    History::saveColumnWidths(s, Zing, {{QStringLiteral("FileName"), 5000}});
    History::saveColumnWidths(s, Yahoo, {{QStringLiteral("FileName"), 3800}});

    const QStringList keys{QStringLiteral("FileName")};
    QCOMPARE(History::loadColumnWidths(s, Zing, keys), QList<int>{5000});
    QCOMPARE(History::loadColumnWidths(s, Yahoo, keys), QList<int>{3800});
}

// ---- window placement

void TestAppCore::placementDefaultWithoutFile()
{
    const WindowPlacement p = loadWindowPlacement(store());
    QCOMPARE(p.left, 0);
    QCOMPARE(p.top, 0);
    QCOMPARE(p.width, 9200);
    QCOMPARE(p.height, 8550);
    QCOMPARE(p.state, WindowPlacement::Normal);
}

void TestAppCore::placementReadBack()
{
    const SettingsStore s = store();
    const auto save = [&s](const QString &key, const QString &value) {
        s.RegSaveSetting(App, SettingKeys::SectionWindow, key, value);
    };
    save(SettingKeys::Left.key, QStringLiteral("300"));
    save(SettingKeys::Top.key, QStringLiteral("450"));
    save(SettingKeys::Width.key, QStringLiteral("10500"));
    save(SettingKeys::Height.key, QStringLiteral("7200"));
    save(SettingKeys::WindowState.key, QStringLiteral("2"));

    const WindowPlacement p = loadWindowPlacement(s);
    QCOMPARE(p.left, 300);
    QCOMPARE(p.top, 450);
    QCOMPARE(p.width, 10500);
    QCOMPARE(p.height, 7200);
    QCOMPARE(p.state, WindowPlacement::Maximized);
}

void TestAppCore::placementWordFallsBackAlone()
{
    const SettingsStore s = store();
    const auto save = [&s](const QString &key, const QString &value) {
        s.RegSaveSetting(App, SettingKeys::SectionWindow, key, value);
    };
    save(SettingKeys::Left.key, QStringLiteral("120"));
    save(SettingKeys::Top.key, QStringLiteral("240"));
    save(SettingKeys::Width.key, QStringLiteral("wide"));
    save(SettingKeys::Height.key, QStringLiteral("7000"));

    const WindowPlacement p = loadWindowPlacement(s);
    QCOMPARE(p.width, 9200);
    QCOMPARE(p.left, 120);
    QCOMPARE(p.top, 240);
    QCOMPARE(p.height, 7000);
}

void TestAppCore::placementState_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected");

    QTest::newRow("maximized") << "2" << int(WindowPlacement::Maximized);
    QTest::newRow("minimized opens normal") << "1" << int(WindowPlacement::Normal);
    QTest::newRow("word") << "x" << int(WindowPlacement::Normal);
    QTest::newRow("normal") << "0" << int(WindowPlacement::Normal);
}

void TestAppCore::placementState()
{
    QFETCH(QString, stored);
    QFETCH(int, expected);
    const SettingsStore s = store();
    s.RegSaveSetting(App, SettingKeys::SectionWindow, SettingKeys::WindowState.key, stored);
    QCOMPARE(int(loadWindowPlacement(s).state), expected);
}

void TestAppCore::placementSaveNormalWritesAll()
{
    const SettingsStore s = store();
    saveWindowPlacement(s, {120, 240, 9900, 7700, WindowPlacement::Normal});

    const auto get = [&s](const QString &key) {
        return s.RegGetSetting(App, SettingKeys::SectionWindow, key);
    };
    QCOMPARE(s.RegGetAllSettings(App, SettingKeys::SectionWindow).size(), 5);
    QCOMPARE(get(SettingKeys::Left.key), QStringLiteral("120"));
    QCOMPARE(get(SettingKeys::Top.key), QStringLiteral("240"));
    QCOMPARE(get(SettingKeys::Width.key), QStringLiteral("9900"));
    QCOMPARE(get(SettingKeys::Height.key), QStringLiteral("7700"));
    QCOMPARE(get(SettingKeys::WindowState.key), QStringLiteral("0"));

    const WindowPlacement back = loadWindowPlacement(s);
    QCOMPARE(back.left, 120);
    QCOMPARE(back.top, 240);
    QCOMPARE(back.width, 9900);
    QCOMPARE(back.height, 7700);
    QCOMPARE(back.state, WindowPlacement::Normal);
}

void TestAppCore::placementSaveMaximizedKeepsBounds()
{
    const SettingsStore s = store();
    saveWindowPlacement(s, {120, 240, 9900, 7700, WindowPlacement::Normal});
    saveWindowPlacement(s, {0, 0, 20000, 15000, WindowPlacement::Maximized});

    const WindowPlacement back = loadWindowPlacement(s);
    QCOMPARE(back.left, 120);
    QCOMPARE(back.top, 240);
    QCOMPARE(back.width, 9900);
    QCOMPARE(back.height, 7700);
    QCOMPARE(back.state, WindowPlacement::Maximized);

    // On a fresh store only the state may appear.
    const SettingsStore fresh(m_dir->filePath(QStringLiteral("fresh.json")));
    saveWindowPlacement(fresh, {0, 0, 20000, 15000, WindowPlacement::Maximized});
    QCOMPARE(fresh.RegGetAllSettings(App, SettingKeys::SectionWindow),
             (Pairs{{SettingKeys::WindowState.key, QStringLiteral("2")}}));
}

void TestAppCore::placementSaveMinimizedWritesNothing()
{
    const SettingsStore s = store();
    saveWindowPlacement(s, {0, 0, 1000, 1000, WindowPlacement::Minimized});
    QVERIFY(s.RegGetAllSettings(App, SettingKeys::SectionWindow).isEmpty());

    saveWindowPlacement(s, {120, 240, 9900, 7700, WindowPlacement::Maximized});
    saveWindowPlacement(s, {5, 5, 1000, 1000, WindowPlacement::Minimized});
    const WindowPlacement back = loadWindowPlacement(s);
    QCOMPARE(back.width, 9200);
    QCOMPARE(back.state, WindowPlacement::Maximized);
}

// ---- slot board

void TestAppCore::slotBoardStartsWithOneIdleSlot()
{
    const SlotBoard board;
    QCOMPARE(board.count(), 1);
    QCOMPARE(board.at(0).number, QStringLiteral("1"));
    QCOMPARE(board.at(0).status, QStringLiteral("Idle"));
    QCOMPARE(board.at(0).url, QString());
    QCOMPARE(board.at(0).progress, 0);
}

void TestAppCore::slotBoardResize_data()
{
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("expected");

    QTest::newRow("4") << 4 << 4;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("16") << 16 << 16;
    QTest::newRow("0 clamps to 1") << 0 << 1;
    QTest::newRow("negative clamps to 1") << -5 << 1;
    QTest::newRow("17 clamps to 16") << 17 << 16;
}

void TestAppCore::slotBoardResize()
{
    QFETCH(int, requested);
    QFETCH(int, expected);

    SlotBoard board;
    QSignalSpy reset(&board, &SlotBoard::slotsReset);
    board.resize(requested);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(board.count(), expected);
    for (int i = 0; i < expected; ++i)
        QCOMPARE(board.at(i).number, QString::number(i + 1));
}

void TestAppCore::slotBoardResizeSequence()
{
    SlotBoard board;
    board.resize(4);
    board.resize(2);
    QCOMPARE(board.count(), 2);
    QCOMPARE(board.at(1).number, QStringLiteral("2"));
    board.resize(16);
    QCOMPARE(board.count(), 16);
    for (int i = 0; i < 16; ++i)
        QCOMPARE(board.at(i).number, QString::number(i + 1));
}

void TestAppCore::slotBoardResizeKeepsFirstSlotOnly()
{
    SlotBoard board;
    board.resize(3);
    for (int i = 0; i < 3; ++i) {
        board.setStatus(i, QStringLiteral("Downloading"));
        board.setUrl(i, QStringLiteral("http://host/%1").arg(i));
        board.setProgress(i, 40 + i);
    }

    board.resize(3);
    QCOMPARE(board.at(0).number, QStringLiteral("1"));
    QCOMPARE(board.at(0).status, QStringLiteral("Downloading"));
    QCOMPARE(board.at(0).url, QStringLiteral("http://host/0"));
    QCOMPARE(board.at(0).progress, 40);
    for (int i = 1; i < 3; ++i) {
        QCOMPARE(board.at(i).number, QString::number(i + 1));
        QCOMPARE(board.at(i).status, QStringLiteral("Idle"));
        QCOMPARE(board.at(i).url, QString());
        QCOMPARE(board.at(i).progress, 0);
    }
}

void TestAppCore::slotBoardProgressClamps_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");

    QTest::newRow("below") << -20 << 0;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("inside") << 55 << 55;
    QTest::newRow("full") << 100 << 100;
    QTest::newRow("above") << 250 << 100;
}

void TestAppCore::slotBoardProgressClamps()
{
    QFETCH(int, value);
    QFETCH(int, expected);

    SlotBoard board;
    board.setProgress(0, 30);
    board.setProgress(0, value);
    QCOMPARE(board.at(0).progress, expected);
}

void TestAppCore::slotBoardSignalsRealChangesOnly()
{
    SlotBoard board;
    board.resize(2);
    QSignalSpy changed(&board, &SlotBoard::slotChanged);

    board.setStatus(1, QStringLiteral("Fetching"));
    board.setStatus(1, QStringLiteral("Fetching"));
    board.setUrl(1, QStringLiteral("http://host/a"));
    board.setUrl(1, QStringLiteral("http://host/a"));
    board.setProgress(1, 100);
    board.setProgress(1, 100);
    // Clamps to the value already held, so nothing changes.
    board.setProgress(1, 180);
    board.setStatus(0, QStringLiteral("Idle"));

    QCOMPARE(changed.count(), 3);
    for (const QList<QVariant> &arguments : std::as_const(changed))
        QCOMPARE(arguments.at(0).toInt(), 1);
}

// ---- app state

void TestAppCore::abortAll_data()
{
    QTest::addColumn<bool>("downloading");
    QTest::addColumn<QString>("message");

    QTest::newRow("search") << false << "Aborting search...";
    QTest::newRow("download") << true << "Aborting download...";
}

void TestAppCore::abortAll()
{
    QFETCH(bool, downloading);
    QFETCH(QString, message);

    AppState state;
    state.IsDownloading = downloading;
    QSignalSpy spy(&state, &AppState::statusMessageChanged);
    state.AbortAll();

    QVERIFY(state.AbortRequested);
    QCOMPARE(state.statusMessage(), message);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), message);
}

void TestAppCore::noWorkersMeansNotBusy()
{
    const AppState state;
    QVERIFY(!state.AnyThreadBusy());
    QVERIFY(state.colThreads().isEmpty());
}

void TestAppCore::workersIdleWhenLastBusyFinishes()
{
    AppState state;
    QSignalSpy idle(&state, &AppState::workersIdle);
    auto *busy = new FakeWorker(false);
    auto *done = new FakeWorker(true);
    state.replaceThreads({busy, done});

    QCOMPARE(state.colThreads().size(), 2);
    QVERIFY(state.AnyThreadBusy());
    QCOMPARE(idle.count(), 0);

    busy->setFinished(true);
    QVERIFY(!state.AnyThreadBusy());
    QCOMPARE(idle.count(), 1);
}

void TestAppCore::replacedWorkersAreDeletedAndIgnored()
{
    AppState state;
    auto *oldWorker = new FakeWorker(false);
    state.replaceThreads({oldWorker});
    QPointer<FakeWorker> watched(oldWorker);

    QSignalSpy idle(&state, &AppState::workersIdle);
    auto *newWorker = new FakeWorker(false);
    state.replaceThreads({newWorker});
    QCOMPARE(state.colThreads().size(), 1);
    QCOMPARE(state.colThreads().first(), newWorker);

    // A worker of the last run finishing late says nothing about the current run.
    oldWorker->setFinished(true);
    QCOMPARE(idle.count(), 0);
    QVERIFY(state.AnyThreadBusy());

    QTRY_VERIFY(watched.isNull());
    newWorker->abort();
    QCOMPARE(idle.count(), 1);
}

void TestAppCore::replacingByNoneReportsIdle()
{
    AppState state;
    auto *worker = new FakeWorker(false);
    state.replaceThreads({worker});
    QPointer<FakeWorker> watched(worker);

    QSignalSpy idle(&state, &AppState::workersIdle);
    state.replaceThreads({});
    QCOMPARE(idle.count(), 1);
    QVERIFY(!state.AnyThreadBusy());
    QTRY_VERIFY(watched.isNull());
}

void TestAppCore::runActiveSignalsChangesOnly()
{
    AppState state;
    QSignalSpy spy(&state, &AppState::runActiveChanged);

    state.setRunActive(false);
    QCOMPARE(spy.count(), 0);
    state.setRunActive(true);
    state.setRunActive(true);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), true);
    QVERIFY(state.isRunActive());
    state.setRunActive(false);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toBool(), false);
    QVERIFY(!state.isRunActive());
}

// ---- system information program

void TestAppCore::sysInfoNothingFound()
{
    QCOMPARE(SysInfo::locateProgram({configDir(QStringLiteral("etc"))}, finderFor({})), QString());
    QCOMPARE(SysInfo::locateProgram({}, finderFor({})), QString());
}

void TestAppCore::sysInfoUsesFinderInOrder()
{
    const QStringList dirs{configDir(QStringLiteral("etc"))};
    QCOMPARE(SysInfo::locateProgram(dirs, finderFor({{QStringLiteral("hardinfo"),
                                                      QStringLiteral("/usr/bin/hardinfo")}})),
             QStringLiteral("/usr/bin/hardinfo"));
    // The better-known program wins when both are there.
    QCOMPARE(SysInfo::locateProgram(
                 dirs, finderFor({{QStringLiteral("kinfocenter"), QStringLiteral("/usr/bin/kic")},
                                  {QStringLiteral("hardinfo"), QStringLiteral("/usr/bin/hi")}})),
             QStringLiteral("/usr/bin/hi"));
}

void TestAppCore::sysInfoMachinePathWins()
{
    const QString dir = configDir(QStringLiteral("etc"));
    SettingsStore(dir + QStringLiteral("/trawlbay/machine.json"))
        .RegSaveSetting(App, QStringLiteral("SysInfo"), QStringLiteral("Path"),
                        QStringLiteral("/opt/x/sysinfo-tool"));

    QCOMPARE(SysInfo::locateProgram({dir}, finderFor({})), QStringLiteral("/opt/x/sysinfo-tool"));
    QCOMPARE(SysInfo::locateProgram({dir}, finderFor({{QStringLiteral("hardinfo"),
                                                       QStringLiteral("/usr/bin/hardinfo")}})),
             QStringLiteral("/opt/x/sysinfo-tool"));
}

void TestAppCore::sysInfoMachineFileInLaterFolder()
{
    const QString empty = configDir(QStringLiteral("first"));
    const QString dir = configDir(QStringLiteral("second"));
    SettingsStore(dir + QStringLiteral("/trawlbay/machine.json"))
        .RegSaveSetting(App, QStringLiteral("SysInfo"), QStringLiteral("Path"),
                        QStringLiteral("/opt/y/tool"));

    QCOMPARE(SysInfo::locateProgram({empty, dir}, finderFor({})), QStringLiteral("/opt/y/tool"));
}

void TestAppCore::sysInfoFolderWithoutProgram()
{
    const QString dir = configDir(QStringLiteral("etc"));
    const QString folder = configDir(QStringLiteral("tools"));
    SettingsStore(dir + QStringLiteral("/trawlbay/machine.json"))
        .RegSaveSetting(App, QStringLiteral("SysInfo"), QStringLiteral("Folder"), folder);

    QCOMPARE(SysInfo::locateProgram({dir}, finderFor({})), QString());
}

void TestAppCore::sysInfoFolderWithProgram()
{
    const QString dir = configDir(QStringLiteral("etc"));
    const QString folder = configDir(QStringLiteral("tools"));
    QVERIFY(writeFile(folder + QStringLiteral("/sysinfo"), {}));
    SettingsStore(dir + QStringLiteral("/trawlbay/machine.json"))
        .RegSaveSetting(App, QStringLiteral("SysInfo"), QStringLiteral("Folder"), folder);

    QCOMPARE(QDir::cleanPath(SysInfo::locateProgram({dir}, finderFor({}))),
             QDir::cleanPath(folder + QStringLiteral("/sysinfo")));
}

QTEST_GUILESS_MAIN(TestAppCore)
#include "test_appcore.moc"
