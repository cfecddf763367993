#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "core/settings/settingkeys.h"
#include "core/settings/settingsstore.h"
#include "support/testfiles.h"

using Pairs = SettingsStore::Pairs;

namespace {

const QString App = SettingKeys::Application;

// Parsed with Qt's own reader, so the file is checked by a second, independent parser.
QJsonObject readJson(const QString &path)
{
    return QJsonDocument::fromJson(readFile(path)).object();
}

// The object reached by following exactly these member names (case-sensitive).
QJsonObject objectAt(QJsonObject object, const QStringList &names)
{
    for (const QString &name : names)
        object = object.value(name).toObject();
    return object;
}

QStringList brokenCopies(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("settings.json.broken-*")}, QDir::Files,
                                  QDir::Name);
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void noFileUntilFirstWrite();
    void sectionPathsNest();
    void replaceKeepsPositionNewValuesAppend();
    void saveAllLeavesExactlyThePairs();
    void saveAllDuplicateNameKeepsFirstPositionLastValue();
    void namesMatchCaseInsensitively_data();
    void namesMatchCaseInsensitively();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void brokenFileIsKeptAside_data();
    void brokenFileIsKeptAside();
    void brokenCopiesNeverOverwriteEachOther();
    void valuesAndSectionsNeverReplaceEachOther();
    void twoStoresSeeEachOthersWrites();
    void twoThreadsKeepEveryKey();
    void readOnlyFolderDropsWrites();
    void unreadableFileIsLeftAlone();
};

void TestSettingsStore::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestSettingsStore::noFileUntilFirstWrite()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("not/yet/settings.json"));
    const SettingsStore store(path);

    QCOMPARE(store.RegGetSetting(App, SettingKeys::SectionSettings, SettingKeys::NumberOfThreads.key,
                                 QStringLiteral("4")),
             QStringLiteral("4"));
    QVERIFY(store.RegGetSetting(App, SettingKeys::SectionWindow, SettingKeys::Top.key).isNull());
    QCOMPARE(store.RegGetAllSettings(App, SettingKeys::SectionSettings).size(), 0);
    QVERIFY(!QFile::exists(path));

    store.RegSaveSetting(App, SettingKeys::SectionSettings, SettingKeys::NumberOfThreads.key,
                         QStringLiteral("8"));
    QVERIFY(QFile::exists(path));
    const QJsonObject root = readJson(path);
    QCOMPARE(root.keys(), QStringList{App});
    QCOMPARE(objectAt(root, {App, SettingKeys::SectionSettings}),
             QJsonObject({{SettingKeys::NumberOfThreads.key, QStringLiteral("8")}}));
    QCOMPARE(store.RegGetSetting(App, SettingKeys::SectionSettings, SettingKeys::NumberOfThreads.key,
                                 QStringLiteral("4")),
             QStringLiteral("8"));
}

void TestSettingsStore::sectionPathsNest()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    const SettingsStore store(path);

    store.RegSaveSetting(App, SettingKeys::columnsSection(QStringLiteral("Yahoo")),
                         QStringLiteral("Subject"), QStringLiteral("3000"));
    store.RegSaveSetting(App, SettingKeys::mruSection(QStringLiteral("Yahoo")),
                         SettingKeys::mruKey(1), QStringLiteral("group one"));
    store.RegSaveSetting(App, QStringLiteral("Yahoo"), QStringLiteral("LastView"),
                         QStringLiteral("2"));

    const QJsonObject yahoo = objectAt(readJson(path), {App, QStringLiteral("Yahoo")});
    QCOMPARE(yahoo.value(QStringLiteral("Columns")).toObject(),
             QJsonObject({{QStringLiteral("Subject"), QStringLiteral("3000")}}));
    QCOMPARE(yahoo.value(QStringLiteral("MRU")).toObject(),
             QJsonObject({{QStringLiteral("MRU1"), QStringLiteral("group one")}}));
    QCOMPARE(yahoo.value(QStringLiteral("LastView")).toString(), QStringLiteral("2"));

    // The sub-sections are not values of "Yahoo".
    QCOMPARE(store.RegGetAllSettings(App, QStringLiteral("Yahoo")),
             Pairs({{QStringLiteral("LastView"), QStringLiteral("2")}}));
    QCOMPARE(store.RegGetAllSettings(App, QStringLiteral("Yahoo\\Columns")),
             Pairs({{QStringLiteral("Subject"), QStringLiteral("3000")}}));
}

