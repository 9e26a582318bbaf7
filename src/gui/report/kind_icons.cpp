#include "report/kind_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include "report/message_kinds.h"

namespace {

constexpr int kSize = 16;
constexpr int kKinds = 7;

void DrawLetter(QPainter& painter, const QRectF& box, const QString& letter, const QColor& color)
{
    QFont font = painter.font();
    font.setFamily(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(box, Qt::AlignCenter, letter);
}

// A sheet of paper with a folded corner and an arrow: a file was copied or changed.
void DrawFileAction(QPainter& painter)
{
    QPainterPath sheet;
    sheet.moveTo(2.5, 1.5);
    sheet.lineTo(9.5, 1.5);
    sheet.lineTo(13.5, 5.5);
    sheet.lineTo(13.5, 14.5);
    sheet.lineTo(2.5, 14.5);
    sheet.closeSubpath();
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(Qt::white);
    painter.drawPath(sheet);
    painter.drawLine(QPointF(9.5, 1.5), QPointF(9.5, 5.5));
    painter.drawLine(QPointF(9.5, 5.5), QPointF(13.5, 5.5));
    painter.setPen(QPen(QColor(0, 120, 60), 2));
    painter.drawLine(QPointF(4.5, 10), QPointF(10.5, 10));
    painter.setBrush(QColor(0, 120, 60));
    painter.setPen(Qt::NoPen);
    painter.drawPolygon(QPolygonF({QPointF(9, 7), QPointF(12.5, 10), QPointF(9, 13)}));
}

void DrawWarning(QPainter& painter)
{
    painter.setPen(QPen(QColor(120, 80, 0), 1));
    painter.setBrush(QColor(255, 200, 0));
    painter.drawPolygon(QPolygonF({QPointF(8, 1), QPointF(15, 14.5), QPointF(1, 14.5)}));
    DrawLetter(painter, QRectF(0, 4, kSize, 11), QStringLiteral("!"), Qt::black);
}

void DrawError(QPainter& painter)
{
    painter.setPen(QPen(QColor(120, 0, 0), 1));
    painter.setBrush(QColor(220, 30, 30));
    painter.drawEllipse(QRectF(1, 1, 14, 14));
    painter.setPen(QPen(Qt::white, 2));
    painter.drawLine(QPointF(5, 5), QPointF(11, 11));
    painter.drawLine(QPointF(11, 5), QPointF(5, 11));
}

void DrawInformation(QPainter& painter)
{
    painter.setPen(QPen(QColor(0, 50, 140), 1));
    painter.setBrush(QColor(40, 110, 220));
    painter.drawEllipse(QRectF(1, 1, 14, 14));
    DrawLetter(painter, QRectF(0, 1, kSize, 14), QStringLiteral("i"), Qt::white);
}

// Three lines of text: the detail of what was done.
void DrawDetail(QPainter& painter)
{
    painter.setPen(QPen(QColor(90, 90, 90), 1));
    painter.setBrush(QColor(235, 240, 250));
    painter.drawRect(QRectF(1.5, 2.5, 13, 11));
    painter.setPen(QPen(QColor(60, 90, 150), 1));
    for (int y : {5, 8, 11})
        painter.drawLine(QPointF(4, y + 0.5), QPointF(12, y + 0.5));
}

// A grey gear: messages of the program's own workings.
void DrawDebug(QPainter& painter)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(110, 110, 110));
    painter.translate(8, 8);
    for (int tooth = 0; tooth < 8; ++tooth) {
        painter.drawRect(QRectF(-1.5, -7.5, 3, 4));
        painter.rotate(45);
    }
    painter.drawEllipse(QRectF(-5, -5, 10, 10));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(-2, -2, 4, 4));
    painter.resetTransform();
}

// A flask: what a dry run would have done.
void DrawTest(QPainter& painter)
{
    QPainterPath flask;
    flask.moveTo(6, 1.5);
    flask.lineTo(10, 1.5);
    flask.lineTo(10, 6);
    flask.lineTo(14.5, 14.5);
    flask.lineTo(1.5, 14.5);
    flask.lineTo(6, 6);
    flask.closeSubpath();
    painter.setPen(QPen(QColor(80, 40, 110), 1));
    painter.setBrush(Qt::white);
    painter.drawPath(flask);
    QPainterPath liquid;
    liquid.moveTo(4, 10);
    liquid.lineTo(12, 10);
    liquid.lineTo(14, 14);
    liquid.lineTo(2, 14);
    liquid.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(160, 80, 210));
    painter.drawPath(liquid);
}

} // namespace

QPixmap MessageKindPixmap(int kind)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (kind) {
    case MessageKind::kFile:
        DrawFileAction(painter);
        break;
    case MessageKind::kWarning:
        DrawWarning(painter);
        break;
    case MessageKind::kError:
        DrawError(painter);
        break;
    case MessageKind::kInfo:
        DrawInformation(painter);
        break;
    case MessageKind::kDetail:
        DrawDetail(painter);
        break;
    case MessageKind::kDebug:
        DrawDebug(painter);
        break;
    case MessageKind::kTest:
        DrawTest(painter);
        break;
    default:
        break;
    }
    return pixmap;
}

std::vector<QIcon> MessageKindIcons()
{
    std::vector<QIcon> icons;
    icons.reserve(kKinds);
    for (int kind = 0; kind < kKinds; ++kind)
        icons.emplace_back(MessageKindPixmap(kind));
    return icons;
}
