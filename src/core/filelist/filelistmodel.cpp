#include "core/filelist/filelistmodel.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

// Above this many separate runs of selected rows, one rebuild of the list is cheaper than
// removing run by run, where every erase shifts the rows below it.
constexpr size_t kMaxRemoveRuns = 32;

qint64 cellBytes(const QStringList &cells, int column)
{
    return column >= 0 && column < cells.size() ? parseSizeCell(cells.at(column)) : 0;
}

} // namespace

FileListModel::FileListModel(QObject *parent) : QAbstractTableModel(parent)
{}

FileListModel::~FileListModel() = default;

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FileListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.model() != this || index.row() >= rowCount() ||
        index.column() >= columnCount())
        return {};
    const Row &row = m_rows[size_t(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        if (column == m_nameColumn && !m_savedAs.isEmpty()) {
            const auto as = m_savedAs.constFind(row.id);
            if (as != m_savedAs.cend())
                return row.cells.value(column) + QStringLiteral(" \u2192 ") + *as;
        }
        return row.cells.value(column);
    case Qt::TextAlignmentRole:
        return int((m_columns[column].alignment | Qt::AlignVCenter).toInt());
    case Qt::CheckStateRole:
        return column == 0 ? QVariant(int(row.checked ? Qt::Checked : Qt::Unchecked)) : QVariant();
    case RowIdRole:
        return QVariant::fromValue(row.id);
    case RowMarkRole:
        return int(row.mark);
    case Qt::ToolTipRole:
        return row.toolTip.isEmpty() ? QVariant() : QVariant(row.toolTip);
    case SelectedRole:
        return row.selected;
    default:
        return {};
    }
}

bool FileListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    // Only the check box is editable; the cells belong to the search that found the file.
    if (role != Qt::CheckStateRole || !index.isValid() || index.model() != this ||
        index.column() != 0 || index.row() >= rowCount())
        return false;
    const bool checked = value.toInt() == Qt::Checked;
    Row &row = m_rows[size_t(index.row())];
    if (row.checked != checked) {
        row.checked = checked;
        Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
        Q_EMIT userCheckChanged();
    }
    return true;
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    const ColumnDef &column = m_columns[section];
    if (role == Qt::DisplayRole)
        return column.caption;
    if (role == Qt::TextAlignmentRole)
        return int((column.alignment | Qt::AlignVCenter).toInt());
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (index.column() == 0)
        result |= Qt::ItemIsUserCheckable;
    return result;
}

void FileListModel::setColumns(const QList<ColumnDef> &columns)
{
    beginResetModel();
    m_columns = columns;
    m_sort = {};
    m_nameColumn = columnIndex(ColumnKeys::FileName);
    const int sizeAt = columnIndex(ColumnKeys::Size);
    if (sizeAt != m_sizeColumn) {
        m_sizeColumn = sizeAt;
        for (Row &row : m_rows)
            row.bytes = cellBytes(row.cells, m_sizeColumn);
    }
    endResetModel();
}

int FileListModel::columnIndex(const QString &key) const
{
    for (int i = 0; i < columnCount(); ++i) {
        if (m_columns[i].key == key)
            return i;
    }
    return -1;
}

QString FileListModel::caption(int column) const
{
    return column >= 0 && column < columnCount() ? m_columns[column].caption : QString();
}

FileListModel::RowId FileListModel::addRow(const QStringList &cells)
{
    Row row;
    row.id = m_nextId++;
    row.cells = cells;
    row.bytes = cellBytes(cells, m_sizeColumn);
    const RowId id = row.id;
    const int count = rowCount();
    const int pos = m_sort.sorted ? insertPosition(sortText(row)) : count;

    beginInsertRows({}, pos, pos);
    if (pos == count && m_indexValid)
        m_index.insert(id, pos);
    else
        indexDirty();
    m_rows.insert(m_rows.begin() + pos, std::move(row));
    endInsertRows();
    return id;
}