void TestSettingsStore::replaceKeepsPositionNewValuesAppend()
{
    QTemporaryDir dir;
    const SettingsStore store(dir.filePath(QStringLiteral("settings.json")));
    const QString section = SettingKeys::SectionWindow;

    store.RegSaveSetting(App, section, SettingKeys::Top.key, QStringLiteral("10"));
    store.RegSaveSetting(App, section, SettingKeys::Left.key, QStringLiteral("20"));
    store.RegSaveSetting(App, section, SettingKeys::Width.key, QStringLiteral("30"));
    store.RegSaveSetting(App, section, SettingKeys::Left.key, QStringLiteral("21"));
    store.RegSaveSetting(App, section, SettingKeys::Height.key, QStringLiteral("40"));
    store.RegSaveSetting(App, section, SettingKeys::WindowState.key, QString());

    const Pairs expected{{SettingKeys::Top.key, QStringLiteral("10")},
                         {SettingKeys::Left.key, QStringLiteral("21")},
                         {SettingKeys::Width.key, QStringLiteral("30")},
                         {SettingKeys::Height.key, QStringLiteral("40")},
                         {SettingKeys::WindowState.key, QString()}};
    QCOMPARE(store.RegGetAllSettings(App, section), expected);
    QCOMPARE(store.RegGetSetting(App, section, SettingKeys::WindowState.key, QStringLiteral("0")),
             QString(""));
}

void TestSettingsStore::saveAllLeavesExactlyThePairs()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    const SettingsStore store(path);
    const QString section = QStringLiteral("Yahoo");

    for (int i = 1; i <= 5; ++i)
        store.RegSaveSetting(App, section, QStringLiteral("Old%1").arg(i), QString::number(i));
    store.RegSaveSetting(App, SettingKeys::mruSection(section), SettingKeys::mruKey(1),
                         QStringLiteral("kept"));
    store.RegSaveSetting(App, SettingKeys::columnsSection(section), QStringLiteral("Subject"),
                         QStringLiteral("1500"));
    store.RegSaveSetting(App, SettingKeys::SectionSettings, SettingKeys::NoTips.key,
                         QStringLiteral("1"));

    const Pairs pairs{{QStringLiteral("Zeta"), QStringLiteral("z")},
                      {QStringLiteral("old2"), QStringLiteral("two")},
                      {QStringLiteral("Alpha"), QStringLiteral("a")}};
    store.RegSaveAllSettings(App, section, pairs);

    const Pairs stored = store.RegGetAllSettings(App, section);
    QCOMPARE(stored.size(), 3);
    // "old2" matched the earlier "Old2", whose spelling is kept.
    QCOMPARE(stored, Pairs({{QStringLiteral("Zeta"), QStringLiteral("z")},
                            {QStringLiteral("Old2"), QStringLiteral("two")},
                            {QStringLiteral("Alpha"), QStringLiteral("a")}}));
    QCOMPARE(store.RegGetSetting(App, section, QStringLiteral("Old1"), QStringLiteral("gone")),
             QStringLiteral("gone"));

    QCOMPARE(store.RegGetSetting(App, SettingKeys::mruSection(section), SettingKeys::mruKey(1)),
             QStringLiteral("kept"));
    QCOMPARE(
        store.RegGetSetting(App, SettingKeys::columnsSection(section), QStringLiteral("Subject")),
        QStringLiteral("1500"));
    QCOMPARE(store.RegGetSetting(App, SettingKeys::SectionSettings, SettingKeys::NoTips.key),
             QStringLiteral("1"));

    // An empty list clears the values but still keeps the sub-sections.
    store.RegSaveAllSettings(App, section, {});
    QCOMPARE(store.RegGetAllSettings(App, section).size(), 0);
    QCOMPARE(store.RegGetSetting(App, SettingKeys::mruSection(section), SettingKeys::mruKey(1)),
             QStringLiteral("kept"));

    // A missing section is created.
    store.RegSaveAllSettings(App, QStringLiteral("Flickr\\MRU"),
                             {{SettingKeys::mruKey(1), QStringLiteral("first")}});
    QCOMPARE(objectAt(readJson(path), {App, QStringLiteral("Flickr"), QStringLiteral("MRU")}),
             QJsonObject({{QStringLiteral("MRU1"), QStringLiteral("first")}}));
}

