#include <QTest>

#include "gui/ui/layoutrules.h"

using Layout::MainLayout;
using Layout::Rect;

namespace Layout {
// Readable failure messages for rectangles.
char *toString(const Rect &r)
{
    return QTest::toString(QStringLiteral("{%1, %2, %3, %4%5}")
                               .arg(r.left)
                               .arg(r.top)
                               .arg(r.width)
                               .arg(r.height)
                               .arg(r.visible ? QString() : QStringLiteral(", hidden")));
}
} // namespace Layout

Q_DECLARE_METATYPE(Layout::Rect)

namespace {

Rect hidden(Rect r)
{
    r.visible = false;
    return r;
}

// Every rectangle of a layout, so two layouts compare field by field.
QList<Rect> allRects(const MainLayout &l)
{
    QList<Rect> rects{l.fraSettings,  l.lblURL,        l.cmbBaseURL,    l.lblMask,
                      l.txtMask,      l.lblDownloadTo, l.txtDownloadTo, l.cmdBrowse,
                      l.ProgressBar1, l.SSTab1,        l.lvFiles,       l.WebBrowser1};
    for (const Layout::SlotRow &row : l.slotRows)
        rects << row.number << row.status << row.progress << row.url;
    return rects;
}

} // namespace

class TestLayoutRules : public QObject
{
    Q_OBJECT

private slots:
    void startingSlotCount_data();
    void startingSlotCount();

    void resizeWindow_data();
    void resizeWindow();
    void browserTabArrangedWhenCurrent();
    void minimumSize_data();
    void minimumSize();

    void threadsTabStacksRows();
    void rowsStayHiddenOnFilesTab();

    void placeBelow_data();
    void placeBelow();

    void resizeIsRepeatable_data();
    void resizeIsRepeatable();
};

void TestLayoutRules::startingSlotCount_data()
{
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("rows");

    QTest::newRow("1") << 1 << 1;
    QTest::newRow("16") << 16 << 16;
    QTest::newRow("0 clamps to 1") << 0 << 1;
    QTest::newRow("17 clamps to 16") << 17 << 16;
}

void TestLayoutRules::startingSlotCount()
{
    QFETCH(int, requested);
    QFETCH(int, rows);
    const MainLayout l = Layout::startingLayout(requested);
    QCOMPARE(l.slotRows.size(), rows);
    // Only the first row shows until the Threads tab arranges the others.
    for (qsizetype i = 0; i < l.slotRows.size(); ++i) {
        const Layout::SlotRow &row = l.slotRows.at(i);
        for (const Rect &r : {row.number, row.status, row.progress, row.url})
            QCOMPARE(r.visible, i == 0);
    }
}

void TestLayoutRules::resizeWindow_data()
{
    QTest::addColumn<Rect>("actual");
    QTest::addColumn<Rect>("expected");

    const MainLayout start = Layout::startingLayout(4);
    MainLayout l = start;
    Layout::resizeWindow(l, 9200, 8550, Layout::FilesTab);

    QTest::newRow("fraSettings") << l.fraSettings << Rect{0, 375, 9100, 1440};
    QTest::newRow("cmbBaseURL") << l.cmbBaseURL << Rect{1575, 300, 7425, 315};
    QTest::newRow("txtMask") << l.txtMask << Rect{1575, 675, 7425, 315};
    // The browse button's right edge lines up with the address box's.
    QTest::newRow("cmdBrowse") << l.cmdBrowse << Rect{8685, 1050, 315, 315};
    QTest::newRow("txtDownloadTo") << l.txtDownloadTo << Rect{1575, 1050, 7060, 315};
    QTest::newRow("ProgressBar1") << l.ProgressBar1 << Rect{0, 1875, 9080, 285};
    QTest::newRow("SSTab1") << l.SSTab1 << Rect{0, 2175, 9100, 8550 - 2175 - 315 - 360 - 350};
    QTest::newRow("lvFiles") << l.lvFiles << Rect{75, 75, 8950, 4950};
    // Only the current tab is arranged.
    QTest::newRow("WebBrowser1 untouched") << l.WebBrowser1 << start.WebBrowser1;
    QTest::newRow("lblURL untouched") << l.lblURL << start.lblURL;
    QTest::newRow("lblMask untouched") << l.lblMask << start.lblMask;
    QTest::newRow("lblDownloadTo untouched") << l.lblDownloadTo << start.lblDownloadTo;
}

void TestLayoutRules::resizeWindow()
{
    QFETCH(Rect, actual);
    QFETCH(Rect, expected);
    QCOMPARE(actual, expected);
}

void TestLayoutRules::browserTabArrangedWhenCurrent()
{
    MainLayout l = Layout::startingLayout(4);
    Layout::resizeWindow(l, 9200, 8550, Layout::FilesTab);
    const Rect files = l.lvFiles;

    Layout::ArrangeTab(l, Layout::BrowserTab);
    QCOMPARE(l.WebBrowser1, (Rect{75, 75, 8950, 4900}));
    QCOMPARE(l.lvFiles, files);
}

