// The result list's commands and the totals in the status bar.
#include <QComboBox>
#include <QLabel>
#include <QTabWidget>

#include "core/filelist/columnset.h"
#include "gui/app/frmdownload.h"
#include "gui/ui/browserpage.h"
#include "gui/ui/filelistview.h"
#include "gui/ui/twips.h"

void frmDownload::UpdateTotals()
{
    const Mode mode = modeFromText(cmbServer->currentText());
    const TotalsTexts texts = formatTotals(m_files.totals(sizeColumn(mode)));
    const qreal dpi = Twips::dpiOf(this);
    // Each panel grows to fit its text and is never narrower than 1000 twips.
    const auto show = [dpi](QLabel *panel, const QString &text) {
        panel->setText(text);
        panel->setMinimumWidth(
            std::max(Twips::toPixels(1000, dpi),
                     panel->fontMetrics().horizontalAdvance(text) + 2 * panel->margin() + 8));
    };
    show(panelChecked, texts.checked);
    show(panelSelected, texts.selected);
    show(panelTotal, texts.total);
}

void frmDownload::CheckItems(bool AllItems, bool CheckState)
{
    m_files.CheckItems(AllItems, CheckState);
    UpdateTotals();
}

void frmDownload::InverseSelection()
{
    m_files.inverseSelection();
    UpdateTotals();
}

void frmDownload::RemoveSelected()
{
    m_files.removeSelected();
    // The row that holds the focus after the removal becomes the selection.
    const int current = lvFiles->currentRow();
    if (m_files.rowCount() > 0 && current >= 0) {
        m_files.setSelected(current, current, true);
        lvFiles->syncSelectionFromModel();
    }
    UpdateTotals();
}

void frmDownload::BrowseFile()
{
    const int row = lvFiles->currentRow();
    if (row < 0)
        return;
    const Mode mode = modeFromText(cmbServer->currentText());
    browserPage->Navigate(QUrl(m_files.cell(row, fileUrlColumn(mode))));
    SSTab1->setCurrentIndex(2);
}

void frmDownload::onColumnClicked(int column)
{
    m_files.columnClick(column);
}
