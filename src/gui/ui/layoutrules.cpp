#include "gui/ui/layoutrules.h"

#include <algorithm>

namespace Layout {

namespace {

constexpr int CellGap = 60; // between the cells of a slot row

int right(const Rect &r)
{
    return r.left + r.width;
}

} // namespace

MainLayout startingLayout(int slotCount)
{
    MainLayout l;
    l.fraSettings = {0, 375, 9045, 1440};
    l.lblURL = {75, 300, 1440, 270};
    l.cmbBaseURL = {1575, 300, 7365, 315};
    l.lblMask = {75, 675, 1440, 270};
    l.txtMask = {1575, 675, 7365, 315};
    l.lblDownloadTo = {75, 1050, 1440, 270};
    l.txtDownloadTo = {1575, 1050, 6990, 315};
    l.cmdBrowse = {8625, 1050, 315, 315};
    l.ProgressBar1 = {0, 1875, 9045, 285};
    l.SSTab1 = {0, 2175, 9015, 5340};
    l.lvFiles = {75, 75, 8820, 4140};
    l.WebBrowser1 = {75, 75, 8640, 4740};

    const SlotRow first{
        {75, 150, 315, 285}, {375, 150, 2040, 285}, {2400, 150, 1965, 285}, {4350, 150, 4440, 285}};
    slotCount = std::clamp(slotCount, 1, 16);
    l.slotRows.append(first);
    for (int i = 1; i < slotCount; ++i) {
        SlotRow copy = first;
        copy.number.visible = copy.status.visible = copy.progress.visible = copy.url.visible =
            false;
        l.slotRows.append(copy);
    }
    return l;
}

int clampWidth(int outerWidth)
{
    return std::max(outerWidth, MinWidth);
}

int clampHeight(int outerHeight)
{
    return std::max(outerHeight, MinHeight);
}

void resizeWindow(MainLayout &l, int outerWidth, int outerHeight, int currentTab)
{
    const int width = clampWidth(outerWidth);
    const int height = clampHeight(outerHeight);

    l.fraSettings.width = width - 100;
    l.cmbBaseURL.width = l.fraSettings.width - l.cmbBaseURL.left - 100;
    // The browse button's right edge is flush with the address box's.
    l.cmdBrowse.left = l.cmbBaseURL.left + l.cmbBaseURL.width - l.cmdBrowse.width;
    l.txtDownloadTo.width = l.cmdBrowse.left - l.txtDownloadTo.left - 50;
    l.txtMask.width = l.cmbBaseURL.width;
    l.ProgressBar1.width = l.fraSettings.width - 20;
    l.SSTab1.width = l.fraSettings.width;
    l.SSTab1.height = height - l.SSTab1.top - StatusBarHeight - ToolBarHeight - 350;
    ArrangeTab(l, currentTab);
}

void ArrangeTab(MainLayout &l, int currentTab)
{
    switch (currentTab) {
    case FilesTab:
        l.lvFiles.width = l.SSTab1.width - 150;
        l.lvFiles.height = l.SSTab1.height - 400;
        break;
    case ThreadsTab:
        for (qsizetype i = 1; i < l.slotRows.size(); ++i) {
            PlaceBelow(l.slotRows[i].number, l.slotRows[i - 1].number);
            PlaceBelow(l.slotRows[i].status, l.slotRows[i - 1].status);
            PlaceBelow(l.slotRows[i].progress, l.slotRows[i - 1].progress);
            PlaceBelow(l.slotRows[i].url, l.slotRows[i - 1].url);
        }
        // The status ("Done: " and a file name) takes a share of the width, so a wide window
        // shows whole names; the bar keeps its size and the URL, after a gap, the rest.
        for (SlotRow &row : l.slotRows) {
            row.status.left = right(row.number) + CellGap;
            row.status.width = std::max(2040, l.SSTab1.width * 3 / 10);
            row.progress.left = right(row.status) + CellGap;
            row.url.left = right(row.progress) + 2 * CellGap;
            row.url.width = l.SSTab1.width - row.url.left - 75;
        }
        break;
    case BrowserTab:
        l.WebBrowser1.width = l.SSTab1.width - 150;
        l.WebBrowser1.height = l.SSTab1.height - 450;
        break;
    default:
        break;
    }
}

void PlaceBelow(Rect &ctl, const Rect &prev)
{
    ctl.left = prev.left;
    ctl.top = prev.top + prev.height + 50;
    ctl.visible = true;
}

} // namespace Layout
