#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QLocale>
#include <QRandomGenerator>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <utility>

#include "core/filelist/columnset.h"
#include "core/filelist/filelistmodel.h"
#include "core/filelist/totals.h"
#include "support/testfiles.h"

using RowId = FileListModel::RowId;

Q_DECLARE_METATYPE(Mode)
Q_DECLARE_METATYPE(Totals)

namespace {

constexpr int kMsgNo = 0;
constexpr int kSubject = 1;
constexpr int kFileName = 3;
constexpr int kSize = 4;
constexpr int kHidden = 6;

// A Yahoo row as a search fills it: the hidden size is derived from the size cell.
QStringList yahooRow(const QString &msgNo, const QString &subject, const QString &size = {},
                     const QString &fileName = QStringLiteral("file.jpg"))
{
    return {msgNo,
            subject,
            QStringLiteral("someone"),
            fileName,
            size,
            QStringLiteral("http://files.example/") + fileName,
            formatHiddenSize(size)};
}

QList<RowId> rowIds(const FileListModel &model)
{
    QList<RowId> ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids.append(model.idAt(row));
    return ids;
}

// A Yahoo model whose every signal is checked for consistency by Qt's model tester.
struct CheckedModel
{
    FileListModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};

    CheckedModel() { model.setColumns(columnSet(Mode::Yahoo)); }

    QList<RowId> addSubjects(const QStringList &subjects)
    {
        QList<QStringList> rows;
        for (const QString &subject : subjects)
            rows.append(yahooRow(formatMessageNumber(rows.size() + 1), subject));
        return model.addRows(rows);
    }
};

} // namespace

class TestFileList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Column sets and formatting helpers
    void columnPositionsMatchKeys_data();
    void columnPositionsMatchKeys();
    void hiddenSize_data();
    void hiddenSize();
    void messageNumber_data();
    void messageNumber();
    void parseSize_data();
    void parseSize();

    // Roles and flags
    void dataRolesAndFlags();
    void userCheckThroughView();

    // Sorting
    void sameColumnTwiceTogglesOrder();
    void markMovesToClickedColumn();
    void sizeSortsByHiddenKey();
    void sizeAfterAnotherColumn();
    void initialSort_data();
    void initialSort();
    void caseInsensitiveOrder();
    void equalKeysKeepTheirOrder();
    void rowsAddedWhileSorted_data();
    void rowsAddedWhileSorted();
    void unsortedRowsAppend();
    void changedSortCellWaitsForNextSort();
    void viewSelectionFollowsRows();

    // Stable ids
    void idAddressesRowAfterSort();
    void removedIdIsRejected();
    void idsUniqueAfterClear();

    // Check commands, inverse, remove
    void checkItems_data();
    void checkItems();
    void inverseSelection();
    void setSelectedIsSilent();
    void removeSelected_data();
    void removeSelected();
    void removeAllSelected();

    // Totals
    void totalsCountsAndBytes();
    void totalsFollowSizeChanges();
    void formatTotals_data();
    void formatTotals();

    // Mode switch
    void modeSwitchKeepsRows();
};

void TestFileList::columnPositionsMatchKeys_data()
{
    QTest::addColumn<Mode>("mode");
    QTest::newRow("yahoo") << Mode::Yahoo;
    QTest::newRow("zing") << Mode::Zing;
}

void TestFileList::columnPositionsMatchKeys()
{
    QFETCH(Mode, mode);
    FileListModel model;
    model.setColumns(columnSet(mode));
    QCOMPARE(model.columnIndex(ColumnKeys::Size), sizeColumn(mode));
    QCOMPARE(model.columnIndex(ColumnKeys::FileURL), fileUrlColumn(mode));
    QCOMPARE(model.columnIndex(ColumnKeys::FileName), fileNameColumn(mode));
    QCOMPARE(model.columnIndex(ColumnKeys::HiddenSize), hiddenSizeColumn(mode));
    QCOMPARE(hiddenSizeColumn(mode), model.columnCount() - 1);
    QCOMPARE(model.columnIndex(QStringLiteral("NoSuchKey")), -1);
}

void TestFileList::hiddenSize_data()
{
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("expected");
    QTest::newRow("short") << "1234"
                           << "0001234";
    QTest::newRow("zero") << "0"
                          << "0000000";
    QTest::newRow("seven digits") << "1234567"
                                  << "1234567";
    QTest::newRow("eight digits") << "12345678"
                                  << "12345678";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("text") << "n/a"
                          << "n/a";
    QTest::newRow("digits and letters") << "12kb"
                                        << "12kb";
}