QList<FileListModel::RowId> FileListModel::addRows(const QList<QStringList> &rows)
{
    QList<RowId> ids;
    if (rows.isEmpty())
        return ids;
    const int oldCount = rowCount();
    const int added = int(rows.size());

    // While sorted, find each new row's place among the old rows before they are joined.
    std::vector<QString> keys;
    std::vector<int> places;
    if (m_sort.sorted) {
        keys.reserve(size_t(added));
        // Rows of one page share their long texts; so do their keys.
        QString lastText;
        for (const QStringList &cells : rows) {
            const QString text = cells.value(m_sort.key);
            if (!keys.empty() && text.constData() == lastText.constData() &&
                text.size() == lastText.size())
                keys.push_back(keys.back());
            else
                keys.push_back(text.toCaseFolded());
            lastText = text;
        }
        places = insertPositions(keys);
    }

    const size_t needed = m_rows.size() + size_t(added);
    if (needed > m_rows.capacity())
        m_rows.reserve(std::max(needed, m_rows.capacity() * 2));
    ids.reserve(added);
    beginInsertRows({}, oldCount, oldCount + added - 1);
    if (m_sort.sorted)
        indexDirty();
    for (const QStringList &cells : rows) {
        Row row;
        row.id = m_nextId++;
        row.cells = cells;
        row.bytes = cellBytes(cells, m_sizeColumn);
        ids.append(row.id);
        if (m_indexValid)
            m_index.insert(row.id, int(m_rows.size()));
        m_rows.push_back(std::move(row));
    }
    endInsertRows();

    if (m_sort.sorted)
        mergeAppended(oldCount, keys, places);
    return ids;
}

void FileListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_index.clear();
    m_savedAs.clear();
    m_indexValid = true;
    endResetModel();
}

int FileListModel::rowOf(RowId id) const
{
    if (!m_indexValid)
        rebuildIndex();
    return m_index.value(id, -1);
}

FileListModel::RowId FileListModel::idAt(int row) const
{
    return row >= 0 && row < rowCount() ? m_rows[size_t(row)].id : 0;
}

QString FileListModel::cell(int row, int column) const
{
    return row >= 0 && row < rowCount() ? m_rows[size_t(row)].cells.value(column) : QString();
}

QStringList FileListModel::cells(int row) const
{
    return row >= 0 && row < rowCount() ? m_rows[size_t(row)].cells : QStringList();
}

bool FileListModel::setCell(RowId id, int column, const QString &text)
{
    const int row = rowOf(id);
    if (row < 0 || column < 0)
        return false;
    // The row keeps its place even when this is the sort column, until the next sort.
    Row &target = m_rows[size_t(row)];
    while (target.cells.size() <= column)
        target.cells.append(QString());
    target.cells[column] = text;
    if (column == m_sizeColumn)
        target.bytes = parseSizeCell(text);
    if (column < columnCount()) {
        const QModelIndex changed = index(row, column);
        Q_EMIT dataChanged(changed, changed, {Qt::DisplayRole});
    }
    return true;
}

bool FileListModel::isChecked(int row) const
{
    return row >= 0 && row < rowCount() && m_rows[size_t(row)].checked;
}

void FileListModel::setChecked(int row, bool checked)
{
    if (row < 0 || row >= rowCount() || m_rows[size_t(row)].checked == checked)
        return;
    m_rows[size_t(row)].checked = checked;
    const QModelIndex changed = index(row, 0);
    Q_EMIT dataChanged(changed, changed, {Qt::CheckStateRole});
}

bool FileListModel::isSelected(int row) const
{
    return row >= 0 && row < rowCount() && m_rows[size_t(row)].selected;
}

void FileListModel::setSelected(int first, int last, bool selected)
{
    // The view reports its own selection here, so nothing is announced back to it.
    first = std::max(first, 0);
    last = std::min(last, rowCount() - 1);
    for (int row = first; row <= last; ++row)
        m_rows[size_t(row)].selected = selected;
}

FileListModel::RowMark FileListModel::rowMark(int row) const
{
    return row >= 0 && row < rowCount() ? m_rows[size_t(row)].mark : RowMark::None;
}

