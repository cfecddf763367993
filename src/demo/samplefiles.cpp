#include "demo/samplefiles.h"

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace SampleFiles {

namespace {

QByteArray encoded(const QImage &image, const char *format)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    // Quality means compression to PNG; only a JPEG gets a quality of its own.
    image.save(&buffer, format, qstrcmp(format, "jpg") == 0 ? 90 : -1);
    return buffer.data();
}

void drawBoat(QPainter &painter, QPointF waterline, qreal scale, const QColor &hull)
{
    QPolygonF body;
    body << waterline + QPointF(-40, -8) * scale << waterline + QPointF(40, -8) * scale
         << waterline + QPointF(28, 4) * scale << waterline + QPointF(-30, 4) * scale;
    painter.setBrush(hull);
    painter.drawPolygon(body);
    QPolygonF sail;
    sail << waterline + QPointF(-4, -12) * scale << waterline + QPointF(-4, -90) * scale
         << waterline + QPointF(34, -12) * scale;
    painter.setBrush(QColor(250, 248, 240));
    painter.drawPolygon(sail);
}

// Film grain: every channel of every pixel moves by up to grain either way.
void addGrain(QImage &image, QRandomGenerator &random, int grain)
{
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = int(random.bounded(2 * grain + 1)) - grain;
            const auto shift = [n](int c) {
                return std::clamp(c + n, 0, 255);
            };
            line[x] = qRgb(shift(qRed(line[x])), shift(qGreen(line[x])), shift(qBlue(line[x])));
        }
    }
}

qreal tideHeight(qreal hours, qreal phase)
{
    // Half-day tides with a fortnightly swing between springs and neaps.
    const qreal range = 1.6 + 0.6 * std::cos(2 * std::numbers::pi * hours / (14.77 * 24));
    return 2.4 + range * std::sin(2 * std::numbers::pi * hours / 12.42 + phase);
}

} // namespace

QByteArray photo(QSize size, quint32 seed, const QString &caption, int grain, const char *format)
{
    QRandomGenerator random(seed);
    const qreal w = size.width();
    const qreal h = size.height();
    const qreal horizon = h * (0.45 + 0.2 * random.generateDouble());
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    QLinearGradient sky(0, 0, 0, horizon);
    sky.setColorAt(0, QColor::fromHsv(195 + int(random.bounded(30)), 140, 220));
    sky.setColorAt(1, QColor::fromHsv(20 + int(random.bounded(25)), 70, 255));
    painter.fillRect(QRectF(0, 0, w, horizon), sky);
    painter.setBrush(QColor(255, 214, 120));
    const qreal sun = w * (0.03 + 0.03 * random.generateDouble());
    painter.drawEllipse(QPointF(w * (0.15 + 0.7 * random.generateDouble()), horizon * 0.55), sun,
                        sun);

    QPainterPath hills(QPointF(0, horizon));
    for (int i = 0; i <= 8; ++i)
        hills.lineTo(w * i / 8, horizon - h * 0.08 * random.generateDouble());
    hills.lineTo(w, horizon);
    painter.setBrush(QColor(70, 96, 80));
    painter.drawPath(hills);

    QLinearGradient sea(0, horizon, 0, h);
    sea.setColorAt(0, QColor(60, 110, 150));
    sea.setColorAt(1, QColor(20, 50, 80));
    painter.fillRect(QRectF(0, horizon, w, h - horizon), sea);
    const int boats = 2 + int(random.bounded(4));
    for (int i = 0; i < boats; ++i) {
        const qreal depth = random.generateDouble();
        const QPointF at(w * random.generateDouble(),
                         horizon + (h - horizon) * (0.1 + 0.7 * depth));
        drawBoat(painter, at, h / 600 * (0.4 + depth),
                 QColor::fromHsv(int(random.bounded(360)), 160, 160));
    }

    QFont font;
    font.setPixelSize(std::max(12, int(h / 22)));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(h / 40, h * 0.9, w, h / 12), caption);
    painter.end();

    if (grain > 0)
        addGrain(image, random, grain);
    return encoded(image, format);
}

