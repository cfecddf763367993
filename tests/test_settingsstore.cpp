#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <thread>

#include "core/settings/settingsstore.h"
#include "support/testfiles.h"

using Pairs = SettingsStore::Pairs;

namespace {

const QString App = QStringLiteral("Trawl Bay");

// "a=1,b=2" as pairs, in that order.
Pairs pairs(const QString &text)
{
    Pairs result;
    for (const QString &pair : text.split(u',', Qt::SkipEmptyParts))
        result.append({pair.section(u'=', 0, 0), pair.section(u'=', 1)});
    return result;
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString path; // in a folder that does not exist until the first write
    std::unique_ptr<SettingsStore> store;

    void set(const QString &section, const QString &key, const QString &value) const
    {
        store->RegSaveSetting(App, section, key, value);
    }
    QString get(const QString &section, const QString &key, const QString &fallback = "-") const
    {
        return store->RegGetSetting(App, section, key, fallback);
    }
    Pairs all(const QString &section) const { return store->RegGetAllSettings(App, section); }
    // The file as Qt's own reader sees it, down these member names (case-sensitive).
    QJsonObject onDisk(const QStringList &names = {}) const
    {
        QJsonObject object = QJsonDocument::fromJson(readFile(path)).object();
        for (const QString &name : names)
            object = object.value(name).toObject();
        return object;
    }
    bool plant(const QByteArray &bytes) const
    {
        return QDir().mkpath(QFileInfo(path).path()) && writeFile(path, bytes);
    }
    QStringList brokenCopies() const
    {
        return QFileInfo(path).dir().entryList({"settings.json.broken-*"}, QDir::Files, QDir::Name);
    }

private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        path = dir->filePath("config/settings.json");
        store = std::make_unique<SettingsStore>(path);
    }

    void writesNestAndKeepOrder()
    {
        QCOMPARE(get("Settings", "Threads", "4"), "4");
        QVERIFY(all("Settings").isEmpty() && !QFile::exists(path));

        // A replaced value keeps its place; an empty value reads as "", not as the default.
        for (const auto &[key, value] : pairs("Top=10,Left=20,Width=30,left=21,State="))
            set("Window", key, value);
        QCOMPARE(all("Window"), pairs("Top=10,Left=21,Width=30,State="));
        QCOMPARE(get("Window", "State", "0"), "");

        // "\" nests sections, and a sub-section is not a value of its parent.
        set("Yahoo\\Columns", "Subject", "3000");
        set("Yahoo\\MRU", "MRU1", "group one");
        set("Yahoo", "LastView", "2");
        QCOMPARE(onDisk({App, "Yahoo"}), QJsonObject({{"Columns", QJsonObject{{"Subject", "3000"}}},
                                                      {"MRU", QJsonObject{{"MRU1", "group one"}}},
                                                      {"LastView", "2"}}));
        QCOMPARE(all("Yahoo"), pairs("LastView=2"));

        // A backslash in a key or a value is kept as it is, not taken for nesting.
        set("Settings", "Größe\\Breite", "\\\\server\\Jürgen\\");
        const Pairs written{{"Größe\\Breite", "\\\\server\\Jürgen\\"}};
        QCOMPARE(SettingsStore(path).RegGetAllSettings(App, "Settings"), written);
        QCOMPARE(onDisk({App, "Settings"}).value(written[0].first).toString(), written[0].second);
    }

    void saveAllLeavesExactlyThePairs()
    {
        for (const auto &[key, value] : pairs("Old1=1,Old2=2,Old3=3"))
            set("Yahoo", key, value);
        set("Yahoo\\MRU", "MRU1", "kept");
        // "old2" matches "Old2", whose spelling stays; a repeated name keeps its first place
        // and its last value.
        store->RegSaveAllSettings(App, "Yahoo", pairs("Zeta=z,old2=two,Alpha=a,zeta=last"));
        QCOMPARE(all("Yahoo"), pairs("Zeta=last,Old2=two,Alpha=a"));
        // An empty list clears the values but keeps the sub-sections; a missing one is made.
        store->RegSaveAllSettings(App, "Yahoo", {});
        QVERIFY(all("Yahoo").isEmpty());
        QCOMPARE(get("Yahoo\\MRU", "MRU1"), "kept");
        store->RegSaveAllSettings(App, "Flickr\\MRU", pairs("MRU1=first"));
        QCOMPARE(onDisk({App, "Flickr", "MRU"}), QJsonObject({{"MRU1", "first"}}));
    }