void TestSettingsStore::saveAllDuplicateNameKeepsFirstPositionLastValue()
{
    QTemporaryDir dir;
    const SettingsStore store(dir.filePath(QStringLiteral("settings.json")));

    store.RegSaveAllSettings(App, QStringLiteral("S"),
                             {{QStringLiteral("X"), QStringLiteral("1")},
                              {QStringLiteral("Y"), QStringLiteral("2")},
                              {QStringLiteral("x"), QStringLiteral("3")}});
    QCOMPARE(store.RegGetAllSettings(App, QStringLiteral("S")),
             Pairs({{QStringLiteral("X"), QStringLiteral("3")},
                    {QStringLiteral("Y"), QStringLiteral("2")}}));
}

void TestSettingsStore::namesMatchCaseInsensitively_data()
{
    QTest::addColumn<QStringList>("written"); // application, section, key
    QTest::addColumn<QStringList>("read");

    QTest::newRow("lower then mixed")
        << QStringList{QStringLiteral("trawl bay"), QStringLiteral("settings"),
                       QStringLiteral("numberofthreads")}
        << QStringList{App, SettingKeys::SectionSettings, SettingKeys::NumberOfThreads.key};
    QTest::newRow("mixed then upper")
        << QStringList{App, SettingKeys::SectionWindow, SettingKeys::WindowState.key}
        << QStringList{QStringLiteral("TRAWL BAY"), QStringLiteral("WINDOW"),
                       QStringLiteral("WINDOWSTATE")};
    QTest::newRow("nested section")
        << QStringList{App, QStringLiteral("yahoo\\mru"), QStringLiteral("mru1")}
        << QStringList{App, QStringLiteral("YAHOO\\Mru"), QStringLiteral("MRU1")};
    QTest::newRow("non-ASCII") << QStringList{App, QStringLiteral("Ärger"), QStringLiteral("Öl")}
                               << QStringList{App, QStringLiteral("äRGER"), QStringLiteral("öL")};
}

void TestSettingsStore::namesMatchCaseInsensitively()
{
    QFETCH(QStringList, written);
    QFETCH(QStringList, read);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    const SettingsStore store(path);

    store.RegSaveSetting(written[0], written[1], written[2], QStringLiteral("first"));
    QCOMPARE(store.RegGetSetting(read[0], read[1], read[2]), QStringLiteral("first"));

    // A write under the other spelling replaces the value, not adds a second one.
    store.RegSaveSetting(read[0], read[1], read[2], QStringLiteral("second"));
    QCOMPARE(store.RegGetSetting(written[0], written[1], written[2]), QStringLiteral("second"));
    QCOMPARE(store.RegGetAllSettings(read[0], read[1]),
             Pairs({{written[2], QStringLiteral("second")}}));

    // On disk every name keeps the spelling it was first written with.
    QStringList names{written[0]};
    names += written[1].split(QLatin1Char('\\'));
    QJsonObject object = readJson(path);
    for (const QString &name : names) {
        QCOMPARE(object.keys(), QStringList{name});
        object = object.value(name).toObject();
    }
    QCOMPARE(object, QJsonObject({{written[2], QStringLiteral("second")}}));
}