void TestLayoutRules::minimumSize_data()
{
    QTest::addColumn<int>("outerWidth");
    QTest::addColumn<int>("outerHeight");
    QTest::addColumn<int>("frameWidth");
    QTest::addColumn<int>("tabHeight");

    const int minTab = 6000 - 2175 - 315 - 360 - 350;
    QTest::newRow("below both") << 5000 << 3000 << 6900 << minTab;
    QTest::newRow("at both") << 7000 << 6000 << 6900 << minTab;
    QTest::newRow("just above") << 7001 << 6001 << 6901 << minTab + 1;
    QTest::newRow("narrow only") << 5000 << 8550 << 6900 << 5350;
    QTest::newRow("low only") << 9200 << 3000 << 9100 << minTab;
}

void TestLayoutRules::minimumSize()
{
    QFETCH(int, outerWidth);
    QFETCH(int, outerHeight);
    QFETCH(int, frameWidth);
    QFETCH(int, tabHeight);

    MainLayout l = Layout::startingLayout(4);
    Layout::resizeWindow(l, outerWidth, outerHeight, Layout::FilesTab);
    QCOMPARE(l.fraSettings.width, frameWidth);
    QCOMPARE(l.SSTab1.width, frameWidth);
    QCOMPARE(l.SSTab1.height, tabHeight);
    QCOMPARE(l.lvFiles.height, tabHeight - 400);
}

void TestLayoutRules::threadsTabStacksRows()
{
    MainLayout l = Layout::startingLayout(16);
    const Layout::SlotRow first = l.slotRows.first();
    Layout::resizeWindow(l, 9200, 8550, Layout::ThreadsTab);

    // Each row sits 50 twips under the one above; the address cells reach the tab's edge.
    const auto below = [](Rect r, int i) {
        r.top += (r.height + 50) * i;
        return r;
    };
    for (int i = 0; i < 16; ++i) {
        const Layout::SlotRow &row = l.slotRows.at(i);
        QCOMPARE(row.number, below(first.number, i));
        QCOMPARE(row.status, below(first.status, i));
        QCOMPARE(row.progress, below(first.progress, i));
        Rect url = below(first.url, i);
        url.width = 9100 - url.left - 75;
        QCOMPARE(row.url, url);
    }
}

void TestLayoutRules::rowsStayHiddenOnFilesTab()
{
    const MainLayout start = Layout::startingLayout(4);
    MainLayout l = start;
    Layout::resizeWindow(l, 9200, 8550, Layout::FilesTab);
    Layout::ArrangeTab(l, Layout::BrowserTab);

    for (qsizetype i = 0; i < l.slotRows.size(); ++i) {
        QCOMPARE(l.slotRows.at(i).number, start.slotRows.at(i).number);
        QCOMPARE(l.slotRows.at(i).url, start.slotRows.at(i).url);
    }
    QVERIFY(!l.slotRows.last().status.visible);
}

void TestLayoutRules::placeBelow_data()
{
    QTest::addColumn<Rect>("ctl");
    QTest::addColumn<Rect>("prev");
    QTest::addColumn<Rect>("expected");

    QTest::newRow("hidden row under design row")
        << hidden(Rect{75, 150, 315, 285}) << Rect{75, 150, 315, 285} << Rect{75, 485, 315, 285};
    // Only the position follows prev; the control keeps its own size.
    QTest::newRow("different sizes")
        << hidden(Rect{900, 900, 40, 10}) << Rect{100, 200, 500, 300} << Rect{100, 550, 40, 10};
    QTest::newRow("visible stays visible")
        << Rect{0, 0, 10, 10} << Rect{-20, -100, 5, 30} << Rect{-20, -20, 10, 10};
    QTest::newRow("under hidden prev")
        << hidden(Rect{0, 0, 10, 10}) << hidden(Rect{5, 0, 10, 0}) << Rect{5, 50, 10, 10};
}

void TestLayoutRules::placeBelow()
{
    QFETCH(Rect, ctl);
    QFETCH(Rect, prev);
    QFETCH(Rect, expected);

    Layout::PlaceBelow(ctl, prev);
    QCOMPARE(ctl, expected);
}

void TestLayoutRules::resizeIsRepeatable_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("tab");

    QTest::newRow("default, files") << 9200 << 8550 << int(Layout::FilesTab);
    QTest::newRow("default, threads") << 9200 << 8550 << int(Layout::ThreadsTab);
    QTest::newRow("large, browser") << 15000 << 11000 << int(Layout::BrowserTab);
    QTest::newRow("below minimum, threads") << 4000 << 2000 << int(Layout::ThreadsTab);
}

// A minimize and restore resizes the window to a tiny size and back; the layout must come
// back exactly, and resizing twice to the same size must change nothing.
void TestLayoutRules::resizeIsRepeatable()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, tab);

    MainLayout l = Layout::startingLayout(16);
    Layout::resizeWindow(l, width, height, tab);
    const QList<Rect> once = allRects(l);

    Layout::resizeWindow(l, width, height, tab);
    QCOMPARE(allRects(l), once);

    Layout::resizeWindow(l, 0, 0, tab);
    Layout::resizeWindow(l, width, height, tab);
    QCOMPARE(allRects(l), once);
}

QTEST_GUILESS_MAIN(TestLayoutRules)
#include "test_layoutrules.moc"