QByteArray tideChart(QSize size, int days, quint32 seed)
{
    QRandomGenerator random(seed);
    const qreal phase = 2 * std::numbers::pi * random.generateDouble();
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plot(60, 50, size.width() - 80, size.height() - 100);

    painter.setPen(QColor(220, 220, 220));
    for (int day = 0; day <= days; ++day) {
        const qreal x = plot.left() + plot.width() * day / days;
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    painter.setPen(Qt::black);
    painter.drawRect(plot);
    painter.drawText(QRectF(plot.left(), 10, plot.width(), 30), Qt::AlignCenter,
                     QStringLiteral("Height of tide at the harbour mouth, metres"));
    for (int metres = 0; metres <= 5; ++metres) {
        const qreal y = plot.bottom() - plot.height() * metres / 5;
        painter.drawText(QRectF(10, y - 10, 40, 20), Qt::AlignRight, QString::number(metres));
    }
    for (int day = 1; day <= days; day += 5) {
        const qreal x = plot.left() + plot.width() * (day - 0.5) / days;
        painter.drawText(QRectF(x - 20, plot.bottom() + 8, 40, 20), Qt::AlignCenter,
                         QString::number(day));
    }

    QPainterPath curve;
    const int steps = days * 24 * 2;
    for (int i = 0; i <= steps; ++i) {
        const qreal hours = i / 2.0;
        const QPointF point(plot.left() + plot.width() * i / steps,
                            plot.bottom() - plot.height() * tideHeight(hours, phase) / 5);
        if (i == 0)
            curve.moveTo(point);
        else
            curve.lineTo(point);
    }
    painter.setPen(QPen(QColor(30, 90, 160), 2));
    painter.drawPath(curve);
    painter.end();
    return encoded(image, "png");
}

QByteArray pdf(const QString &title, const QStringList &lines)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Trawl Bay demo server"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(300);
        QPainter painter(&writer);
        const QRect page = writer.pageLayout().paintRectPixels(writer.resolution());
        QFont heading;
        heading.setPointSize(18);
        heading.setBold(true);
        painter.setFont(heading);
        int y = painter.fontMetrics().ascent();
        painter.drawText(0, y, title);
        y += painter.fontMetrics().height() * 2;
        QFont body;
        body.setPointSize(11);
        painter.setFont(body);
        const int step = painter.fontMetrics().lineSpacing();
        for (const QString &line : lines) {
            if (y + step > page.height()) {
                writer.newPage();
                y = painter.fontMetrics().ascent();
            }
            painter.drawText(0, y, line);
            y += step;
        }
    }
    // The writer stamps the time of writing. A fixed date of the same length keeps the file
    // the same at every start and the cross-reference offsets right.
    QByteArray bytes = buffer.data();
    const QByteArray stamp = "/CreationDate (D:";
    const qsizetype at = bytes.indexOf(stamp);
    if (at >= 0)
        bytes.replace(at + stamp.size(), 14, "20030614120000");
    return bytes;
}

QStringList notes(int lines, quint32 seed)
{
    static const char *const Openings[] = {"Check the",
                                           "Remember to stow the",
                                           "Replace the",
                                           "Log the state of the",
                                           "Ask the harbour master about the",
                                           "Tighten the",
                                           "Dry and fold the",
                                           "Inspect the"};
    static const char *const Things[] = {
        "mainsail",     "jib sheets", "fuel filter",  "bilge pump", "mooring lines",
        "life jackets", "VHF radio",  "anchor chain", "fenders",    "navigation lights"};
    static const char *const Endings[] = {"before every trip.",      "after the race.",
                                          "once a month.",           "when the tide is out.",
                                          "and note it in the log.", "before the winter lay-up."};
    QRandomGenerator random(seed);
    QStringList text;
    for (int i = 1; i <= lines; ++i)
        text.append(QStringLiteral("%1. %2 %3 %4")
                        .arg(i)
                        .arg(QLatin1String(Openings[random.bounded(int(std::size(Openings)))]),
                             QLatin1String(Things[random.bounded(int(std::size(Things)))]),
                             QLatin1String(Endings[random.bounded(int(std::size(Endings)))])));
    return text;
}

QByteArray tideTable(int days, quint32 seed)
{
    QRandomGenerator random(seed);
    const qreal phase = 2 * std::numbers::pi * random.generateDouble();
    QByteArray csv = "day,time,height_m,tide\r\n";
    // The curve peaks a quarter period after each rising zero, then turns every half period.
    const qreal period = 12.42;
    const qreal firstHigh = std::fmod(1.25 - phase / (2 * std::numbers::pi), 1.0) * period;
    bool high = true;
    for (qreal hours = firstHigh; hours < days * 24; hours += period / 2, high = !high) {
        const int minutes = int(hours * 60) % (24 * 60);
        csv += QStringLiteral("%1,%2:%3,%4,%5\r\n")
                   .arg(int(hours / 24) + 1)
                   .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                   .arg(minutes % 60, 2, 10, QLatin1Char('0'))
                   .arg(tideHeight(hours, phase), 0, 'f', 2)
                   .arg(high ? QStringLiteral("high") : QStringLiteral("low"))
                   .toLatin1();
    }
    return csv;
}

} // namespace SampleFiles
