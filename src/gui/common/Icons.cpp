#include "gui/common/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace parlix::icons {

namespace {

constexpr int kSize = 64; // drawn large, scaled down by Qt where smaller icons are needed

const QColor kInk(0x2b, 0x3a, 0x4a);
const QColor kBlue(0x2f, 0x6f, 0xb3);
const QColor kGreen(0x2e, 0x9d, 0x4f);
const QColor kRed(0xc6, 0x3b, 0x32);
const QColor kAmber(0xe3, 0x9b, 0x22);
const QColor kPaper(0xfb, 0xfb, 0xf7);

QIcon draw(const std::function<void(QPainter &)> &paint)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    p.end();
    return QIcon(pixmap);
}

QPen pen(const QColor &color, qreal width = 4)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void envelope(QPainter &p, const QRectF &r, const QColor &fill = kPaper)
{
    p.setPen(pen(kInk, 3.5));
    p.setBrush(fill);
    p.drawRoundedRect(r, 4, 4);
    QPainterPath flap;
    flap.moveTo(r.topLeft() + QPointF(2, 2));
    flap.lineTo(r.center().x(), r.top() + r.height() * 0.6);
    flap.lineTo(r.topRight() + QPointF(-2, 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(flap);
}

void arrow(QPainter &p, QPointF from, QPointF to, const QColor &color)
{
    p.setPen(pen(color, 6));
    p.drawLine(from, to);
    const QLineF line(to, from);
    QLineF wing1 = line;
    wing1.setLength(14);
    wing1.setAngle(line.angle() + 35);
    QLineF wing2 = line;
    wing2.setLength(14);
    wing2.setAngle(line.angle() - 35);
    p.drawLine(wing1);
    p.drawLine(wing2);
}

void plug(QPainter &p, const QColor &body, bool apart)
{
    const qreal gap = apart ? 10 : 0;
    p.setPen(pen(kInk, 3.5));
    p.setBrush(body);
    // Left half: the plug with its two pins.
    p.drawRoundedRect(QRectF(8 - gap / 2, 22, 20, 20), 4, 4);
    p.setPen(pen(kInk, 4));
    p.drawLine(QPointF(28 - gap / 2, 27), QPointF(34 - gap / 2, 27));
    p.drawLine(QPointF(28 - gap / 2, 37), QPointF(34 - gap / 2, 37));
    p.drawLine(QPointF(2, 32), QPointF(8 - gap / 2, 32));
    // Right half: the socket.
    p.setPen(pen(kInk, 3.5));
    p.drawRoundedRect(QRectF(34 + gap / 2, 20, 20, 24), 4, 4);
    p.drawLine(QPointF(54 + gap / 2, 32), QPointF(62, 32));
}

} // namespace

QIcon app()
{
    return draw([](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(4, 6, 56, 42), 12, 12);
        QPainterPath tail;
        tail.moveTo(16, 44);
        tail.lineTo(12, 60);
        tail.lineTo(30, 46);
        p.drawPath(bubble.united(tail));
        p.setPen(pen(Qt::white, 5));
        for (int i = 0; i < 3; ++i)
            p.drawPoint(QPointF(20 + i * 12, 27));
    });
}

QIcon connect()
{
    return draw([](QPainter &p) { plug(p, kRed, true); });
}

QIcon disconnect()
{
    return draw([](QPainter &p) { plug(p, kGreen, false); });
}

QIcon messageBox()
{
    return draw([](QPainter &p) { envelope(p, QRectF(6, 14, 52, 36)); });
}

QIcon reports()
{
    return draw([](QPainter &p) {
        p.setPen(pen(kInk, 3.5));
        p.setBrush(kPaper);
        p.drawRoundedRect(QRectF(12, 4, 40, 56), 4, 4);
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(19, 36, 7, 16));
        p.setBrush(kGreen);
        p.drawRect(QRectF(29, 24, 7, 28));
        p.setBrush(kAmber);
        p.drawRect(QRectF(39, 30, 7, 22));
        p.setPen(pen(kInk, 3));
        p.drawLine(QPointF(19, 14), QPointF(45, 14));
    });
}

