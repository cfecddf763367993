#include <QTest>
#include <algorithm>

#include "gui/ui/layoutrules.h"

using Layout::MainLayout;
using Layout::Rect;

namespace {

int right(const Rect &r)
{
    return r.left + r.width;
}

// What a tab holds, relative to the tab area: four cells per slot row on the Threads tab.
QList<Rect> contents(const MainLayout &l, int tab)
{
    if (tab != Layout::ThreadsTab)
        return {tab == Layout::FilesTab ? l.lvFiles : l.WebBrowser1};
    QList<Rect> rects;
    for (const Layout::SlotRow &row : l.slotRows)
        rects << row.number << row.status << row.progress << row.url;
    return rects;
}

QList<Rect> allRects(const MainLayout &l)
{
    return QList<Rect>{l.fraSettings,   l.lblURL,        l.cmbBaseURL, l.lblMask,      l.txtMask,
                       l.lblDownloadTo, l.txtDownloadTo, l.cmdBrowse,  l.ProgressBar1, l.SSTab1} +
           contents(l, Layout::FilesTab) + contents(l, Layout::ThreadsTab) +
           contents(l, Layout::BrowserTab);
}

MainLayout resized(int rows, int width, int height, int tab)
{
    MainLayout l = Layout::startingLayout(rows);
    Layout::resizeWindow(l, width, height, tab);
    return l;
}

} // namespace

class TestLayoutRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Whatever the size and the current tab, the controls stay inside the window and clear
    // of each other, follow its size, and come back exactly after a minimize and restore.
    void resizeKeepsTheLayoutWhole_data()
    {
        QTest::addColumn<int>("rows"); // asked for; 1 to 16 are made
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("tab");
        QTest::newRow("default, files") << 4 << 9200 << 8550 << int(Layout::FilesTab);
        QTest::newRow("default, threads") << 16 << 9200 << 8550 << int(Layout::ThreadsTab);
        QTest::newRow("below minimum, threads") << 17 << 4000 << 2000 << int(Layout::ThreadsTab);
        QTest::newRow("low only, browser") << 0 << 9200 << 3000 << int(Layout::BrowserTab);
    }
    void resizeKeepsTheLayoutWhole()
    {
        QFETCH(int, rows);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, tab);
        const MainLayout l = resized(rows, width, height, tab);
        const int w = std::max(width, Layout::MinWidth), h = std::max(height, Layout::MinHeight);
        QCOMPARE(l.slotRows.size(), std::clamp(rows, 1, 16));
        QCOMPARE(allRects(l), allRects(resized(rows, w, h, tab))); // below the minimum, the minimum

        QVERIFY(right(l.fraSettings) <= w && l.SSTab1.width == l.fraSettings.width);
        QVERIFY(right(l.cmbBaseURL) < right(l.fraSettings));
        QCOMPARE(QList({right(l.txtMask), right(l.cmdBrowse)}), QList<int>(2, right(l.cmbBaseURL)));
        QVERIFY(right(l.txtDownloadTo) < l.cmdBrowse.left);
        QVERIFY(l.SSTab1.top + l.SSTab1.height + Layout::StatusBarHeight + Layout::ToolBarHeight <=
                h);
        const QList<Rect> shown = contents(l, tab);
        for (const Rect &r : shown)
            QVERIFY(r.visible && r.left > 0 && right(r) < l.SSTab1.width);
        // Slot rows stack evenly, cell under cell, none overlapping the one above.
        for (qsizetype i = 4; tab == Layout::ThreadsTab && i < shown.size(); ++i) {
            const Rect &cell = shown[i], &above = shown[i - 4];
            QCOMPARE(QList({cell.left, cell.height, cell.top - above.top}),
                     QList({above.left, above.height, shown[4].top - shown[0].top}));
            QVERIFY(cell.top > above.top + above.height);
        }
        // A slot row's cells stand apart, the status growing with the tab.
        for (qsizetype i = 1; tab == Layout::ThreadsTab && i < shown.size(); ++i)
            QVERIFY(i % 4 == 0 || shown[i].left > right(shown[i - 1]));
        if (tab == Layout::ThreadsTab)
            QVERIFY(resized(rows, 2 * w, h, tab).slotRows[0].status.width > shown[1].width);

        // One twip more of window is one more of the fields, the tab area and its contents.
        const MainLayout more = resized(rows, w + 1, h + 1, tab);
        for (auto field :
             {&MainLayout::cmbBaseURL, &MainLayout::txtMask, &MainLayout::txtDownloadTo})
            QCOMPARE((more.*field).width, (l.*field).width + 1);
        QCOMPARE(right(contents(more, tab).last()), right(shown.last()) + 1);
        QCOMPARE(more.SSTab1.height, l.SSTab1.height + 1);

        // Only the current tab is arranged; a tab brought to the front is arranged then.
        const int other = (tab + 1) % 3;
        MainLayout switched = l;
        Layout::ArrangeTab(switched, other);
        QCOMPARE(contents(switched, other), contents(resized(rows, w, h, other), other));

        // Resizing to nothing and back (a minimize and restore) changes nothing.
        MainLayout again = l;
        Layout::resizeWindow(again, 0, 0, tab);
        Layout::resizeWindow(again, width, height, tab);
        QCOMPARE(allRects(again), allRects(l));
    }
};

QTEST_GUILESS_MAIN(TestLayoutRules)
#include "test_layoutrules.moc"
