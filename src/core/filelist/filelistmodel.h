#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QStringList>
#include <vector>

#include "core/filelist/columnset.h"
#include "core/filelist/totals.h"

// The result list: one row per found file, each with a stable id, its cells, a check mark
// and a selected flag. The model keeps the rows in display order and sorts them itself
// (by text, case-insensitively), so rows added while a sort stands take their place in it.
// Workers address rows by id; a write to a row that was removed in the meantime is dropped.
class FileListModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileListModel)

public:
    using RowId = quint64;

    // How a row is painted while a transfer works on it.
    enum class RowMark
    {
        None,
        Running,
        Failed
    };

    enum Roles
    {
        RowIdRole = Qt::UserRole + 1, // RowId of the row
        RowMarkRole,                  // int(RowMark)
        SelectedRole,                 // bool, the row's selected flag
    };

    struct SortState
    {
        bool sorted = false;
        int key = 0;   // 0-based column position
        int order = 0; // 0 ascending, 1 descending
    };

    explicit FileListModel(QObject *parent = nullptr);
    ~FileListModel() override;

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Columns. Replacing the column set keeps the rows and their cells; the sort state
    // starts afresh (not sorted, key 0, ascending).
    void setColumns(const QList<ColumnDef> &columns);
    const QList<ColumnDef> &columns() const { return m_columns; }
    int columnIndex(const QString &key) const; // -1 when no column has that key
    QString caption(int column) const;

    // Rows
    RowId addRow(const QStringList &cells);
    QList<RowId> addRows(const QList<QStringList> &rows);
    void clear();
    int rowOf(RowId id) const; // -1 when the row is gone
    RowId idAt(int row) const;
    QString cell(int row, int column) const;
    QStringList cells(int row) const;
    bool setCell(RowId id, int column, const QString &text); // false when the row is gone
    bool isChecked(int row) const;
    void setChecked(int row, bool checked);
    bool isSelected(int row) const;
    // Sets the selected flag of rows first..last; used by the view to report the user's
    // selection. Emits no selectionFlagsChanged.
    void setSelected(int first, int last, bool selected);
    RowMark rowMark(int row) const;
    bool setRowMark(RowId id, RowMark mark);
    // What a run has to say about the row (the name it was saved under, why it failed).
    bool setToolTip(RowId id, const QString &text);
    // The name a run saves the row's file under, when not the one found ("" for that one):
    // the file name column shows both ("a.jpg → a (2).jpg"). cell(), the sort and queue
    // files keep the name found.
    bool setSavedAs(RowId id, const QString &name);

    // Commands of the list's context menu. Each changes the flags in one pass.
    void CheckItems(bool AllItems, bool CheckState);
    void inverseSelection();
    // Removes every selected row; returns how many were removed.
    int removeSelected();

    // Sorting: the column-header click. Sorting by "Size" sorts by "HiddenSize"; the
    // clicked column's caption gets "+" (ascending) or "-" (descending) in front.
    void columnClick(int column);
    void setSortKey(int key) { m_sort.key = key; }
    // Puts the rows into the standing sort again after cells of its column changed.
    void resort()
    {
        if (m_sort.sorted)
            sortRows();
    }
    SortState sortState() const { return m_sort; }

    // The totals of checked, selected and all rows; sizes are read from sizeColumn.
    Totals totals(int sizeColumn) const;

Q_SIGNALS:
    // The user toggled a check box through the view.
    void userCheckChanged();
    // Selected flags changed by a command (not by setSelected): the view should follow.
    void selectionFlagsChanged();

private:
    struct Row
    {
        RowId id = 0;
        QStringList cells;
        bool checked = false;
        bool selected = false;
        RowMark mark = RowMark::None;
        QString toolTip;
        // The size cell as a number, read once: after a sort the rows' strings lie scattered
        // in memory, and reading them all again for every totals update is slow.
        qint64 bytes = 0;
    };

    QString sortText(const Row &row) const;
    bool sortsBefore(QStringView a, QStringView b) const;
    int insertPosition(const QString &key) const;
    std::vector<int> insertPositions(const std::vector<QString> &keys) const;
    void mergeAppended(int oldCount, const std::vector<QString> &keys,
                       const std::vector<int> &places);
    void sortRows();
    void reorderRows(const std::vector<int> &from); // from[new position] = old position
    void indexDirty() { m_indexValid = false; }
    void rebuildIndex() const;

    QList<ColumnDef> m_columns;
    std::vector<Row> m_rows;
    SortState m_sort;
    int m_sizeColumn = -1;           // the column that Row::bytes is read from
    int m_nameColumn = -1;           // the file name column, which shows m_savedAs
    QHash<RowId, QString> m_savedAs; // few rows have one: kept beside the rows, not in each
    RowId m_nextId = 1;
    mutable QHash<RowId, int> m_index;
    mutable bool m_indexValid = true;
};