void TestSettingsStore::valuesRoundTrip_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("umlauts in a path")
        << SettingKeys::DownloadFolder.key << QStringLiteral("C:\\Users\\Jürgen\\Downloads\\");
    QTest::newRow("CJK and emoji")
        << SettingKeys::FilterSubject.key << QStringLiteral("写真 \U0001F4F7 фото");
    QTest::newRow("UNC backslashes")
        << SettingKeys::TBQFolder.key << QStringLiteral("\\\\server\\share\\\\");
    QTest::newRow("quotes") << SettingKeys::FilterAuthor.key
                            << QStringLiteral("He said \"hi\" and 'bye'");
    QTest::newRow("newlines and tabs")
        << SettingKeys::FilterFilename.key << QStringLiteral("one\ntwo\r\n\tthree\n");
    QTest::newRow("control character")
        << QStringLiteral("Ctl") << QString(QChar(1)) + QStringLiteral("x\u007f");
    QTest::newRow("JSON-looking text")
        << QStringLiteral("Raw") << QStringLiteral("{\"Trawl Bay\": [1, null]}");
    QTest::newRow("non-ASCII key with backslash")
        << QStringLiteral("Größe\\Breite") << QStringLiteral("12");
}

void TestSettingsStore::valuesRoundTrip()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));

    SettingsStore(path).RegSaveSetting(App, SettingKeys::SectionSettings, key, value);

    const SettingsStore reader(path);
    QCOMPARE(reader.RegGetSetting(App, SettingKeys::SectionSettings, key), value);
    QCOMPARE(reader.RegGetAllSettings(App, SettingKeys::SectionSettings), Pairs({{key, value}}));
    QCOMPARE(objectAt(readJson(path), {App, SettingKeys::SectionSettings}).value(key).toString(),
             value);
}

void TestSettingsStore::brokenFileIsKeptAside_data()
{
    QTest::addColumn<QByteArray>("content");

    static const char garbage[] = "\x00\xff\xfe garbage {{{ \x01";
    QTest::newRow("garbage bytes") << QByteArray(garbage, sizeof(garbage) - 1);
    QTest::newRow("truncated JSON") << QByteArray(R"({"Trawl Bay": {"Settings": {"NoTips": "1")");
    QTest::newRow("array at top level") << QByteArray(R"(["Trawl Bay", {"Settings": {}}])");
    QTest::newRow("string at top level") << QByteArray(R"("Trawl Bay")");
    QTest::newRow("invalid UTF-8 in a value")
        << QByteArray("{\"Trawl Bay\": {\"Settings\": {\"NoTips\": \"\xc3\x28\"}}}");
}

void TestSettingsStore::brokenFileIsKeptAside()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    QVERIFY(writeFile(path, content));
    const SettingsStore store(path);

    QCOMPARE(store.RegGetSetting(App, SettingKeys::SectionSettings, SettingKeys::NoTips.key,
                                 QStringLiteral("0")),
             QStringLiteral("0"));
    QCOMPARE(store.RegGetAllSettings(App, SettingKeys::SectionSettings).size(), 0);
    QCOMPARE(readFile(path), content);
    QVERIFY(brokenCopies(dir.path()).isEmpty());

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("kept it as")));
    store.RegSaveSetting(App, SettingKeys::SectionSettings, SettingKeys::NoTips.key,
                         QStringLiteral("1"));

    const QStringList copies = brokenCopies(dir.path());
    QCOMPARE(copies.size(), 1);
    static const QRegularExpression name(QStringLiteral(R"(^settings\.json\.broken-\d{8}-\d{6}$)"));
    QVERIFY2(name.match(copies.first()).hasMatch(), qPrintable(copies.first()));
    QCOMPARE(readFile(dir.filePath(copies.first())), content);

    QCOMPARE(readJson(path),
             QJsonObject({{App, QJsonObject({{SettingKeys::SectionSettings,
                                              QJsonObject({{SettingKeys::NoTips.key, "1"}})}})}}));
    QCOMPARE(store.RegGetSetting(App, SettingKeys::SectionSettings, SettingKeys::NoTips.key),
             QStringLiteral("1"));
}

void TestSettingsStore::brokenCopiesNeverOverwriteEachOther()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    const SettingsStore store(path);

    // Usually all within one second, so the copies must tell themselves apart.
    QSet<QByteArray> written;
    for (int i = 0; i < 3; ++i) {
        const QByteArray garbage = "not json " + QByteArray::number(i);
        QVERIFY(writeFile(path, garbage));
        written.insert(garbage);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("kept it as")));
        store.RegSaveSetting(App, SettingKeys::SectionSettings, SettingKeys::NoTips.key,
                             QString::number(i));
    }

    QSet<QByteArray> kept;
    for (const QString &copy : brokenCopies(dir.path()))
        kept.insert(readFile(dir.filePath(copy)));
    QCOMPARE(kept, written);
    QCOMPARE(store.RegGetSetting(App, SettingKeys::SectionSettings, SettingKeys::NoTips.key),
             QStringLiteral("2"));
}