bool FileListModel::setRowMark(RowId id, RowMark mark)
{
    const int row = rowOf(id);
    if (row < 0)
        return false;
    m_rows[size_t(row)].mark = mark;
    if (columnCount() > 0)
        Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1), {RowMarkRole});
    return true;
}

bool FileListModel::setToolTip(RowId id, const QString &text)
{
    const int row = rowOf(id);
    if (row < 0)
        return false;
    Row &r = m_rows[size_t(row)];
    if (r.toolTip == text)
        return true;
    r.toolTip = text;
    if (columnCount() > 0)
        Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1), {Qt::ToolTipRole});
    return true;
}

bool FileListModel::setSavedAs(RowId id, const QString &name)
{
    const int row = rowOf(id);
    if (row < 0)
        return false;
    if (m_savedAs.value(id) == name)
        return true;
    if (name.isEmpty())
        m_savedAs.remove(id);
    else
        m_savedAs.insert(id, name);
    if (m_nameColumn >= 0)
        Q_EMIT dataChanged(index(row, m_nameColumn), index(row, m_nameColumn), {Qt::DisplayRole});
    return true;
}

void FileListModel::CheckItems(bool AllItems, bool CheckState)
{
    int first = -1;
    int last = -1;
    for (int i = 0; i < rowCount(); ++i) {
        Row &row = m_rows[size_t(i)];
        if ((!AllItems && !row.selected) || row.checked == CheckState)
            continue;
        row.checked = CheckState;
        if (first < 0)
            first = i;
        last = i;
    }
    if (first >= 0 && columnCount() > 0)
        Q_EMIT dataChanged(index(first, 0), index(last, 0), {Qt::CheckStateRole});
}

void FileListModel::inverseSelection()
{
    for (Row &row : m_rows)
        row.selected = !row.selected;
    Q_EMIT selectionFlagsChanged();
}

int FileListModel::removeSelected()
{
    std::vector<std::pair<int, int>> runs; // first and last row of each selected run
    int removed = 0;
    const int count = rowCount();
    for (int i = 0; i < count; ++i) {
        if (!m_rows[size_t(i)].selected)
            continue;
        const int first = i;
        while (i + 1 < count && m_rows[size_t(i + 1)].selected)
            ++i;
        runs.emplace_back(first, i);
        removed += i - first + 1;
    }
    if (runs.empty())
        return 0;

    if (runs.size() <= kMaxRemoveRuns) {
        // Bottom first, so that the positions of the runs above stay valid.
        for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
            beginRemoveRows({}, run->first, run->second);
            m_rows.erase(m_rows.begin() + run->first, m_rows.begin() + run->second + 1);
            indexDirty();
            endRemoveRows();
        }
    } else {
        // Cut along the runs found above rather than the flags, which a view listening to
        // the reset may already be changing.
        beginResetModel();
        std::vector<Row> kept;
        kept.reserve(m_rows.size() - size_t(removed));
        int next = 0;
        for (const auto &[first, last] : runs) {
            std::move(m_rows.begin() + next, m_rows.begin() + first, std::back_inserter(kept));
            next = last + 1;
        }
        std::move(m_rows.begin() + next, m_rows.end(), std::back_inserter(kept));
        m_rows.swap(kept);
        indexDirty();
        endResetModel();
    }
    Q_EMIT selectionFlagsChanged();
    return removed;
}

Totals FileListModel::totals(int sizeColumn) const
{
    Totals result;
    result.totalCount = qint64(m_rows.size());
    for (const Row &row : m_rows) {
        const qint64 size =
            sizeColumn == m_sizeColumn ? row.bytes : cellBytes(row.cells, sizeColumn);
        result.totalBytes += size;
        if (row.selected) {
            ++result.selectedCount;
            result.selectedBytes += size;
        }
        if (row.checked) {
            ++result.checkedCount;
            result.checkedBytes += size;
        }
    }
    return result;
}

void FileListModel::rebuildIndex() const
{
    m_index.clear();
    m_index.reserve(qsizetype(m_rows.size()));
    for (int i = 0; i < rowCount(); ++i)
        m_index.insert(m_rows[size_t(i)].id, i);
    m_indexValid = true;
}
