// The sorting half of FileListModel: header clicks, the sort itself, and the placing of
// rows that arrive while a sort stands.
#include <QHash>
#include <algorithm>
#include <numeric>

#include "core/filelist/filelistmodel.h"

namespace {

bool hasSortMark(const QString &caption)
{
    return caption.startsWith(u'+') || caption.startsWith(u'-');
}

// Texts of this length and more are folded once per shared copy: the rows of one page share
// their subject and author, which can be very long, and a key per row would multiply them.
constexpr qsizetype ShareFrom = 64;

using TextId = QPair<const QChar *, qsizetype>;

TextId textId(const QString &text)
{
    return {text.constData(), text.size()};
}

// The case-folded sort texts of all rows packed into one string. A sort compares them over
// and over, and after earlier sorts the rows' own strings lie scattered in memory.
class PackedKeys
{
public:
    explicit PackedKeys(size_t count) { m_spans.reserve(count); }
    void append(const QString &text)
    {
        const bool shareable = text.size() >= ShareFrom;
        if (shareable) {
            if (const auto known = m_shared.constFind(textId(text)); known != m_shared.cend()) {
                m_spans.push_back(*known);
                return;
            }
        }
        const qsizetype start = m_text.size();
        m_text.append(text.toCaseFolded());
        const std::pair<qsizetype, qsizetype> span{start, m_text.size() - start};
        if (shareable)
            m_shared.insert(textId(text), span);
        m_spans.push_back(span);
    }
    QStringView at(size_t i) const
    {
        return QStringView(m_text).sliced(m_spans[i].first, m_spans[i].second);
    }

private:
    QString m_text;
    std::vector<std::pair<qsizetype, qsizetype>> m_spans; // start and length in m_text
    QHash<TextId, std::pair<qsizetype, qsizetype>> m_shared;
};

// The first of count positions before whose row the key sorts, so that a new row goes after
// the rows with an equal key and equal rows stay in the order they came.
template <typename KeyBefore> int placeAfterEqual(int count, KeyBefore keyBefore)
{
    int low = 0;
    int high = count;
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (keyBefore(mid))
            high = mid;
        else
            low = mid + 1;
    }
    return low;
}

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

bool FileListModel::sortsBefore(QStringView a, QStringView b) const
{
    return m_sort.order == 0 ? a.compare(b) < 0 : b.compare(a) < 0;
}

int FileListModel::insertPosition(const QString &key) const
{
    return placeAfterEqual(
        rowCount(), [&](int row) { return sortsBefore(key, sortText(m_rows[size_t(row)])); });
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
    PackedKeys rowKeys(m_rows.size());
    for (const Row &row : m_rows)
        rowKeys.append(sortText(row));
    for (size_t i = 0; i < keys.size(); ++i) {
        places[i] = placeAfterEqual(
            rowCount(), [&](int row) { return sortsBefore(keys[i], rowKeys.at(size_t(row))); });
    }
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
    PackedKeys keys(m_rows.size());
    for (const Row &row : m_rows)
        keys.append(sortText(row));
    std::vector<int> from(m_rows.size());
    std::iota(from.begin(), from.end(), 0);
    std::stable_sort(from.begin(), from.end(), [&](int a, int b) {
        return sortsBefore(keys.at(size_t(a)), keys.at(size_t(b)));
    });
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
