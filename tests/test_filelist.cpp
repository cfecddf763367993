#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QLocale>
#include <QRandomGenerator>
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
constexpr int kHidden = 6;

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
    QList<RowId> rowIds() const
    {
        QList<RowId> ids;
        for (int row = 0; row < model->rowCount(); ++row)
            ids.append(model->idAt(row));
        return ids;
    }
    // The status bar's three texts: checked | selected | all.
    QString totals(int sizeCol, const QLocale &locale = QLocale::c()) const
    {
        const TotalsTexts texts = formatTotals(model->totals(sizeCol), locale);
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

    void columnPositionsMatchKeys()
    {
        for (const Mode mode : {Mode::Yahoo, Mode::Zing}) {
            model->setColumns(columnSet(mode));
            QCOMPARE(model->columnIndex(ColumnKeys::Size), sizeColumn(mode));
            QCOMPARE(model->columnIndex(ColumnKeys::FileURL), fileUrlColumn(mode));
            QCOMPARE(model->columnIndex(ColumnKeys::FileName), fileNameColumn(mode));
            QCOMPARE(model->columnIndex(ColumnKeys::HiddenSize), model->columnCount() - 1);
            QCOMPARE(hiddenSizeColumn(mode), model->columnCount() - 1);
        }
    }

    // A size cell as its hidden sort key (digits padded to seven) and as a number of bytes.
    void sizeCell_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::addColumn<qint64>("bytes");
        // clang-format off
        QTest::newRow("short") << "1234" << "0001234" << qint64(1234);
        QTest::newRow("padded") << "0001234" << "0001234" << qint64(1234);
        QTest::newRow("seven digits") << "1234567" << "1234567" << qint64(1234567);
        QTest::newRow("above 2^31") << "4500000000" << "4500000000" << qint64(4500000000LL);
        QTest::newRow("empty") << "" << "" << qint64(0);
        QTest::newRow("spaces") << "  42 " << "  42 " << qint64(42);
        QTest::newRow("plus") << "+7" << "+7" << qint64(7);
        QTest::newRow("decimal down") << "12.4" << "12.4" << qint64(12);
        QTest::newRow("decimal up") << "12.5" << "12.5" << qint64(13);
        QTest::newRow("letters") << "12kb" << "12kb" << qint64(0);
        QTest::newRow("exponent") << "1e5" << "1e5" << qint64(0);
        QTest::newRow("negative") << "-5" << "-5" << qint64(0);
        QTest::newRow("grouped") << "1,234" << "1,234" << qint64(0);
        QTest::newRow("overflow") << "99999999999999999999" << "99999999999999999999" << qint64(0);
        // clang-format on
    }
    void sizeCell()
    {
        QFETCH(QString, text);
        QTEST(formatHiddenSize(text), "key");
        QTEST(parseSizeCell(text), "bytes");
    }

    void viewRolesAndChecks()
    {
        const RowId full = add("Full:1234").first();
        model->addRow({"00002"}); // a row with fewer cells than columns
        model->setSelected(0, 0, true);
        QVERIFY(model->setRowMark(full, RowMark::Failed));
        const QModelIndex first = model->index(0, 0);
        QCOMPARE(first.data(FileListModel::RowIdRole).value<RowId>(), full);
        QCOMPARE(first.data(FileListModel::RowMarkRole).toInt(), int(RowMark::Failed));
        QCOMPARE(first.data(FileListModel::SelectedRole).toBool(), true);
        QCOMPARE(model->index(1, kSize).data().toString(), QString());
        QVERIFY(!model->index(0, 1).data(Qt::CheckStateRole).isValid());

        // Only the first column's check box can be set, and only a check through the view is
        // the user's.
        QSignalSpy user(model.get(), &FileListModel::userCheckChanged);
        QSignalSpy changed(model.get(), &FileListModel::dataChanged);
        QVERIFY(model->setData(model->index(1, 0), int(Qt::Checked), Qt::CheckStateRole));
        QCOMPARE(model->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex(), model->index(1, 0));
        QVERIFY(model->setData(model->index(1, 0), int(Qt::Unchecked), Qt::CheckStateRole));
        QVERIFY(!model->setData(model->index(1, 1), int(Qt::Checked), Qt::CheckStateRole));
        QVERIFY(!model->setData(model->index(1, 0), "x", Qt::EditRole));
        model->setChecked(0, true);
        QCOMPARE(flags(&FileListModel::isChecked), "10");
        QCOMPARE(user.count(), 2);
    }

    void columnClicks_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QString>("subjects"); // top to bottom after the clicks
        QTest::addColumn<QString>("captions");
        const QString subj = "Msg No.,%1Subject,Author,File Name,Size,File URL,";
        const QString size = "Msg No.,Subject,Author,File Name,%1Size,File URL,";
        const QString sizes = "a:10000,b:,c:12345678,d:999";
        // clang-format off
        QTest::newRow("subject") << "b,c,a" << QList{kSubject} << "a,b,c" << subj.arg('+');
        QTest::newRow("twice") << "b,c,a" << QList{kSubject, kSubject} << "c,b,a" << subj.arg('-');
        QTest::newRow("thrice") << "b,c,a" << QList{kSubject, kSubject, kSubject} << "a,b,c" << subj.arg('+');
        QTest::newRow("ignoring case") << "banana,Cherry,apple,BANANA split,ärger2,ÄRGER" << QList{kSubject}
                                       << "apple,banana,BANANA split,Cherry,ÄRGER,ärger2" << subj.arg('+');
        QTest::newRow("mark moves") << "b,a" << QList{kSubject, kSubject, kFileName} << "b,a"
                                    << "Msg No.,Subject,Author,+File Name,Size,File URL,";
        // Message numbers and sizes sort as numbers; the hidden size column never shows a mark.
        QTest::newRow("message numbers") << "a,b,c,d,e,f,g,h,i,j" << QList{kSubject, kMsgNo, kMsgNo}
                                         << "j,i,h,g,f,e,d,c,b,a" << "-Msg No.,Subject,Author,File Name,Size,File URL,";
        QTest::newRow("size") << sizes << QList{kSize} << "b,d,a,c" << size.arg('+');
        QTest::newRow("size down") << sizes << QList{kSize, kSize} << "c,a,d,b" << size.arg('-');
        QTest::newRow("size after subject") << "a:5,b:300,c:40" << QList{kSubject, kSubject, kSize} << "a,c,b" << size.arg('+');
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
        QStringList captions;
        for (int col = 0; col < model->columnCount(); ++col)
            captions.append(model->headerData(col, Qt::Horizontal).toString());
        QTEST(captions.join(u','), "captions");
        QCOMPARE(headers.count(), clicks.size());
    }

    void equalKeysKeepTheirOrder()
    {
        // Enough rows that a sort that is not stable would show it; equal keys in case-folded
        // form are told apart by their message number, which grows with the arrival order.
        const QStringList words = {"same", "SAME", "Same", "other", "alpha", "Alpha"};
        QRandomGenerator random(7);
        QStringList subjects;
        for (int i = 0; i < 300; ++i)
            subjects.append(words[random.bounded(int(words.size()))]);
        add(subjects.join(u','));
        for (const bool descending : {false, true}) {
            model->columnClick(kSubject);
            for (int row = 1; row < model->rowCount(); ++row) {
                const QString previous = model->cell(row - 1, kSubject).toLower();
                const QString current = model->cell(row, kSubject).toLower();
                if (previous == current)
                    QVERIFY(model->cell(row - 1, kMsgNo) < model->cell(row, kMsgNo));
                else
                    QVERIFY(descending ? current < previous : previous < current);
            }
        }
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
        for (int row = 0; row < model->rowCount(); ++row)
            QCOMPARE(model->rowOf(model->idAt(row)), row);
    }

    void viewSelectionFollowsRows()
    {
        const QList<RowId> ids = add("e,d,c,b,a");
        QItemSelectionModel selection(model.get());
        const auto select = QItemSelectionModel::Select | QItemSelectionModel::Rows;
        selection.select(model->index(0, 0), select);                                        // "e"
        selection.select(model->index(3, 0), select);                                        // "b"
        selection.setCurrentIndex(model->index(1, kSubject), QItemSelectionModel::NoUpdate); // "d"
        model->columnClick(kSubject);
        QCOMPARE(shown(kSubject), "a,b,c,d,e");
        QCOMPARE(model->idAt(4), ids[0]);
        QCOMPARE(selection.currentIndex(), model->index(3, kSubject));
        QVERIFY(selection.isRowSelected(1) && selection.isRowSelected(4));
        QCOMPARE(selection.selectedRows().size(), 2);

        // Rows that arrive and move into place keep the selection with its rows too.
        add("0,bb");
        QCOMPARE(shown(kSubject), "0,a,b,bb,c,d,e");
        QCOMPARE(selection.currentIndex(), model->index(5, kSubject));
        QVERIFY(selection.isRowSelected(2) && selection.isRowSelected(6));
        QCOMPARE(selection.selectedRows().size(), 2);
    }

    void idsAddressRows()
    {
        const QList<RowId> ids = add("c,a,b,d");
        model->columnClick(kSubject);
        QSignalSpy changed(model.get(), &FileListModel::dataChanged);
        QVERIFY(model->setCell(ids[0], kSize, "77"));
        QCOMPARE(shown(kSize), ",,77,");
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex(), model->index(2, kSize));
        QVERIFY(model->setRowMark(ids[1], RowMark::Running));

        // A changed sort cell keeps its place until the next sort.
        QVERIFY(model->setCell(ids[0], kSubject, "0"));
        QCOMPARE(shown(kSubject), "a,b,0,d");
        model->columnClick(kSubject);
        QCOMPARE(shown(kSubject), "d,b,a,0");

        // Late writes to a removed row are dropped, not sent to the row now in its place.
        model->setSelected(1, 1, true);
        QCOMPARE(model->removeSelected(), 1);
        QCOMPARE(model->rowOf(ids[2]), -1);
        QCOMPARE(model->rowOf(ids[1]), 1);
        changed.clear();
        QVERIFY(!model->setCell(ids[2], kSubject, "late"));
        QVERIFY(!model->setRowMark(ids[2], RowMark::Failed));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(shown(kSubject), "d,a,0");
        QCOMPARE((QList{model->rowMark(0), model->rowMark(1), model->rowMark(2)}),
                 (QList{RowMark::None, RowMark::Running, RowMark::None}));

        // Ids are never reused, not even after the list is cleared.
        model->clear();
        QVERIFY(!model->setCell(ids[3], 0, "x"));
        const QList<RowId> fresh = add("e,f");
        QVERIFY(fresh[0] != fresh[1]);
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
        QTest::newRow("uncheck all of none") << "00000" << "00000" << "01010" << "";
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

    void removeSelected_data()
    {
        QTest::addColumn<QList<bool>>("selected");
        const auto pattern = [](auto pick) {
            QList<bool> rows(1000);
            for (int row = 0; row < rows.size(); ++row)
                rows[row] = pick(row);
            return rows;
        };
        QRandomGenerator random(20240611);
        // clang-format off
        QTest::newRow("scattered") << pattern([&](int) { return random.bounded(2) == 1; });
        QTest::newRow("few runs") << pattern([](int r) { return r < 10 || r / 100 == 5 || r >= 990; });
        QTest::newRow("every other") << pattern([](int r) { return r % 2 == 1; });
        QTest::newRow("none") << pattern([](int) { return false; });
        QTest::newRow("all") << pattern([](int) { return true; });
        // clang-format on
    }
    void removeSelected()
    {
        QFETCH(QList<bool>, selected);
        QList<QStringList> rows;
        for (int i = 0; i < selected.size(); ++i)
            rows.append(yahooRow(formatMessageNumber(i), "s", "10"));
        const QList<RowId> ids = model->addRows(rows);
        model->CheckItems(true, true);
        QList<RowId> kept;
        for (int row = 0; row < selected.size(); ++row) {
            model->setSelected(row, row, selected[row]);
            if (!selected[row])
                kept.append(ids[row]);
        }
        QSignalSpy told(model.get(), &FileListModel::selectionFlagsChanged);

        QCOMPARE(model->removeSelected(), int(selected.size() - kept.size()));
        QCOMPARE(rowIds(), kept);
        QCOMPARE(told.count(), kept.size() == selected.size() ? 0 : 1);
        for (int row = 0; row < selected.size(); ++row)
            QCOMPARE(model->rowOf(ids[row]), selected[row] ? -1 : int(kept.indexOf(ids[row])));
        const Totals t = model->totals(kSize);
        const qint64 n = kept.size();
        QCOMPARE((QList{t.checkedCount, t.selectedCount, t.totalCount, t.totalBytes}),
                 (QList{n, 0LL, n, n * 10}));
    }

    // Counts and 64-bit sums of checked, selected and all rows, kept up as sizes change.
    void totals()
    {
        const QList<RowId> ids =
            add("a:1500000000,b:1500000000,c:1500000000,no size,odd:about 3 MB,d:25");
        model->setSelected(0, 1, true);
        model->setSelected(3, 3, true);
        check("001011");
        QCOMPARE(totals(kSize), "3 checked, 1,500,000,025 bytes|3 selected, 3,000,000,000 bytes|"
                                "6 files, 4,500,000,025 bytes");
        QCOMPARE(totals(kHidden, QLocale(QLocale::German, QLocale::Germany)),
                 "3 checked, 1.500.000.025 bytes|3 selected, 3.000.000.000 bytes|6 files, "
                 "4.500.000.025 bytes");
        QCOMPARE(formatTotals(Totals{}, QLocale::c()).total, "0 files, 0 bytes");

        // A transfer learns the real size of a file, or finds none.
        QVERIFY(model->setCell(ids[3], kSize, "2500000000"));
        QVERIFY(model->setCell(ids[5], kSize, QString()));
        QCOMPARE(totals(kSize), "3 checked, 1,500,000,000 bytes|3 selected, 5,500,000,000 bytes|"
                                "6 files, 7,000,000,000 bytes");
        // In the Zing set the size sits in the second column, where these rows keep a subject.
        model->setColumns(columnSet(Mode::Zing));
        QVERIFY(model->setCell(ids[0], sizeColumn(Mode::Zing), "7"));
        QCOMPARE(totals(sizeColumn(Mode::Zing)),
                 "3 checked, 0 bytes|3 selected, 7 bytes|6 files, 7 bytes");
        model->setColumns(columnSet(Mode::Yahoo));
        QCOMPARE(model->totals(kSize).totalBytes, 7000000000LL);
    }

    void modeSwitchKeepsRows()
    {
        add("a:10,b:20");
        model->columnClick(kSubject);
        model->columnClick(kSubject);
        model->setChecked(1, true);
        const QList<QStringList> before = {model->cells(0), model->cells(1)};
        const QList<RowId> ids = rowIds();
        QSignalSpy reset(model.get(), &FileListModel::modelReset);

        model->setColumns(columnSet(Mode::Zing));
        QCOMPARE(reset.count(), 1);
        QCOMPARE(rowIds(), ids);
        QCOMPARE((QList{model->cells(0), model->cells(1)}), before);
        QCOMPARE(flags(&FileListModel::isChecked), "01");
        QVERIFY(!model->sortState().sorted);
        // Cells stay in their positions, so column 0 now shows what the first cell holds.
        QCOMPARE(shown(0), "00002,00001");

        // What a mode switch does to sort the new list by its first column, ascending.
        model->setSortKey(1);
        model->columnClick(0);
        QCOMPARE(model->caption(0), "+File Name");
        QCOMPARE(shown(0), "00001,00002");
    }
};

QTEST_GUILESS_MAIN(TestFileList)
#include "test_filelist.moc"