void TestFileList::hiddenSize()
{
    QFETCH(QString, size);
    QFETCH(QString, expected);
    QCOMPARE(formatHiddenSize(size), expected);
}

void TestFileList::messageNumber_data()
{
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one") << qint64(1) << "00001";
    QTest::newRow("three digits") << qint64(634) << "00634";
    QTest::newRow("five digits") << qint64(99999) << "99999";
    QTest::newRow("six digits") << qint64(123456) << "123456";
}

void TestFileList::messageNumber()
{
    QFETCH(qint64, number);
    QFETCH(QString, expected);
    QCOMPARE(formatMessageNumber(number), expected);
}

void TestFileList::parseSize_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("plain") << "1234" << qint64(1234);
    QTest::newRow("padded") << "0001234" << qint64(1234);
    QTest::newRow("spaces") << "  42 " << qint64(42);
    QTest::newRow("plus") << "+7" << qint64(7);
    QTest::newRow("above 2^31") << "4500000000" << qint64(4500000000LL);
    QTest::newRow("decimal down") << "12.4" << qint64(12);
    QTest::newRow("decimal up") << "12.5" << qint64(13);
    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("letters") << "12kb" << qint64(0);
    QTest::newRow("exponent") << "1e5" << qint64(0);
    QTest::newRow("word") << "unknown" << qint64(0);
    QTest::newRow("negative") << "-5" << qint64(0);
    QTest::newRow("grouped") << "1,234" << qint64(0);
    QTest::newRow("overflow") << "99999999999999999999" << qint64(0);
}

void TestFileList::parseSize()
{
    QFETCH(QString, text);
    QFETCH(qint64, expected);
    QCOMPARE(parseSizeCell(text), expected);
}

