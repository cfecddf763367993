// The keys of the main window that are not menu shortcuts: Enter starts the search from its
// fields, Escape stops a run, Space ticks and Delete removes the selected rows.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QShortcut>

#include "gui/app/frmdownload.h"
#include "gui/app/runcontrols.h"
#include "gui/ui/filelistview.h"

void frmDownload::connectKeys()
{
    // The toolbar's command, so a run that is going on (which disables it) is not doubled.
    const auto search = [this] {
        m_commands.tbSearch->trigger();
    };
    connect(cmbBaseURL->lineEdit(), &QLineEdit::returnPressed, this, search);
    connect(txtMask, &QLineEdit::returnPressed, this, search);

    // Only a running search or download: with nothing running Escape changes nothing.
    auto *abort = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(abort, &QShortcut::activated, this, [this] {
        if (m_session.state().isRunActive())
            m_runs->AbortAll();
    });

    lvFiles->mnuPopupRemove->setShortcut(QKeySequence(QKeySequence::Delete));
    lvFiles->mnuPopupRemove->setShortcutContext(Qt::WidgetShortcut);
    lvFiles->addAction(lvFiles->mnuPopupRemove);

    connect(lvFiles, &FileListView::toggleCheckRequested, this, [this] {
        // The selected rows all take the opposite of the current row's tick.
        const int current = lvFiles->currentRow();
        int first = m_files.isSelected(current) ? current : -1;
        for (int row = 0; first < 0 && row < m_files.rowCount(); ++row) {
            if (m_files.isSelected(row))
                first = row;
        }
        if (first >= 0)
            CheckItems(false, !m_files.isChecked(first));
    });
}
