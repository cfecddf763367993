#include "gui/ui/filelistview.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>

#include "core/filelist/filelistmodel.h"

namespace {

// Paints a row red while its file transfers and in a warning colour when its transfer failed.
class RowMarkDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const auto mark = FileListModel::RowMark(index.data(FileListModel::RowMarkRole).toInt());
        QColor colour;
        if (mark == FileListModel::RowMark::Running)
            colour = QColor(0xff, 0x00, 0x00);
        else if (mark == FileListModel::RowMark::Failed)
            colour = QColor(0xb3, 0x59, 0x00);
        if (colour.isValid()) {
            option->palette.setColor(QPalette::Text, colour);
            option->palette.setColor(QPalette::HighlightedText, colour.lighter(170));
        }
    }
};

} // namespace

FileListView::FileListView(FileListModel &model, QWidget *parent)
    : QTreeView(parent), m_model(model)
{
    setItemDelegate(new RowMarkDelegate(this));
    setObjectName(QStringLiteral("lvFiles"));
    setModel(&m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // keeps scrolling through 100,000 rows cheap
    setAllColumnsShowFocus(true);
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false); // the model sorts itself on a header click
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);

    mnuPopup = new QMenu(QStringLiteral("Popup Menu"), this);
    mnuPopup->setObjectName(QStringLiteral("mnuPopup"));
    const auto add = [this](const char *name, const QString &caption) {
        QAction *action = mnuPopup->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    mnuPopupCheckAll = add("mnuPopupCheckAll", QStringLiteral("Check All"));
    mnuPopupUncheckAll = add("mnuPopupUncheckAll", QStringLiteral("Uncheck All"));
    mnuPopupCheckSelected = add("mnuPopupCheckSelected", QStringLiteral("Check Selected"));
    mnuPopupUncheckSelected = add("mnuPopupUncheckSelected", QStringLiteral("Uncheck Selected"));
    mnuPopupInverse = add("mnuPopupInverse", QStringLiteral("Inverse Selection"));
    mnuPopup->addSeparator();
    mnuPopupRemove = add("mnuPopupRemove", QStringLiteral("Remove Selected"));
    mnuPopup->addSeparator();
    mnuPopupBrowse = add("mnuPopupBrowse", QStringLiteral("Browse File..."));
    mnuPopupCopyUrl = add("mnuPopupCopyUrl", QStringLiteral("Copy File URL"));
    mnuPopupOpenFolder = add("mnuPopupOpenFolder", QStringLiteral("Open Containing Folder"));

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FileListView::onSelectionChanged);
    connect(&m_model, &FileListModel::selectionFlagsChanged, this,
            &FileListView::syncSelectionFromModel);
    // A reset (new columns, a large removal) drops the view's selection; restore it.
    connect(&m_model, &QAbstractItemModel::modelReset, this, &FileListView::syncSelectionFromModel);
    // Delete works without opening the menu, so its entry follows the rows too.
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&m_model, signal, this, &FileListView::updatePopupEnabled);
    connect(&m_model, &QAbstractItemModel::modelReset, this, &FileListView::updatePopupEnabled);
    updatePopupEnabled();
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            Q_EMIT browseRequested();
    });
}

void FileListView::updatePopupEnabled()
{
    const bool any = m_model.rowCount() > 0;
    for (QAction *action :
         {mnuPopupCheckAll, mnuPopupUncheckAll, mnuPopupCheckSelected, mnuPopupUncheckSelected,
          mnuPopupInverse, mnuPopupRemove, mnuPopupBrowse, mnuPopupCopyUrl})
        action->setEnabled(any);
    mnuPopupOpenFolder->setEnabled(any && fileExists && fileExists(currentRow()));
}

int FileListView::fittingWidth(int column, const QString &sample) const
{
    QStyleOptionViewItem item;
    initViewItemOption(&item);
    item.text = sample;
    item.features |= QStyleOptionViewItem::HasDisplay;
    if (column == 0) { // the check box
        item.features |= QStyleOptionViewItem::HasCheckIndicator;
        item.checkState = Qt::Checked;
    }
    const int cell =
        style()->sizeFromContents(QStyle::CT_ItemViewItem, &item, QSize(), this).width();

    QStyleOptionHeader caption;
    caption.initFrom(header());
    caption.section = column;
    caption.text = m_model.headerData(column, Qt::Horizontal).toString();
    if (!caption.text.startsWith(u'+') && !caption.text.startsWith(u'-'))
        caption.text.prepend(u'+');
    const int head =
        style()->sizeFromContents(QStyle::CT_HeaderSection, &caption, QSize(), header()).width();
    return std::max(cell, head);
}

int FileListView::currentRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void FileListView::mousePressEvent(QMouseEvent *event)
{
    QTreeView::mousePressEvent(event);
    Q_EMIT listClicked();
    if (event->button() == Qt::RightButton) {
        updatePopupEnabled();
        mnuPopup->popup(event->globalPosition().toPoint());
    }
}

void FileListView::keyPressEvent(QKeyEvent *event)
{
    // Space ticks every selected row, not only the current one as the view would.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        Q_EMIT toggleCheckRequested();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void FileListView::onSelectionChanged(const QItemSelection &selected,
                                      const QItemSelection &deselected)
{
    if (m_syncing)
        return;
    for (const QItemSelectionRange &range : deselected)
        m_model.setSelected(range.top(), range.bottom(), false);
    for (const QItemSelectionRange &range : selected)
        m_model.setSelected(range.top(), range.bottom(), true);
}

void FileListView::syncSelectionFromModel()
{
    // Contiguous runs of selected rows become one range each.
    QItemSelection selection;
    const int rows = m_model.rowCount();
    const int lastColumn = std::max(0, m_model.columnCount() - 1);
    for (int row = 0; row < rows;) {
        if (!m_model.isSelected(row)) {
            ++row;
            continue;
        }
        int end = row;
        while (end + 1 < rows && m_model.isSelected(end + 1))
            ++end;
        selection.append(
            QItemSelectionRange(m_model.index(row, 0), m_model.index(end, lastColumn)));
        row = end + 1;
    }
    m_syncing = true;
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_syncing = false;
}