void TestFileList::dataRolesAndFlags()
{
    CheckedModel m;
    FileListModel &model = m.model;
    const RowId full = model.addRow(yahooRow("00001", "Full", "1234"));
    model.addRow({QStringLiteral("00002")}); // a row with fewer cells than columns
    model.setChecked(0, true);
    model.setSelected(0, 0, true);
    QVERIFY(model.setRowMark(full, FileListModel::RowMark::Failed));

    const QModelIndex first = model.index(0, 0);
    QCOMPARE(first.data().toString(), QStringLiteral("00001"));
    QCOMPARE(first.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(model.index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(!model.index(0, 1).data(Qt::CheckStateRole).isValid());
    QCOMPARE(first.data(FileListModel::RowIdRole).value<RowId>(), full);
    QCOMPARE(first.data(FileListModel::RowMarkRole).toInt(), int(FileListModel::RowMark::Failed));
    QCOMPARE(first.data(FileListModel::SelectedRole).toBool(), true);
    QCOMPARE(model.index(1, 0).data(FileListModel::SelectedRole).toBool(), false);
    QCOMPARE(model.index(1, kSize).data().toString(), QString());
    QCOMPARE(model.index(0, kSize).data(Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(model.index(0, kSubject).data(Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignLeft | Qt::AlignVCenter));

    QCOMPARE(model.headerData(kFileName, Qt::Horizontal).toString(), QStringLiteral("File Name"));
    QVERIFY(model.headerData(kSize, Qt::Horizontal, Qt::TextAlignmentRole).toInt() &
            Qt::AlignRight);

    QVERIFY(model.flags(first).testFlag(Qt::ItemIsUserCheckable));
    QVERIFY(!model.flags(model.index(0, 1)).testFlag(Qt::ItemIsUserCheckable));
    for (int column = 0; column < model.columnCount(); ++column) {
        const Qt::ItemFlags flags = model.flags(model.index(0, column));
        QVERIFY(flags.testFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
    }
}

void TestFileList::userCheckThroughView()
{
    CheckedModel m;
    FileListModel &model = m.model;
    m.addSubjects({"a", "b"});
    QSignalSpy userSpy(&model, &FileListModel::userCheckChanged);
    QSignalSpy dataSpy(&model, &FileListModel::dataChanged);

    QVERIFY(model.setData(model.index(1, 0), QVariant::fromValue(Qt::Checked), Qt::CheckStateRole));
    QVERIFY(model.isChecked(1));
    QVERIFY(!model.isChecked(0));
    QCOMPARE(userSpy.count(), 1);
    QCOMPARE(dataSpy.count(), 1);
    QCOMPARE(dataSpy.at(0).at(0).toModelIndex(), model.index(1, 0));

    QVERIFY(model.setData(model.index(1, 0), int(Qt::Unchecked), Qt::CheckStateRole));
    QVERIFY(!model.isChecked(1));
    QCOMPARE(userSpy.count(), 2);

    // Only the check box of the first column can be set.
    QVERIFY(!model.setData(model.index(1, 1), int(Qt::Checked), Qt::CheckStateRole));
    QVERIFY(!model.setData(model.index(1, 0), QStringLiteral("x"), Qt::EditRole));
    QVERIFY(!model.isChecked(1));
    QCOMPARE(userSpy.count(), 2);

    // A programmatic check is not the user's.
    model.setChecked(0, true);
    QVERIFY(model.isChecked(0));
    QCOMPARE(userSpy.count(), 2);
}

void TestFileList::sameColumnTwiceTogglesOrder()
{
    CheckedModel m;
    FileListModel &model = m.model;
    m.addSubjects({"b", "c", "a"});

    model.columnClick(kSubject);
    QCOMPARE(model.caption(kSubject), QStringLiteral("+Subject"));
    QCOMPARE(column(model, kSubject), QStringList({"a", "b", "c"}));
    FileListModel::SortState state = model.sortState();
    QVERIFY(state.sorted);
    QCOMPARE(state.key, kSubject);
    QCOMPARE(state.order, 0);

    model.columnClick(kSubject);
    QCOMPARE(model.caption(kSubject), QStringLiteral("-Subject"));
    QCOMPARE(column(model, kSubject), QStringList({"c", "b", "a"}));
    QCOMPARE(model.sortState().order, 1);

    model.columnClick(kSubject);
    QCOMPARE(model.caption(kSubject), QStringLiteral("+Subject"));
    QCOMPARE(column(model, kSubject), QStringList({"a", "b", "c"}));
}

void TestFileList::markMovesToClickedColumn()
{
    CheckedModel m;
    FileListModel &model = m.model;
    m.addSubjects({"b", "a"});
    QSignalSpy headerSpy(&model, &FileListModel::headerDataChanged);

    model.columnClick(kSubject);
    model.columnClick(kSubject); // "-Subject"
    model.columnClick(kFileName);
    QCOMPARE(model.caption(kFileName), QStringLiteral("+File Name"));
    QCOMPARE(model.caption(kSubject), QStringLiteral("Subject"));
    QCOMPARE(model.headerData(kFileName, Qt::Horizontal).toString(), QStringLiteral("+File Name"));
    QCOMPARE(model.sortState().key, kFileName);
    QCOMPARE(model.sortState().order, 0);
    QCOMPARE(headerSpy.count(), 3);

    const QStringList unmarked = {"Msg No.", "Subject", "Author", "Size", "File URL", ""};
    QStringList others;
    for (int column = 0; column < model.columnCount(); ++column) {
        if (column != kFileName)
            others.append(model.caption(column));
    }
    QCOMPARE(others, unmarked);
}

void TestFileList::sizeSortsByHiddenKey()
{
    CheckedModel m;
    FileListModel &model = m.model;
    model.addRows({yahooRow("00001", "ten thousand", "10000"), yahooRow("00002", "unknown", ""),
                   yahooRow("00003", "big", "12345678"), yahooRow("00004", "small", "999")});

    model.columnClick(kSize);
    QCOMPARE(column(model, kSize), QStringList({"", "999", "10000", "12345678"}));
    QCOMPARE(column(model, kHidden), QStringList({"", "0000999", "0010000", "12345678"}));
    QCOMPARE(model.sortState().key, kHidden);
    QCOMPARE(model.caption(kSize), QStringLiteral("+Size"));
    QCOMPARE(model.caption(kHidden), QString());

    model.columnClick(kSize);
    QCOMPARE(column(model, kSize), QStringList({"12345678", "10000", "999", ""}));
    QCOMPARE(model.caption(kSize), QStringLiteral("-Size"));
    QCOMPARE(model.caption(kHidden), QString());
}

void TestFileList::sizeAfterAnotherColumn()
{
    CheckedModel m;
    FileListModel &model = m.model;
    model.addRows(
        {yahooRow("00001", "c", "5"), yahooRow("00002", "a", "300"), yahooRow("00003", "b", "40")});
    model.columnClick(kSubject);
    QCOMPARE(column(model, kSize), QStringList({"300", "40", "5"}));

    model.columnClick(kSize);
    QCOMPARE(column(model, kSize), QStringList({"5", "40", "300"}));
    QCOMPARE(model.caption(kSize), QStringLiteral("+Size"));
    QCOMPARE(model.caption(kSubject), QStringLiteral("Subject"));

    model.columnClick(kSize);
    QCOMPARE(column(model, kSize), QStringList({"300", "40", "5"}));
    QCOMPARE(model.caption(kSize), QStringLiteral("-Size"));
}

void TestFileList::initialSort_data()
{
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<QString>("caption");
    QTest::newRow("yahoo") << Mode::Yahoo << "+Msg No.";
    QTest::newRow("zing") << Mode::Zing << "+File Name";
}

void TestFileList::initialSort()
{
    QFETCH(Mode, mode);
    QFETCH(QString, caption);
    FileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setColumns(columnSet(mode));
    for (const char *first : {"00003", "00001", "00002"})
        model.addRow({QString::fromLatin1(first), QStringLiteral("x")});

    // What a mode switch does to sort the new list by its first column.
    model.setSortKey(1);
    model.columnClick(0);
    QCOMPARE(model.caption(0), caption);
    QCOMPARE(column(model, 0), QStringList({"00001", "00002", "00003"}));
    QCOMPARE(model.sortState().key, 0);
    QCOMPARE(model.sortState().order, 0);
}

void TestFileList::caseInsensitiveOrder()
{
    CheckedModel m;
    FileListModel &model = m.model;
    m.addSubjects({"banana", "Cherry", "apple", "Apricot", "BANANA split", "ÄRGER", "ärger2"});
    model.columnClick(kSubject);
    QCOMPARE(column(model, kSubject), QStringList({"apple", "Apricot", "banana", "BANANA split",
                                                   "Cherry", "ÄRGER", "ärger2"}));
}

void TestFileList::equalKeysKeepTheirOrder()
{
    CheckedModel m;
    FileListModel &model = m.model;
    // Enough rows that a sort that is not stable would show it; equal keys in case-folded
    // form are told apart by their message number, which grows with the arrival order.
    const QStringList words = {"same", "SAME", "Same", "other", "alpha", "Alpha"};
    QRandomGenerator random(7);
    QList<QStringList> rows;
    for (int i = 0; i < 300; ++i)
        rows.append(yahooRow(formatMessageNumber(i), words[random.bounded(int(words.size()))]));
    model.addRows(rows);

    for (const bool descending : {false, true}) {
        model.columnClick(kSubject);
        QCOMPARE(model.sortState().order, descending ? 1 : 0);
        for (int row = 1; row < model.rowCount(); ++row) {
            const QString previous = model.cell(row - 1, kSubject).toLower();
            const QString current = model.cell(row, kSubject).toLower();
            if (previous == current)
                QVERIFY2(model.cell(row - 1, kMsgNo) < model.cell(row, kMsgNo),
                         qPrintable(current));
            else
                QVERIFY(descending ? current < previous : previous < current);
        }
    }
}

void TestFileList::rowsAddedWhileSorted_data()
{
    QTest::addColumn<bool>("descending");
    QTest::addColumn<bool>("batch");
    QTest::newRow("ascending, one by one") << false << false;
    QTest::newRow("ascending, batch") << false << true;
    QTest::newRow("descending, one by one") << true << false;
    QTest::newRow("descending, batch") << true << true;
}

void TestFileList::rowsAddedWhileSorted()
{
    QFETCH(bool, descending);
    QFETCH(bool, batch);
    CheckedModel m;
    FileListModel &model = m.model;
    model.addRows({yahooRow("old", "d"), yahooRow("old", "b"), yahooRow("old", "f")});
    model.columnClick(kSubject);
    if (descending)
        model.columnClick(kSubject);

    const QList<QStringList> incoming = {yahooRow("new", "c"), yahooRow("new", "D"),
                                         yahooRow("new", "a"), yahooRow("new", "g"),
                                         yahooRow("new2", "d")};
    if (batch) {
        model.addRows(incoming);
    } else {
        for (const QStringList &row : incoming)
            model.addRow(row);
    }

    // Rows with an equal key go after the ones already there.
    QStringList expected = {"a", "b", "c", "d", "D", "d", "f", "g"};
    QStringList expectedMsg = {"new", "old", "new", "old", "new", "new2", "old", "new"};
    if (descending) {
        expected = QStringList({"g", "f", "d", "D", "d", "c", "b", "a"});
        expectedMsg = QStringList({"new", "old", "old", "new", "new2", "new", "old", "new"});
    }
    QCOMPARE(column(model, kSubject), expected);
    QCOMPARE(column(model, kMsgNo), expectedMsg);
    for (int row = 0; row < model.rowCount(); ++row)
        QCOMPARE(model.rowOf(model.idAt(row)), row);
}

void TestFileList::unsortedRowsAppend()
{
    CheckedModel m;
    FileListModel &model = m.model;
    m.addSubjects({"c", "a"});
    model.addRow(yahooRow("00003", "b"));
    model.addRows({yahooRow("00004", "0"), yahooRow("00005", "z")});
    QCOMPARE(column(model, kSubject), QStringList({"c", "a", "b", "0", "z"}));
    QVERIFY(!model.sortState().sorted);
}

void TestFileList::changedSortCellWaitsForNextSort()
{
    CheckedModel m;
    FileListModel &model = m.model;
    const QList<RowId> ids = m.addSubjects({"a", "b", "c"});
    model.columnClick(kSubject);
    QVERIFY(model.setCell(ids[0], kSubject, QStringLiteral("z")));
    QCOMPARE(column(model, kSubject), QStringList({"z", "b", "c"}));

    model.columnClick(kSubject);
    QCOMPARE(column(model, kSubject), QStringList({"z", "c", "b"}));
}

void TestFileList::viewSelectionFollowsRows()
{
    CheckedModel m;
    FileListModel &model = m.model;
    const QList<RowId> ids = m.addSubjects({"e", "d", "c", "b", "a"});
    QItemSelectionModel selection(&model);
    const auto selectRow = [&](int row) {
        selection.select(model.index(row, 0),
                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    selectRow(0);                                                                       // "e"
    selectRow(3);                                                                       // "b"
    selection.setCurrentIndex(model.index(1, kSubject), QItemSelectionModel::NoUpdate); // "d"

    model.columnClick(kSubject);
    QCOMPARE(column(model, kSubject), QStringList({"a", "b", "c", "d", "e"}));
    QCOMPARE(selection.currentIndex(), model.index(3, kSubject));
    QList<int> selectedRows;
    const QModelIndexList indexes = selection.selectedRows();
    for (const QModelIndex &index : indexes)
        selectedRows.append(index.row());
    std::sort(selectedRows.begin(), selectedRows.end());
    QCOMPARE(selectedRows, QList<int>({1, 4}));
    QCOMPARE(model.idAt(4), ids[0]);

    // Rows that arrive and move into place keep the selection with its rows too.
    model.addRows({yahooRow("00006", "0"), yahooRow("00007", "bb")});
    QCOMPARE(column(model, kSubject), QStringList({"0", "a", "b", "bb", "c", "d", "e"}));
    QCOMPARE(selection.currentIndex(), model.index(5, kSubject));
    QVERIFY(selection.isRowSelected(2));
    QVERIFY(selection.isRowSelected(6));
    QCOMPARE(selection.selectedRows().size(), 2);
}

void TestFileList::idAddressesRowAfterSort()
{
    CheckedModel m;
    FileListModel &model = m.model;
    const QList<RowId> ids = m.addSubjects({"c", "a", "b"});
    model.columnClick(kSubject);
    QCOMPARE(model.rowOf(ids[0]), 2);

    QSignalSpy dataSpy(&model, &FileListModel::dataChanged);
    QVERIFY(model.setCell(ids[0], kSize, QStringLiteral("77")));
    QCOMPARE(model.cell(2, kSize), QStringLiteral("77"));
    QCOMPARE(model.cell(0, kSize), QString());
    QCOMPARE(model.cell(1, kSize), QString());
    QCOMPARE(dataSpy.count(), 1);
    QCOMPARE(dataSpy.at(0).at(0).toModelIndex(), model.index(2, kSize));

    QVERIFY(model.setRowMark(ids[1], FileListModel::RowMark::Running));
    QCOMPARE(model.rowMark(0), FileListModel::RowMark::Running);
    QCOMPARE(model.rowMark(2), FileListModel::RowMark::None);
}

void TestFileList::removedIdIsRejected()
{
    CheckedModel m;
    FileListModel &model = m.model;
    const QList<RowId> ids = m.addSubjects({"a", "b", "c"});
    model.setSelected(1, 1, true);
    QCOMPARE(model.removeSelected(), 1);
    QCOMPARE(model.rowOf(ids[1]), -1);
    QCOMPARE(model.rowOf(ids[2]), 1);

    const QStringList before0 = model.cells(0);
    const QStringList before1 = model.cells(1);
    QSignalSpy dataSpy(&model, &FileListModel::dataChanged);
    QVERIFY(!model.setCell(ids[1], kSubject, QStringLiteral("late")));
    QVERIFY(!model.setRowMark(ids[1], FileListModel::RowMark::Failed));
    QCOMPARE(dataSpy.count(), 0);
    QCOMPARE(model.cells(0), before0);
    QCOMPARE(model.cells(1), before1);
    QCOMPARE(model.rowMark(0), FileListModel::RowMark::None);
    QCOMPARE(model.rowMark(1), FileListModel::RowMark::None);
}

void TestFileList::idsUniqueAfterClear()
{
    CheckedModel m;
    FileListModel &model = m.model;
    const QList<RowId> first = m.addSubjects({"a", "b"});
    model.clear();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.rowOf(first[0]), -1);
    QVERIFY(!model.setCell(first[1], 0, QStringLiteral("x")));

    const QList<RowId> second = m.addSubjects({"c", "d"});
    QSet<RowId> all(first.begin(), first.end());
    for (RowId id : second)
        QVERIFY(!all.contains(id));
    all.unite(QSet<RowId>(second.begin(), second.end()));
    QCOMPARE(all.size(), 4);
    QVERIFY(!all.contains(0));
    QCOMPARE(model.rowOf(second[1]), 1);
}

void TestFileList::checkItems_data()
{
    QTest::addColumn<bool>("allItems");
    QTest::addColumn<bool>("state");
    QTest::addColumn<QList<bool>>("checkedBefore");
    QTest::addColumn<QList<bool>>("checkedAfter");
    QTest::addColumn<int>("firstChanged"); // -1: no signal
    QTest::addColumn<int>("lastChanged");

    // Rows 1 and 3 are selected in every case.
    QTest::newRow("check selected")
        << false << true << QList<bool>{false, false, false, true, false}
        << QList<bool>{false, true, false, true, false} << 1 << 1;
    QTest::newRow("uncheck selected") << false << false << QList<bool>{true, true, true, true, true}
                                      << QList<bool>{true, false, true, false, true} << 1 << 3;
    QTest::newRow("check all") << true << true << QList<bool>{false, true, false, true, false}
                               << QList<bool>{true, true, true, true, true} << 0 << 4;
    QTest::newRow("uncheck all") << true << false << QList<bool>{false, true, false, true, false}
                                 << QList<bool>{false, false, false, false, false} << 1 << 3;
    QTest::newRow("nothing to change")
        << true << false << QList<bool>{false, false, false, false, false}
        << QList<bool>{false, false, false, false, false} << -1 << -1;
}

void TestFileList::checkItems()
{
    QFETCH(bool, allItems);
    QFETCH(bool, state);
    QFETCH(QList<bool>, checkedBefore);
    QFETCH(QList<bool>, checkedAfter);
    QFETCH(int, firstChanged);
    QFETCH(int, lastChanged);

    CheckedModel m;
    FileListModel &model = m.model;
    m.addSubjects({"a", "b", "c", "d", "e"});
    model.setSelected(1, 1, true);
    model.setSelected(3, 3, true);
    for (int row = 0; row < checkedBefore.size(); ++row)
        model.setChecked(row, checkedBefore[row]);

    QSignalSpy dataSpy(&model, &FileListModel::dataChanged);
    QSignalSpy selectionSpy(&model, &FileListModel::selectionFlagsChanged);
    model.CheckItems(allItems, state);

    QList<bool> checked;
    for (int row = 0; row < model.rowCount(); ++row)
        checked.append(model.isChecked(row));
    QCOMPARE(checked, checkedAfter);
    QCOMPARE(selectionSpy.count(), 0);
    if (firstChanged < 0) {
        QCOMPARE(dataSpy.count(), 0);
        return;
    }
    QCOMPARE(dataSpy.count(), 1);
    QCOMPARE(dataSpy.at(0).at(0).toModelIndex(), model.index(firstChanged, 0));
    QCOMPARE(dataSpy.at(0).at(1).toModelIndex(), model.index(lastChanged, 0));
}

void TestFileList::inverseSelection()
{
    CheckedModel m;
    FileListModel &model = m.model;
    m.addSubjects({"a", "b", "c", "d"});
    model.setSelected(0, 0, true);
    model.setSelected(2, 2, true);
    model.setChecked(0, true);
    model.setChecked(1, true);
    QSignalSpy selectionSpy(&model, &FileListModel::selectionFlagsChanged);

    model.inverseSelection();
    QCOMPARE(selectionSpy.count(), 1);
    const QList<bool> selected = {model.isSelected(0), model.isSelected(1), model.isSelected(2),
                                  model.isSelected(3)};
    QCOMPARE(selected, QList<bool>({false, true, false, true}));
    const QList<bool> checked = {model.isChecked(0), model.isChecked(1), model.isChecked(2),
                                 model.isChecked(3)};
    QCOMPARE(checked, QList<bool>({true, true, false, false}));
}

void TestFileList::setSelectedIsSilent()
{
    CheckedModel m;
    FileListModel &model = m.model;
    m.addSubjects({"a", "b", "c", "d"});
    QSignalSpy selectionSpy(&model, &FileListModel::selectionFlagsChanged);
    model.setSelected(1, 2, true);
    model.setSelected(-5, 0, true); // ends outside the list are cut off
    model.setSelected(3, 99, true);
    model.setSelected(2, 2, false);
    QCOMPARE(selectionSpy.count(), 0);
    const QList<bool> selected = {model.isSelected(0), model.isSelected(1), model.isSelected(2),
                                  model.isSelected(3)};
    QCOMPARE(selected, QList<bool>({true, true, false, true}));
}

void TestFileList::removeSelected_data()
{
    QTest::addColumn<QList<bool>>("selected");

    constexpr int count = 1000;
    QList<bool> scattered(count, false);
    QRandomGenerator random(20240611);
    int chosen = 0;
    while (chosen < count / 2) {
        const int row = int(random.bounded(count));
        if (!scattered[row]) {
            scattered[row] = true;
            ++chosen;
        }
    }
    QTest::newRow("scattered half") << scattered;

    QList<bool> fewRuns(count, false);
    for (const auto &[first, last] : {std::pair(0, 9), std::pair(500, 599), std::pair(990, 999)}) {
        for (int row = first; row <= last; ++row)
            fewRuns[row] = true;
    }
    QTest::newRow("few runs") << fewRuns;

    QList<bool> alternate(count, false);
    for (int row = 1; row < count; row += 2)
        alternate[row] = true;
    QTest::newRow("every other") << alternate;
    QTest::newRow("none") << QList<bool>(count, false);
}

void TestFileList::removeSelected()
{
    QFETCH(QList<bool>, selected);
    CheckedModel m;
    FileListModel &model = m.model;
    QList<QStringList> rows;
    for (int i = 0; i < selected.size(); ++i)
        rows.append(yahooRow(formatMessageNumber(i), QStringLiteral("s%1").arg(i), "10"));
    const QList<RowId> ids = model.addRows(rows);

    QList<RowId> kept;
    QStringList keptNumbers;
    for (int row = 0; row < selected.size(); ++row) {
        model.setSelected(row, row, selected[row]);
        if (!selected[row]) {
            kept.append(ids[row]);
            keptNumbers.append(formatMessageNumber(row));
        }
    }
    QSignalSpy selectionSpy(&model, &FileListModel::selectionFlagsChanged);

    QCOMPARE(model.removeSelected(), int(selected.size() - kept.size()));
    QCOMPARE(rowIds(model), kept);
    QCOMPARE(column(model, kMsgNo), keptNumbers);
    QCOMPARE(selectionSpy.count(), kept.size() == selected.size() ? 0 : 1);
    for (int row = 0; row < model.rowCount(); ++row) {
        QVERIFY(!model.isSelected(row));
        QCOMPARE(model.rowOf(kept[row]), row);
    }
    for (int row = 0; row < selected.size(); ++row) {
        if (selected[row])
            QCOMPARE(model.rowOf(ids[row]), -1);
    }
    QCOMPARE(model.totals(kSize).totalBytes, qint64(kept.size()) * 10);
}

void TestFileList::removeAllSelected()
{
    CheckedModel m;
    FileListModel &model = m.model;
    m.addSubjects({"a", "b", "c"});
    model.setSelected(0, 2, true);
    model.CheckItems(true, true);
    QCOMPARE(model.removeSelected(), 3);
    QCOMPARE(model.rowCount(), 0);

    const Totals totals = model.totals(kSize);
    QCOMPARE(totals.totalCount, 0);
    QCOMPARE(totals.checkedCount, 0);
    QCOMPARE(totals.selectedCount, 0);
    QCOMPARE(totals.totalBytes, 0);
}

void TestFileList::totalsCountsAndBytes()
{
    CheckedModel m;
    FileListModel &model = m.model;
    model.addRows({yahooRow("00001", "a", "1500000000"), yahooRow("00002", "b", "1500000000"),
                   yahooRow("00003", "c", "1500000000"), yahooRow("00004", "no size", ""),
                   yahooRow("00005", "odd size", "about 3 MB"), yahooRow("00006", "d", "25")});
    model.setSelected(0, 1, true);
    model.setSelected(3, 3, true);
    model.setChecked(2, true);
    model.setChecked(4, true);
    model.setChecked(5, true);

    const Totals totals = model.totals(kSize);
    QCOMPARE(totals.totalCount, 6);
    QCOMPARE(totals.totalBytes, 4500000025LL);
    QCOMPARE(totals.selectedCount, 3);
    QCOMPARE(totals.selectedBytes, 3000000000LL);
    QCOMPARE(totals.checkedCount, 3);
    QCOMPARE(totals.checkedBytes, 1500000025LL);

    // The hidden size column holds the same numbers, zero-padded.
    QCOMPARE(model.totals(kHidden).totalBytes, 4500000025LL);

    const TotalsTexts texts = ::formatTotals(totals, QLocale::c());
    QCOMPARE(texts.total, QStringLiteral("6 files, 4,500,000,025 bytes"));
    QCOMPARE(texts.selected, QStringLiteral("3 selected, 3,000,000,000 bytes"));
    QCOMPARE(texts.checked, QStringLiteral("3 checked, 1,500,000,025 bytes"));
}

void TestFileList::totalsFollowSizeChanges()
{
    CheckedModel m;
    FileListModel &model = m.model;
    const QList<RowId> ids = model.addRows({yahooRow("00001", "a", "100"), yahooRow("00002", "b")});
    model.columnClick(kSubject);
    model.columnClick(kSubject);
    QCOMPARE(model.totals(kSize).totalBytes, 100);

    // A transfer learns the real size of the second file.
    QVERIFY(model.setCell(ids[1], kSize, QStringLiteral("2500000000")));
    QCOMPARE(model.totals(kSize).totalBytes, 2500000100LL);
    model.setSelected(0, 0, true); // "b", sorted first
    QCOMPARE(model.totals(kSize).selectedBytes, 2500000000LL);
    QVERIFY(model.setCell(ids[0], kSize, QString()));
    QCOMPARE(model.totals(kSize).totalBytes, 2500000000LL);

    // In the Zing set the size sits in the second column, where these rows keep a subject.
    model.setColumns(columnSet(Mode::Zing));
    QCOMPARE(model.totals(sizeColumn(Mode::Zing)).totalBytes, 0);
    QVERIFY(model.setCell(ids[0], sizeColumn(Mode::Zing), QStringLiteral("7")));
    QCOMPARE(model.totals(sizeColumn(Mode::Zing)).totalBytes, 7);
    model.setColumns(columnSet(Mode::Yahoo));
    QCOMPARE(model.totals(kSize).totalBytes, 2500000000LL);
}

void TestFileList::formatTotals_data()
{
    QTest::addColumn<Totals>("totals");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("checked");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("total");

    QTest::newRow("empty list") << Totals{} << QLocale::c() << "0 checked, 0 bytes"
                                << "0 selected, 0 bytes"
                                << "0 files, 0 bytes";
    QTest::newRow("above 2^31, C locale")
        << Totals{0, 0, 1, 1500000000, 3, 4500000000} << QLocale::c() << "0 checked, 0 bytes"
        << "1 selected, 1,500,000,000 bytes"
        << "3 files, 4,500,000,000 bytes";
    QTest::newRow("German groups with dots")
        << Totals{2, 1234567, 0, 0, 1234, 4500000000} << QLocale(QLocale::German, QLocale::Germany)
        << "2 checked, 1.234.567 bytes"
        << "0 selected, 0 bytes"
        << "1234 files, 4.500.000.000 bytes";
    QTest::newRow("English") << Totals{1, 999, 1, 1000, 1234, 1234567}
                             << QLocale(QLocale::English, QLocale::UnitedStates)
                             << "1 checked, 999 bytes"
                             << "1 selected, 1,000 bytes"
                             << "1234 files, 1,234,567 bytes";
}

void TestFileList::formatTotals()
{
    QFETCH(Totals, totals);
    QFETCH(QLocale, locale);
    QFETCH(QString, checked);
    QFETCH(QString, selected);
    QFETCH(QString, total);
    const TotalsTexts texts = ::formatTotals(totals, locale);
    QCOMPARE(texts.checked, checked);
    QCOMPARE(texts.selected, selected);
    QCOMPARE(texts.total, total);
}

void TestFileList::modeSwitchKeepsRows()
{
    CheckedModel m;
    FileListModel &model = m.model;
    model.addRows({yahooRow("00002", "b", "20"), yahooRow("00001", "a", "10")});
    model.columnClick(kSubject);
    model.setChecked(1, true);
    const QList<QStringList> before = {model.cells(0), model.cells(1)};
    const QList<RowId> ids = rowIds(model);
    QSignalSpy resetSpy(&model, &FileListModel::modelReset);

    model.setColumns(columnSet(Mode::Zing));
    QCOMPARE(resetSpy.count(), 1);
    QCOMPARE(model.columnCount(), 4);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(rowIds(model), ids);
    QCOMPARE((QList<QStringList>{model.cells(0), model.cells(1)}), before);
    QVERIFY(model.isChecked(1));
    QCOMPARE(model.caption(0), QStringLiteral("File Name"));
    const FileListModel::SortState state = model.sortState();
    QVERIFY(!state.sorted);
    QCOMPARE(state.key, 0);
    QCOMPARE(state.order, 0);
    // Cells stay in their positions, so column 0 now shows what the first cell holds.
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("00001"));
}

QTEST_GUILESS_MAIN(TestFileList)
#include "test_filelist.moc"
