#pragma once

#include <QTreeView>
#include <functional>

class FileListModel;
class QAction;
class QMenu;

// The result list `lvFiles`: a checkable, multi-select view over the file list model with
// the context menu `mnuPopup`. The model's selected flags are the truth; the view's
// selection follows them both ways.
class FileListView final : public QTreeView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileListView)

public:
    explicit FileListView(FileListModel &model, QWidget *parent = nullptr);

    FileListModel &files() { return m_model; }

    QMenu *mnuPopup = nullptr;
    QAction *mnuPopupCheckAll = nullptr;
    QAction *mnuPopupUncheckAll = nullptr;
    QAction *mnuPopupCheckSelected = nullptr;
    QAction *mnuPopupUncheckSelected = nullptr;
    QAction *mnuPopupInverse = nullptr;
    QAction *mnuPopupRemove = nullptr;
    QAction *mnuPopupBrowse = nullptr;
    QAction *mnuPopupCopyUrl = nullptr;
    QAction *mnuPopupOpenFolder = nullptr;

    // Whether a row's file is in the download folder; the window knows the folder.
    std::function<bool(int row)> fileExists;

    // Enables the entries when the list holds rows, and "Open Containing Folder" only when
    // the current row's file exists; run each time the menu opens.
    void updatePopupEnabled();

    // Pushes the model's selected flags into the view's selection.
    void syncSelectionFromModel();

    // The width a column needs to show sample (and its caption with a sort mark) in full.
    int fittingWidth(int column, const QString &sample) const;

    // The row holding the focus, or -1.
    int currentRow() const;

Q_SIGNALS:
    // A mouse click in the list; the window refreshes its totals.
    void listClicked();
    void browseRequested();
    // Space: the selected rows are to be ticked or unticked.
    void toggleCheckRequested();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);

    FileListModel &m_model;
    bool m_syncing = false;
};
