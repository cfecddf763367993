#pragma once

#include <QList>
#include <QRect>
#include <QSet>
#include <QTimer>
#include <QWidget>

#include "gui/ui/layoutrules.h"

class ElidedLabel;
class QLabel;
class QProgressBar;
class SlotBoard;

// The "Threads" tab: one row of number, status, progress bar and URL per transfer slot,
// showing the slot board. While a slot transfers, its bytes, speed and time left take the
// front of the URL's place. Updates are gathered and painted a few times a second, since a
// busy slot changes its progress many times a second.
class SlotRows final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SlotRows)

public:
    SlotRows(SlotBoard &board, QWidget *parent = nullptr);

    int rowCount() const { return int(lblThreadNo.size()); }

    // Applies the rows' rectangles (twips, relative to the tab area) given the page's offset
    // inside the tab area.
    void applyLayout(const QList<Layout::SlotRow> &rows, int offsetLeftTwips, int offsetTopTwips);

    QList<QLabel *> lblThreadNo;
    QList<ElidedLabel *>
        lblThreadStatus; // a long outcome ("Failed: ...") is cut, whole in its tooltip
    QList<QProgressBar *> prgThreadProgress;
    QList<QLabel *> lblThreadURL;
    QList<ElidedLabel *> lblThreadDetail;

Q_SIGNALS:
    // The rows were rebuilt to match the board.
    void rowsRebuilt();

private:
    void rebuild();
    void refreshRow(int index);
    void flushPending();
    // Splits the row's URL place between the detail text, when there is one, and the URL.
    void placeDetail(int index);
    bool anyDetail() const;

    SlotBoard &m_board;
    QSet<int> m_pending;
    QTimer m_flushTimer;
    QList<QRect> m_urlPlaces;    // the URL's place of each row as laid out, in pixels
    bool m_detailColumn = false; // some row shows a detail: all rows keep room for one
};
