#include <QAbstractItemModelTester>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "core/filelist/columnset.h"
#include "core/filelist/filelistmodel.h"
#include "core/filelist/totals.h"
#include "support/testfiles.h"

using RowId = FileListModel::RowId;
using RowMark = FileListModel::RowMark;

namespace {
constexpr int kMsgNo = 0;
constexpr int kSubject = 1;
constexpr int kFileName = 3;
constexpr int kSize = 4;

// A Yahoo row as a search fills it: the hidden size is derived from the size cell.
QStringList yahooRow(const QString &msgNo, const QString &subject, const QString &size = {})
{
    return {
        msgNo, subject, "someone", "file.jpg", size, "http://x/file.jpg", formatHiddenSize(size)};
}
} // namespace

class TestFileList : public QObject
{
    Q_OBJECT

    // A Yahoo model whose every signal Qt's model tester checks for consistency.
    std::unique_ptr<FileListModel> model;
    std::unique_ptr<QAbstractItemModelTester> tester;

    // Rows "subject" or "subject:size", comma-separated, numbered in order.
    QList<RowId> add(const QString &list)
    {
        QList<QStringList> rows;
        for (const QString &entry : list.split(u','))
            rows.append(yahooRow(formatMessageNumber(rows.size() + 1), entry.section(u':', 0, 0),
                                 entry.section(u':', 1)));
        return model->addRows(rows);
    }
    QString shown(int col) const { return column(*model, col).join(u','); }
    // One '0' or '1' per row: the checked or the selected flags.
    QString flags(bool (FileListModel::*flag)(int) const) const
    {
        QString bits;
        for (int row = 0; row < model->rowCount(); ++row)
            bits += (model.get()->*flag)(row) ? u'1' : u'0';
        return bits;
    }
    void check(const QString &bits)
    {
        for (int row = 0; row < bits.size(); ++row)
            model->setChecked(row, bits[row] == u'1');
    }
    // The status bar's three texts: checked | selected | all.
    QString totals(int sizeCol) const
    {
        const TotalsTexts texts = formatTotals(model->totals(sizeCol), QLocale::c());
        return texts.checked + u'|' + texts.selected + u'|' + texts.total;
    }

private Q_SLOTS:
    void init()
    {
        tester.reset();
        model = std::make_unique<FileListModel>();
        tester = std::make_unique<QAbstractItemModelTester>(
            model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        model->setColumns(columnSet(Mode::Yahoo));
    }

    void viewRolesAndChecks()
    {
        const RowId full = add("Full:1234").first();
        model->addRow({"00002"}); // a row with fewer cells than columns
        QVERIFY(model->setRowMark(full, RowMark::Failed));
        QCOMPARE(model->index(0, 0).data(FileListModel::RowMarkRole).toInt(), int(RowMark::Failed));

        // Only the first column's check box can be set, and only a check through the view is
        // the user's.
        QSignalSpy user(model.get(), &FileListModel::userCheckChanged);
        QSignalSpy changed(model.get(), &FileListModel::dataChanged);
        QVERIFY(model->setData(model->index(1, 0), int(Qt::Checked), Qt::CheckStateRole));
        QCOMPARE(model->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(changed.count(), 1);
        QVERIFY(model->setData(model->index(1, 0), int(Qt::Unchecked), Qt::CheckStateRole));
        QVERIFY(!model->setData(model->index(1, 1), int(Qt::Checked), Qt::CheckStateRole));
        model->setChecked(0, true);
        QCOMPARE(flags(&FileListModel::isChecked), "10");
        QCOMPARE(user.count(), 2);
    }

    void columnClicks_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QString>("subjects"); // top to bottom after the clicks
        QTest::addColumn<QString>("marked");   // the captions with a sort mark
        const char *sizes = "a:10000,b:,c:12345678,d:999";
        // clang-format off
        QTest::newRow("subject") << "b,c,a" << QList{kSubject} << "a,b,c" << "+Subject";
        QTest::newRow("twice") << "b,c,a" << QList{kSubject, kSubject} << "c,b,a" << "-Subject";
        QTest::newRow("thrice") << "b,c,a" << QList{kSubject, kSubject, kSubject} << "a,b,c" << "+Subject";
        QTest::newRow("ignoring case") << "b,C,a,B b,ä2,Ä" << QList{kSubject} << "a,b,B b,C,Ä,ä2" << "+Subject";
        QTest::newRow("equal keys keep order") << "b,A,a,B" << QList{kSubject} << "A,a,b,B" << "+Subject";
        QTest::newRow("mark moves") << "b,a" << QList{kSubject, kSubject, kFileName} << "b,a" << "+File Name";
        // Message numbers and sizes sort as numbers; the hidden size column never shows a mark.
        QTest::newRow("message numbers") << "a,b,c" << QList{kSubject, kMsgNo, kMsgNo} << "c,b,a" << "-Msg No.";
        QTest::newRow("size") << sizes << QList{kSize} << "b,d,a,c" << "+Size";
        QTest::newRow("size down") << sizes << QList{kSize, kSize} << "c,a,d,b" << "-Size";
        QTest::newRow("after subject") << "a:5,b:300,c:40" << QList{kSubject, kSubject, kSize} << "a,c,b" << "+Size";
        // clang-format on
    }
    void columnClicks()
    {
        QFETCH(QString, rows);
        QFETCH(QList<int>, clicks);
        add(rows);
        QSignalSpy headers(model.get(), &FileListModel::headerDataChanged);
        for (int click : clicks)
            model->columnClick(click);
        QTEST(shown(kSubject), "subjects");
        QStringList marked;
        for (int col = 0; col < model->columnCount(); ++col) {
            const QString caption = model->headerData(col, Qt::Horizontal).toString();
            if (caption.startsWith(u'+') || caption.startsWith(u'-'))
                marked.append(caption);
        }
        QTEST(marked.join(u','), "marked");
        QCOMPARE(headers.count(), clicks.size());
    }

    void rowsAddedWhileSorted_data()
    {
        QTest::addColumn<int>("clicks");
        QTest::addColumn<bool>("batch");
        QTest::addColumn<QString>("subjects");
        QTest::addColumn<QString>("numbers");
        // Rows with an equal key go after the ones already there; with no sort, at the end.
        const char *up = "a,b,c,d,D,d,f,g", *upNo = "new,old,new,old,new,new2,old,new";
        const char *down = "g,f,d,D,d,c,b,a", *downNo = "new,old,old,new,new2,new,old,new";
        // clang-format off
        QTest::newRow("unsorted") << 0 << true << "d,b,f,c,D,a,g,d" << "old,old,old,new,new,new,new,new2";
        QTest::newRow("ascending, one by one") << 1 << false << up << upNo;
        QTest::newRow("ascending, batch") << 1 << true << up << upNo;
        QTest::newRow("descending, one by one") << 2 << false << down << downNo;
        QTest::newRow("descending, batch") << 2 << true << down << downNo;
        // clang-format on
    }
    void rowsAddedWhileSorted()
    {
        QFETCH(int, clicks);
        QFETCH(bool, batch);
        model->addRows({yahooRow("old", "d"), yahooRow("old", "b"), yahooRow("old", "f")});
        for (int i = 0; i < clicks; ++i)
            model->columnClick(kSubject);
        const QList<QStringList> incoming = {yahooRow("new", "c"), yahooRow("new", "D"),
                                             yahooRow("new", "a"), yahooRow("new", "g"),
                                             yahooRow("new2", "d")};
        if (batch)
            model->addRows(incoming);
        else
            for (const QStringList &row : incoming)
                model->addRow(row);
        QTEST(shown(kSubject), "subjects");
        QTEST(shown(kMsgNo), "numbers");
    }

    void idsAddressRows()
    {
        const QList<RowId> ids = add("c,a,b,d");
        model->columnClick(kSubject);
        QSignalSpy changed(model.get(), &FileListModel::dataChanged);
        QVERIFY(model->setCell(ids[0], kSize, "77"));
        QCOMPARE(shown(kSize), ",,77,");
        QCOMPARE(changed.count(), 1);
        QVERIFY(model->setRowMark(ids[1], RowMark::Running));
        model->columnClick(kSubject);

        // Late writes to a removed row are dropped, not sent to the row now in its place.
        model->setSelected(2, 2, true);
        QCOMPARE(model->removeSelected(), 1);
        changed.clear();
        QVERIFY(!model->setCell(ids[2], kSubject, "late"));
        QVERIFY(!model->setRowMark(ids[2], RowMark::Failed));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(shown(kSubject), "d,c,a");
        QCOMPARE((QList{model->rowMark(0), model->rowMark(1), model->rowMark(2)}),
                 (QList{RowMark::None, RowMark::None, RowMark::Running}));

        // Ids are never reused, not even after the list is cleared.
        model->clear();
        QVERIFY(!model->setCell(ids[3], 0, "x"));
        const QList<RowId> fresh = add("e,f");
        for (RowId id : fresh)
            QVERIFY(id != 0 && !ids.contains(id));
        QCOMPARE(model->rowOf(fresh[0]), 1); // still sorted, descending
    }

    // The list's commands; the row's name is the command. Rows 1 and 3 are selected.
    void commands_data()
    {
        QTest::addColumn<QString>("before"); // checked flags
        QTest::addColumn<QString>("checked");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("changed"); // the rows of the one dataChanged, "" for none
        // clang-format off
        QTest::newRow("check") << "00010" << "01010" << "01010" << "1-1";
        QTest::newRow("uncheck") << "11111" << "10101" << "01010" << "1-3";
        QTest::newRow("check all") << "01010" << "11111" << "01010" << "0-4";
        QTest::newRow("uncheck all") << "01010" << "00000" << "01010" << "1-3";
        QTest::newRow("invert") << "11000" << "11000" << "10101" << "";
        // clang-format on
    }
    void commands()
    {
        add("a,b,c,d,e");
        QSignalSpy told(model.get(), &FileListModel::selectionFlagsChanged);
        model->setSelected(-5, 1, true); // ends outside the list are cut off
        model->setSelected(0, 0, false);
        model->setSelected(3, 99, true);
        model->setSelected(4, 4, false);
        QFETCH(QString, before);
        check(before);
        QSignalSpy changed(model.get(), &FileListModel::dataChanged);

        const QString command = QTest::currentDataTag();
        if (command == "invert")
            model->inverseSelection();
        else
            model->CheckItems(command.contains("all"), !command.startsWith("un"));
        QTEST(flags(&FileListModel::isChecked), "checked");
        QTEST(flags(&FileListModel::isSelected), "selected");
        // Only inverting tells the view of new selected flags; the view's own are not echoed.
        QCOMPARE(told.count(), command == "invert" ? 1 : 0);
        QStringList ranges;
        for (const QList<QVariant> &args : changed)
            ranges << QString("%1-%2")
                          .arg(args[0].toModelIndex().row())
                          .arg(args[1].toModelIndex().row());
        QTEST(ranges.join(u' '), "changed");
    }

    // One flag per row: '1' selected. More than a few runs of rows go by a model reset.
    void removeSelected_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::newRow("few runs") << "1101100010111";
        QTest::newRow("many runs") << QString("011").repeated(40);
        QTest::newRow("none") << "0000";
        QTest::newRow("all") << "1111";
    }
    void removeSelected()
    {
        QFETCH(QString, selected);
        const QList<RowId> ids = add(QStringList(selected.size(), "s:10").join(u','));
        model->CheckItems(true, true);
        QList<RowId> kept;
        for (int row = 0; row < selected.size(); ++row) {
            model->setSelected(row, row, selected[row] == u'1');
            if (selected[row] == u'0')
                kept.append(ids[row]);
        }
        QSignalSpy told(model.get(), &FileListModel::selectionFlagsChanged);
        QCOMPARE(model->removeSelected(), int(selected.size() - kept.size()));
        QCOMPARE(told.count(), kept.size() == selected.size() ? 0 : 1);
        for (int row = 0; row < selected.size(); ++row) {
            const int at = int(kept.indexOf(ids[row]));
            QVERIFY(model->rowOf(ids[row]) == at && (at < 0 || model->idAt(at) == ids[row]));
        }
        const qint64 n = kept.size();
        QCOMPARE(totals(kSize),
                 QString("%1 checked, %2 bytes|0 selected, 0 bytes|%1 files, %2 bytes")
                     .arg(n)
                     .arg(n * 10));
    }

    // Counts and 64-bit sums of checked, selected and all rows, kept up as sizes change.
    // A size cell is read as a whole number of bytes: a decimal rounds, a sign or a word is none.
    void totals()
    {
        const QList<RowId> ids =
            add("a:1500000000,b:1500000000,c:1500000000,no size:-5,odd:about 3 MB,d:24.5");
        model->setSelected(0, 1, true);
        model->setSelected(3, 3, true);
        check("001011");
        QCOMPARE(totals(kSize), "3 checked, 1,500,000,025 bytes|3 selected, 3,000,000,000 bytes|"
                                "6 files, 4,500,000,025 bytes");

        // A transfer learns the real size of a file, or finds none.
        QVERIFY(model->setCell(ids[3], kSize, "2500000000"));
        QVERIFY(model->setCell(ids[5], kSize, QString()));
        QCOMPARE(totals(kSize), "3 checked, 1,500,000,000 bytes|3 selected, 5,500,000,000 bytes|"
                                "6 files, 7,000,000,000 bytes");
    }
};

QTEST_GUILESS_MAIN(TestFileList)
#include "test_filelist.moc"