void TestSettingsStore::valuesAndSectionsNeverReplaceEachOther()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    const SettingsStore store(path);

    store.RegSaveSetting(App, QStringLiteral("Yahoo\\MRU"), SettingKeys::mruKey(1),
                         QStringLiteral("group"));
    store.RegSaveSetting(App, QStringLiteral("Yahoo"), QStringLiteral("Plain"),
                         QStringLiteral("v"));

    // A value named like a sub-section is not written and does not read as the section.
    store.RegSaveSetting(App, QStringLiteral("Yahoo"), QStringLiteral("mru"), QStringLiteral("x"));
    store.RegSaveAllSettings(App, QStringLiteral("Yahoo"),
                             {{QStringLiteral("MRU"), QStringLiteral("x")},
                              {QStringLiteral("Plain"), QStringLiteral("w")}});
    QCOMPARE(store.RegGetSetting(App, QStringLiteral("Yahoo"), QStringLiteral("MRU"),
                                 QStringLiteral("def")),
             QStringLiteral("def"));
    QCOMPARE(store.RegGetSetting(App, QStringLiteral("Yahoo\\MRU"), SettingKeys::mruKey(1)),
             QStringLiteral("group"));
    QCOMPARE(store.RegGetAllSettings(App, QStringLiteral("Yahoo")),
             Pairs({{QStringLiteral("Plain"), QStringLiteral("w")}}));

    // A section path through a value is not created over it.
    store.RegSaveSetting(App, QStringLiteral("Yahoo\\Plain"), QStringLiteral("K"),
                         QStringLiteral("x"));
    QCOMPARE(store.RegGetSetting(App, QStringLiteral("Yahoo"), QStringLiteral("Plain")),
             QStringLiteral("w"));
    QCOMPARE(store.RegGetSetting(App, QStringLiteral("Yahoo\\Plain"), QStringLiteral("K"),
                                 QStringLiteral("def")),
             QStringLiteral("def"));

    // Hand-edited members that are not strings read as missing and are not listed.
    QVERIFY(writeFile(path, R"({"Trawl Bay": {"Settings": {"N": 4, "S": "s", "L": [1]},
                                               "Window": "flat"}})"));
    QCOMPARE(store.RegGetSetting(App, SettingKeys::SectionSettings, QStringLiteral("N"),
                                 QStringLiteral("def")),
             QStringLiteral("def"));
    QCOMPARE(store.RegGetAllSettings(App, SettingKeys::SectionSettings),
             Pairs({{QStringLiteral("S"), QStringLiteral("s")}}));
    QCOMPARE(store.RegGetAllSettings(App, SettingKeys::SectionWindow).size(), 0);
    store.RegSaveSetting(App, SettingKeys::SectionSettings, QStringLiteral("N"),
                         QStringLiteral("5"));
    QCOMPARE(store.RegGetSetting(App, SettingKeys::SectionSettings, QStringLiteral("N")),
             QStringLiteral("5"));
    store.RegSaveSetting(App, SettingKeys::SectionWindow, SettingKeys::Top.key, QStringLiteral("1"));
    QCOMPARE(objectAt(readJson(path), {App}).value(SettingKeys::SectionWindow).toString(),
             QStringLiteral("flat"));
}

void TestSettingsStore::twoStoresSeeEachOthersWrites()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    const SettingsStore first(path);
    const SettingsStore second(path);
    const QString section = SettingKeys::SectionSettings;

    Pairs expected;
    for (int i = 0; i < 200; ++i) {
        const QString a = QStringLiteral("A%1").arg(i);
        const QString b = QStringLiteral("B%1").arg(i);
        first.RegSaveSetting(App, section, a, QString::number(i));
        QCOMPARE(second.RegGetSetting(App, section, a), QString::number(i));
        second.RegSaveSetting(App, section, b, QString::number(-i));
        expected << qMakePair(a, QString::number(i)) << qMakePair(b, QString::number(-i));
    }
    QCOMPARE(first.RegGetAllSettings(App, section), expected);

    // A change made by anything else is seen by the next read.
    QVERIFY(writeFile(path, R"({"Trawl Bay": {"Settings": {"A0": "edited"}}})"));
    QCOMPARE(first.RegGetSetting(App, section, QStringLiteral("A0")), QStringLiteral("edited"));
}

