#pragma once

#include <QList>

// The main window's layout rules, in twips and free of widgets: where every control sits
// at start, how the window re-arranges itself on resize, and how the current tab's
// contents are sized. The window applies the results to its widgets.
namespace Layout {

struct Rect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool visible = true;

    bool operator==(const Rect &) const = default;
};

inline constexpr int MinWidth = 7000;
inline constexpr int MinHeight = 6000;
inline constexpr int ToolBarHeight = 360;
inline constexpr int StatusBarHeight = 315;

enum Tab
{
    FilesTab = 0,
    ThreadsTab = 1,
    BrowserTab = 2
};

struct SlotRow
{
    Rect number;
    Rect status;
    Rect progress;
    Rect url;
};

// Positions are relative to the window's client area (the toolbar's band included) for
// the top-level controls, and to the tab area for the contents of the tabs.
struct MainLayout
{
    Rect fraSettings, lblURL, cmbBaseURL, lblMask, txtMask, lblDownloadTo, txtDownloadTo, cmdBrowse,
        ProgressBar1, SSTab1, lvFiles, WebBrowser1;
    QList<SlotRow> slotRows; // row 0 from the design, the others invisible until arranged
};

// The starting geometry with n slot rows (1 to 16).
MainLayout startingLayout(int slotCount);

// The outer size after the minimum is enforced.
int clampWidth(int outerWidth);
int clampHeight(int outerHeight);

// The window layout for an outer size: sizes the fields, the progress bar and the tab
// area, then arranges the current tab.
void resizeWindow(MainLayout &layout, int outerWidth, int outerHeight, int currentTab);

// Sizes the contents of the current tab only.
void ArrangeTab(MainLayout &layout, int currentTab);

// ctl directly under prev, at the same left edge, made visible.
void PlaceBelow(Rect &ctl, const Rect &prev);

} // namespace Layout
