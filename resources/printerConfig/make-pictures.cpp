// Draws the printer control window's and the calibration wizard's pictures.
// Build and run from resources/:
//   g++ -std=c++17 -fPIC printerConfig/make-pictures.cpp -o /tmp/make-pictures \
//       $(pkg-config --cflags --libs Qt5Gui) && QT_QPA_PLATFORM=offscreen /tmp/make-pictures
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {

const QColor Grey(120, 120, 120);
const QColor Green(166, 206, 57);
const QColor Dark(60, 60, 60);

QImage canvas(int pWidth, int pHeight)
{
    QImage tImage(pWidth, pHeight, QImage::Format_ARGB32);
    tImage.fill(Qt::transparent);
    return tImage;
}

void save(const QImage &pImage, const QString &pName)
{
    pImage.save(QStringLiteral("printerConfig/") + pName);
}

// An arrow pointing at pAngle degrees (0 right, 90 down) in a pWidth x pHeight box.
QImage arrow(int pWidth, int pHeight, qreal pAngle, const QColor &pColor)
{
    QImage tImage = canvas(pWidth, pHeight);
    QPainter tPainter(&tImage);
    tPainter.setRenderHint(QPainter::Antialiasing);
    tPainter.translate(pWidth / 2.0, pHeight / 2.0);
    tPainter.rotate(pAngle);
    const qreal tLength = qMin(pWidth, pHeight) * 0.42;
    QPainterPath tPath;
    tPath.moveTo(tLength, 0);
    tPath.lineTo(0, -tLength * 0.8);
    tPath.lineTo(0, -tLength * 0.35);
    tPath.lineTo(-tLength, -tLength * 0.35);
    tPath.lineTo(-tLength, tLength * 0.35);
    tPath.lineTo(0, tLength * 0.35);
    tPath.lineTo(0, tLength * 0.8);
    tPath.closeSubpath();
    tPainter.fillPath(tPath, pColor);
    tPainter.setPen(QPen(Dark, 1.5));
    tPainter.drawPath(tPath);
    return tImage;
}

void arrowPair(const QString &pName, int pWidth, int pHeight, qreal pAngle)
{
    save(arrow(pWidth, pHeight, pAngle, QColor(220, 220, 220)), pName + "_Inactive_V2.png");
    save(arrow(pWidth, pHeight, pAngle, Green), pName + "_Active_V2.png");
}

// A round badge with a symbol drawn by pDraw.
template <typename Draw> void badge(const QString &pName, const QColor &pFill, Draw pDraw)
{
    QImage tImage = canvas(64, 64);
    QPainter tPainter(&tImage);
    tPainter.setRenderHint(QPainter::Antialiasing);
    tPainter.setPen(QPen(Dark, 2));
    tPainter.setBrush(pFill);
    tPainter.drawEllipse(QRectF(6, 6, 52, 52));
    tPainter.setPen(QPen(Dark, 3, Qt::SolidLine, Qt::RoundCap));
    tPainter.setBrush(Qt::NoBrush);
    pDraw(tPainter);
    tPainter.end();
    save(tImage, pName);
}

void text(QPainter &pPainter, const QRectF &pRect, const QString &pText, int pSize)
{
    QFont tFont(QStringLiteral("Sans"), pSize);
    tFont.setBold(true);
    pPainter.setFont(tFont);
    pPainter.setPen(Dark);
    pPainter.drawText(pRect, Qt::AlignCenter, pText);
}

void printer()
{
    QImage tImage(520, 312, QImage::Format_ARGB32);
    tImage.fill(QColor(250, 250, 250));
    QPainter tPainter(&tImage);
    tPainter.setRenderHint(QPainter::Antialiasing);
    tPainter.setPen(QPen(Grey, 3));
    // Frame, gantry and bed seen from the front.
    tPainter.drawRoundedRect(QRectF(100, 20, 320, 280), 12, 12);
    tPainter.drawLine(QPointF(110, 50), QPointF(410, 50));
    tPainter.fillRect(QRectF(120, 250, 280, 14), QColor(200, 200, 200));
    tPainter.drawRect(QRectF(120, 250, 280, 14));
    tPainter.fillRect(QRectF(222, 38, 20, 40), QColor(210, 210, 210));
    tPainter.drawRect(QRectF(222, 38, 20, 40));
    // The Z column on the right.
    tPainter.drawLine(QPointF(412, 60), QPointF(412, 240));
    tPainter.end();
    save(tImage, QStringLiteral("Printer_noarrows.png"));
}

void extruder()
{
    QImage tImage(200, 312, QImage::Format_ARGB32);
    tImage.fill(QColor(250, 250, 250));
    QPainter tPainter(&tImage);
    tPainter.setRenderHint(QPainter::Antialiasing);
    tPainter.setPen(QPen(Grey, 3));
    tPainter.setBrush(QColor(215, 215, 215));
    tPainter.drawRoundedRect(QRectF(40, 110, 70, 90), 8, 8);
    QPolygonF tNozzle;
    tNozzle << QPointF(62, 200) << QPointF(88, 200) << QPointF(75, 225);
    tPainter.drawPolygon(tNozzle);
    tPainter.setPen(QPen(QColor(230, 120, 40), 4));
    tPainter.drawLine(QPointF(75, 20), QPointF(75, 110));
    tPainter.drawLine(QPointF(75, 225), QPointF(75, 290));
    tPainter.end();
    save(tImage, QStringLiteral("Extruder_noarrows.png"));
}

void example(int pIndex)
{
    // A close view of three printed lines: too high, right, too low.
    QImage tImage(1000, 660, QImage::Format_RGB32);
    tImage.fill(QColor(40, 40, 45));
    QPainter tPainter(&tImage);
    tPainter.setRenderHint(QPainter::Antialiasing);
    const QString tTitles[] = {QStringLiteral("Too high: round, loose, broken"),
        QStringLiteral("Just right: flat, even, a bit squished"),
        QStringLiteral("Too low: thin, see-through, scraped"),
        QStringLiteral("Compare neighbouring lines and pick the best one")};
    const qreal tWidths[] = {6, 18, 30};
    for (int i = 0; i < 3; ++i) {
        const qreal tX = 200 + i * 300;
        qreal tWidth = tWidths[i];
        QColor tColor(240, 140, 40);
        if (pIndex == 1 && i != 0) {
            tColor = tColor.darker(160);
        } else if (pIndex == 2 && i != 1) {
            tColor = tColor.darker(160);
        } else if (pIndex == 3 && i != 2) {
            tColor = tColor.darker(160);
        }
        QPainterPath tPath;
        for (int y = 60; y <= 560; y += 20) {
            const qreal tWobble = i == 0 ? 6 * qSin(y / 23.0) : 0;
            const QRectF tDot(tX - tWidth / 2 + tWobble, y, tWidth, 20);
            if (i == 0 && (y / 20) % 5 == 0) {
                continue;
            }
            tPath.addRoundedRect(tDot, tWidth / 2, 6);
        }
        tPainter.fillPath(tPath, i == 2 ? tColor.lighter(130) : tColor);
    }
    tPainter.setPen(Qt::white);
    QFont tFont(QStringLiteral("Sans"), 22);
    tFont.setBold(true);
    tPainter.setFont(tFont);
    tPainter.drawText(QRectF(0, 590, 1000, 60), Qt::AlignCenter, tTitles[pIndex - 1]);
    tPainter.end();
    tImage.save(QStringLiteral("zoffset/ZOffset_example%1.jpg").arg(pIndex), "JPG", 85);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication tApp(argc, argv);
    printer();
    extruder();
    arrowPair(QStringLiteral("X_Left_Arrow"), 64, 56, 180);
    arrowPair(QStringLiteral("X_Right_Arrow"), 64, 56, 0);
    arrowPair(QStringLiteral("Y_Back_Arrow"), 64, 56, -90);
    arrowPair(QStringLiteral("Y_Forward_Arrow"), 64, 56, 90);
    arrowPair(QStringLiteral("Z_Up_Arrow"), 56, 64, -90);
    arrowPair(QStringLiteral("Z_Down_Arrow"), 56, 64, 90);
    arrowPair(QStringLiteral("Filament_Retract_Arrow"), 56, 72, -90);
    arrowPair(QStringLiteral("Filament_Extrude_Arrow"), 56, 72, 90);

    const QColor tRest(235, 235, 235);
    auto tCentre = [](QPainter &pPainter) {
        pPainter.drawEllipse(QPointF(32, 32), 8, 8);
        pPainter.drawLine(QPointF(32, 14), QPointF(32, 22));
        pPainter.drawLine(QPointF(32, 42), QPointF(32, 50));
        pPainter.drawLine(QPointF(14, 32), QPointF(22, 32));
        pPainter.drawLine(QPointF(42, 32), QPointF(50, 32));
    };
    badge(QStringLiteral("Center_Button.png"), tRest, tCentre);
    badge(QStringLiteral("Center_Active.png"), Green, tCentre);
    auto tHome = [](QPainter &pPainter) {
        QPolygonF tRoof;
        tRoof << QPointF(18, 34) << QPointF(32, 20) << QPointF(46, 34);
        pPainter.drawPolyline(tRoof);
        pPainter.drawLine(QPointF(22, 32), QPointF(22, 46));
        pPainter.drawLine(QPointF(42, 32), QPointF(42, 46));
        pPainter.drawLine(QPointF(22, 46), QPointF(42, 46));
    };
    badge(QStringLiteral("HomeActive.png"), tRest, tHome);
    badge(QStringLiteral("HomeHover.png"), Green, tHome);
    auto tMotors = [](QPainter &pPainter) {
        pPainter.drawEllipse(QPointF(32, 32), 12, 12);
        pPainter.drawLine(QPointF(18, 18), QPointF(46, 46));
    };
    badge(QStringLiteral("DisableMotorsActive.png"), tRest, tMotors);
    badge(QStringLiteral("DisableMotorsHover.png"), Green, tMotors);
    auto tZOffset = [](QPainter &pPainter) {
        text(pPainter, QRectF(6, 10, 52, 30), QStringLiteral("Z"), 14);
        pPainter.drawLine(QPointF(20, 44), QPointF(44, 44));
        pPainter.drawLine(QPointF(32, 38), QPointF(32, 42));
    };
    badge(QStringLiteral("ZOffsetCalibrationActive.png"), tRest, tZOffset);
    badge(QStringLiteral("ZOffsetCalibrationHover.png"), Green, tZOffset);
    for (int i = 1; i <= 2; ++i) {
        auto tNumber = [i](QPainter &pPainter) {
            text(pPainter, QRectF(6, 6, 52, 52), QString::number(i), 20);
        };
        badge(QStringLiteral("Extruder%1Active.png").arg(i), tRest, tNumber);
        badge(QStringLiteral("Extruder%1Hover.png").arg(i), Green, tNumber);
    }
    for (int i = 1; i <= 4; ++i) {
        example(i);
    }
    return 0;
}