void TestSettingsStore::twoThreadsKeepEveryKey()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    const QString section = QStringLiteral("Shared");
    constexpr int PerThread = 100;

    const auto writer = [&](const QString &prefix) {
        const SettingsStore store(path);
        for (int i = 0; i < PerThread; ++i)
            store.RegSaveSetting(App, section, prefix + QString::number(i), prefix);
    };
    std::thread one(writer, QStringLiteral("one"));
    std::thread two(writer, QStringLiteral("two"));
    one.join();
    two.join();

    const SettingsStore store(path);
    QCOMPARE(store.RegGetAllSettings(App, section).size(), 2 * PerThread);
    for (int i = 0; i < PerThread; ++i) {
        QCOMPARE(store.RegGetSetting(App, section, QStringLiteral("one%1").arg(i)),
                 QStringLiteral("one"));
        QCOMPARE(store.RegGetSetting(App, section, QStringLiteral("two%1").arg(i)),
                 QStringLiteral("two"));
    }
    QVERIFY(!QFile::exists(path + QStringLiteral(".lock")));
}

void TestSettingsStore::readOnlyFolderDropsWrites()
{
    if (runningAsRoot())
        QSKIP("root ignores folder permissions");
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("config"));
    QVERIFY(QDir().mkpath(folder));
    const SettingsStore store(folder + QStringLiteral("/settings.json"));
    const SettingsStore nested(folder + QStringLiteral("/sub/settings.json"));
    store.RegSaveSetting(App, SettingKeys::SectionSettings, SettingKeys::NoTips.key,
                         QStringLiteral("1"));

    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });

    store.RegSaveSetting(App, SettingKeys::SectionSettings, SettingKeys::NoTips.key,
                         QStringLiteral("2"));
    store.RegSaveSetting(App, SettingKeys::SectionSettings, SettingKeys::NumberOfThreads.key,
                         QStringLiteral("9"));
    nested.RegSaveSetting(App, SettingKeys::SectionSettings, SettingKeys::NoTips.key,
                          QStringLiteral("3"));

    QCOMPARE(store.RegGetSetting(App, SettingKeys::SectionSettings, SettingKeys::NoTips.key),
             QStringLiteral("1"));
    QCOMPARE(store.RegGetSetting(App, SettingKeys::SectionSettings, SettingKeys::NumberOfThreads.key,
                                 QStringLiteral("4")),
             QStringLiteral("4"));
    QCOMPARE(nested.RegGetSetting(App, SettingKeys::SectionSettings, SettingKeys::NoTips.key,
                                  QStringLiteral("0")),
             QStringLiteral("0"));
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("settings.json")});
}

void TestSettingsStore::unreadableFileIsLeftAlone()
{
    if (runningAsRoot())
        QSKIP("root ignores file permissions");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    const SettingsStore store(path);
    store.RegSaveSetting(App, SettingKeys::SectionSettings, SettingKeys::NoTips.key,
                         QStringLiteral("1"));
    const QByteArray before = readFile(path);

    QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
    const auto restore =
        qScopeGuard([&] { QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner); });

    QCOMPARE(store.RegGetSetting(App, SettingKeys::SectionSettings, SettingKeys::NoTips.key,
                                 QStringLiteral("0")),
             QStringLiteral("0"));
    // What cannot be read is not replaced, so the values in it are not lost.
    store.RegSaveSetting(App, SettingKeys::SectionSettings, SettingKeys::NumberOfThreads.key,
                         QStringLiteral("9"));

    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(readFile(path), before);
    QVERIFY(brokenCopies(dir.path()).isEmpty());
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settingsstore.moc"