    void namesMatchCaseInsensitively_data()
    {
        QTest::addColumn<QString>("written"); // application|section|key
        QTest::addColumn<QString>("read");
        // clang-format off
        QTest::newRow("lower then mixed") << "trawl bay|settings|threads" << "Trawl Bay|Settings|Threads";
        QTest::newRow("nested section") << "Trawl Bay|yahoo\\mru|mru1" << "Trawl Bay|YAHOO\\Mru|MRU1";
        QTest::newRow("non-ASCII") << "Trawl Bay|Ärger|Öl" << "Trawl Bay|äRGER|öL";
        // clang-format on
    }
    void namesMatchCaseInsensitively()
    {
        QFETCH(QString, written);
        QFETCH(QString, read);
        const QStringList w = written.split(u'|'), r = read.split(u'|');
        store->RegSaveSetting(w[0], w[1], w[2], "first");
        QCOMPARE(store->RegGetSetting(r[0], r[1], r[2]), "first");
        // A write under the other spelling replaces the value, not adds a second one.
        store->RegSaveSetting(r[0], r[1], r[2], "second");
        QCOMPARE(store->RegGetSetting(w[0], w[1], w[2]), "second");
        QCOMPARE(store->RegGetAllSettings(r[0], r[1]), Pairs({{w[2], "second"}}));
        // On disk the key keeps the spelling it was first written with.
        QCOMPARE(onDisk(QStringList{w[0]} + w[1].split(u'\\')).keys(), QStringList{w[2]});
    }

    void brokenFileIsKeptAside_data()
    {
        QTest::addColumn<QByteArray>("content");
        // clang-format off
        QTest::newRow("truncated JSON") << QByteArray(R"({"Trawl Bay": {"Settings": {"NoTips": "1")");
        QTest::newRow("array at top level") << QByteArray(R"(["Trawl Bay", {"Settings": {}}])");
        QTest::newRow("string at top level") << QByteArray(R"("Trawl Bay")");
        QTest::newRow("invalid UTF-8") << QByteArray("{\"Trawl Bay\": {\"Settings\": {\"NoTips\": \"\xc3\x28\"}}}");
        // clang-format on
    }
    void brokenFileIsKeptAside()
    {
        QFETCH(QByteArray, content);
        QVERIFY(plant(content));
        QCOMPARE(get("Settings", "NoTips", "0"), "0");
        QCOMPARE(readFile(path), content); // reading changes nothing

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("kept it as"));
        set("Settings", "NoTips", "1");
        QCOMPARE(onDisk(),
                 QJsonObject({{App, QJsonObject{{"Settings", QJsonObject{{"NoTips", "1"}}}}}}));
        QCOMPARE(brokenCopies().size(), 1);

        // A second broken file, usually within the same second, gets a copy of its own.
        QVERIFY(plant("not json"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("kept it as"));
        set("Settings", "NoTips", "2");
        QSet<QByteArray> kept;
        for (const QString &name : brokenCopies())
            kept.insert(readFile(QFileInfo(path).dir().filePath(name)));
        QCOMPARE(kept, QSet<QByteArray>({content, "not json"}));
    }

    void valuesAndSectionsNeverReplaceEachOther()
    {
        set("Yahoo\\MRU", "MRU1", "group");
        set("Yahoo", "Plain", "v");
        // A value named like a sub-section is not written and does not read as the section.
        set("Yahoo", "mru", "x");
        store->RegSaveAllSettings(App, "Yahoo", pairs("MRU=x,Plain=w"));
        QCOMPARE(get("Yahoo", "MRU") + get("Yahoo\\MRU", "MRU1"), "-group");
        QCOMPARE(all("Yahoo"), pairs("Plain=w"));
        // A section path through a value is not created over it.
        set("Yahoo\\Plain", "K", "x");
        QCOMPARE(get("Yahoo", "Plain") + get("Yahoo\\Plain", "K"), "w-");

        // Hand-edited members that are not strings read as missing and are not listed.
        QVERIFY(plant(
            R"({"Trawl Bay": {"Settings": {"N": 4, "S": "s", "L": [1]}, "Window": "flat"}})"));
        QCOMPARE(get("Settings", "N"), "-");
        QCOMPARE(all("Settings"), pairs("S=s"));
        set("Window", "Top", "1");
        QCOMPARE(onDisk({App}).value("Window").toString(), "flat");
    }

    void twoThreadsKeepEveryKey()
    {
        const auto writer = [this](const QString &prefix) {
            const SettingsStore own(path);
            for (int i = 0; i < 100; ++i)
                own.RegSaveSetting(App, "Shared", prefix + QString::number(i), prefix);
        };
        std::thread one(writer, "one"), two(writer, "two");
        one.join();
        two.join();
        QCOMPARE(all("Shared").size(), 200);
        QCOMPARE(get("Shared", "one99") + get("Shared", "two0"), "onetwo");
        QVERIFY(!QFile::exists(path + ".lock"));
    }

    void unreadableFileIsLeftAlone()
    {
        if (runningAsRoot())
            QSKIP("root ignores file permissions");
        set("Settings", "NoTips", "1");
        const QByteArray before = readFile(path);
        QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
        QCOMPARE(get("Settings", "NoTips"), "-");
        // What cannot be read is not replaced, so the values in it are not lost.
        set("Settings", "Threads", "9");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(readFile(path), before);
        QVERIFY(brokenCopies().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settingsstore.moc"