QIcon exit()
{
    return draw([](QPainter &p) {
        p.setPen(pen(kRed, 6));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(10, 12, 44, 44), 120 * 16, 300 * 16);
        p.drawLine(QPointF(32, 6), QPointF(32, 32));
    });
}

QIcon compose()
{
    return draw([](QPainter &p) {
        p.setPen(pen(kInk, 3.5));
        p.setBrush(kPaper);
        p.drawRoundedRect(QRectF(6, 8, 40, 50), 4, 4);
        p.setPen(pen(kAmber, 8));
        p.drawLine(QPointF(26, 44), QPointF(54, 12));
        p.setPen(pen(kInk, 3));
        p.drawLine(QPointF(22, 50), QPointF(26, 44));
    });
}

QIcon sendAll()
{
    return draw([](QPainter &p) {
        envelope(p, QRectF(4, 22, 40, 30));
        arrow(p, QPointF(34, 16), QPointF(60, 16), kGreen);
    });
}

QIcon receiveAll()
{
    return draw([](QPainter &p) {
        envelope(p, QRectF(20, 22, 40, 30));
        arrow(p, QPointF(4, 14), QPointF(30, 14), kBlue);
    });
}

namespace {

// A curved arrow pointing left (reply) or, drawn mirrored, right (forward).
QIcon turningArrow(const QColor &color, bool mirrored)
{
    return draw([color, mirrored](QPainter &p) {
        if (mirrored) {
            p.translate(kSize, 0);
            p.scale(-1, 1);
        }
        p.setPen(pen(color, 7));
        p.setBrush(Qt::NoBrush);
        QPainterPath path;
        path.moveTo(14, 26);
        path.cubicTo(40, 26, 56, 32, 56, 52);
        p.drawPath(path);
        arrow(p, QPointF(26, 26), QPointF(8, 26), color);
    });
}

} // namespace

QIcon reply()
{
    return turningArrow(kBlue, false);
}

QIcon forward()
{
    return turningArrow(kGreen, true);
}

QIcon remove()
{
    return draw([](QPainter &p) {
        p.setPen(pen(kInk, 3.5));
        p.setBrush(kPaper);
        p.drawRoundedRect(QRectF(14, 16, 36, 42), 4, 4);
        p.drawLine(QPointF(8, 14), QPointF(56, 14));
        p.drawLine(QPointF(26, 8), QPointF(38, 8));
        p.setPen(pen(kRed, 5));
        p.drawLine(QPointF(24, 28), QPointF(40, 46));
        p.drawLine(QPointF(40, 28), QPointF(24, 46));
    });
}

QIcon autoReply()
{
    return draw([](QPainter &p) {
        envelope(p, QRectF(4, 10, 40, 30));
        p.setPen(pen(kGreen, 6));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(30, 30, 28, 28), 30 * 16, 270 * 16);
        arrow(p, QPointF(56, 36), QPointF(56, 37), kGreen);
    });
}

QIcon settings()
{
    return draw([](QPainter &p) {
        p.translate(32, 32);
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        for (int i = 0; i < 8; ++i) {
            p.drawRoundedRect(QRectF(-5, -28, 10, 14), 2, 2);
            p.rotate(45);
        }
        p.drawEllipse(QPointF(0, 0), 18, 18);
        p.setBrush(kPaper);
        p.drawEllipse(QPointF(0, 0), 7, 7);
    });
}

QIcon folderRoot()
{
    return messageBox();
}

QIcon folderInbox()
{
    return receiveAll();
}

QIcon folderOutbox()
{
    return draw([](QPainter &p) { envelope(p, QRectF(6, 14, 52, 36), QColor(0xfd, 0xf0, 0xd5)); });
}

QIcon folderSent()
{
    return sendAll();
}

} // namespace parlix::icons
