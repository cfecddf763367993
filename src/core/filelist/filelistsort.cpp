// The sorting half of FileListModel: header clicks, the sort itself, and the placing of
// rows that arrive while a sort stands.
#include <algorithm>
#include <numeric>

#include "core/filelist/filelistmodel.h"

namespace {

bool hasSortMark(const QString &caption)
{
    return caption.startsWith(u'+') || caption.startsWith(u'-');
}

struct SortEntry
{
    QString key; // case-folded sort text
    int from;    // position before the sort
};

} // namespace

void FileListModel::columnClick(int column)
{
    if (column < 0 || column >= columnCount())
        return;
    m_sort.sorted = true;
    int key = column;
    if (m_columns[column].key == ColumnKeys::Size) {
        const int hidden = columnIndex(ColumnKeys::HiddenSize);
        if (hidden >= 0)
            key = hidden;
    }
    if (m_sort.key == key) {
        m_sort.order = 1 - m_sort.order;
    } else {
        m_sort.key = key;
        m_sort.order = 0;
    }

    // The mark goes on the clicked column, also when the rows sort by the hidden size.
    const QChar mark = m_sort.order == 0 ? u'+' : u'-';
    for (int i = 0; i < columnCount(); ++i) {
        QString &text = m_columns[i].caption;
        if (i == column && hasSortMark(text))
            text[0] = mark;
        else if (i == column)
            text.prepend(mark);
        else if (hasSortMark(text))
            text.remove(0, 1);
    }
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    sortRows();
}

QString FileListModel::sortText(const Row &row) const
{
    return row.cells.value(m_sort.key).toCaseFolded();
}

bool FileListModel::sortsBefore(const QString &a, const QString &b) const
{
    return m_sort.order == 0 ? a < b : b < a;
}

int FileListModel::insertPosition(const QString &key) const
{
    // After the rows with an equal key, so that equal rows stay in the order they came.
    int low = 0;
    int high = rowCount();
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (sortsBefore(key, sortText(m_rows[size_t(mid)])))
            high = mid;
        else
            low = mid + 1;
    }
    return low;
}

std::vector<int> FileListModel::insertPositions(const std::vector<QString> &keys) const
{
    std::vector<int> places(keys.size(), 0);
    if (m_rows.empty())
        return places;
    if (keys.size() * 32 < m_rows.size()) {
        // A small batch: searching the rows costs less than folding every row's key.
        for (size_t i = 0; i < keys.size(); ++i)
            places[i] = insertPosition(keys[i]);
        return places;
    }
    std::vector<QString> rowKeys;
    rowKeys.reserve(m_rows.size());
    for (const Row &row : m_rows)
        rowKeys.push_back(sortText(row));
    const auto before = [this](const QString &a, const QString &b) {
        return sortsBefore(a, b);
    };
    for (size_t i = 0; i < keys.size(); ++i)
        places[i] = int(std::upper_bound(rowKeys.begin(), rowKeys.end(), keys[i], before) -
                        rowKeys.begin());
    return places;
}

void FileListModel::mergeAppended(int oldCount, const std::vector<QString> &keys,
                                  const std::vector<int> &places)
{
    // The new rows ordered by slot and among themselves, each slot's rows placed after the
    // old row before it: the order that adding them one by one would give.
    std::vector<int> order(keys.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        if (places[size_t(a)] != places[size_t(b)])
            return places[size_t(a)] < places[size_t(b)];
        return sortsBefore(keys[size_t(a)], keys[size_t(b)]);
    });
    std::vector<int> from;
    from.reserve(m_rows.size());
    size_t next = 0;
    for (int i = 0; i <= oldCount; ++i) {
        while (next < order.size() && places[size_t(order[next])] == i)
            from.push_back(oldCount + order[next++]);
        if (i < oldCount)
            from.push_back(i);
    }
    reorderRows(from);
}

void FileListModel::sortRows()
{
    std::vector<SortEntry> entries;
    entries.reserve(m_rows.size());
    for (int i = 0; i < rowCount(); ++i)
        entries.push_back({sortText(m_rows[size_t(i)]), i});
    std::stable_sort(
        entries.begin(), entries.end(),
        [this](const SortEntry &a, const SortEntry &b) { return sortsBefore(a.key, b.key); });
    std::vector<int> from;
    from.reserve(entries.size());
    for (const SortEntry &entry : entries)
        from.push_back(entry.from);
    reorderRows(from);
}

void FileListModel::reorderRows(const std::vector<int> &from)
{
    bool moved = false;
    for (size_t i = 0; i < from.size() && !moved; ++i)
        moved = from[i] != int(i);
    if (!moved)
        return;

    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> to(from.size());
    std::vector<Row> reordered;
    reordered.reserve(m_rows.size());
    for (size_t i = 0; i < from.size(); ++i) {
        to[size_t(from[i])] = int(i);
        reordered.push_back(std::move(m_rows[size_t(from[i])]));
    }
    m_rows.swap(reordered);
    indexDirty();

    // The view's current index and selection follow their rows.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.append(createIndex(to[size_t(index.row())], index.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
