#include "Artwork.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <functional>

namespace Artwork {

namespace {

using Draw = std::function<void(QPainter&)>;

const QColor Outline(80, 80, 80);
const QColor PageFill(255, 255, 255);
const QColor FolderFill(242, 196, 76);
const QColor FolderDark(196, 146, 36);
const QColor Blue(38, 102, 196);
const QColor Green(40, 150, 60);
const QColor Red(204, 40, 40);

// Draws in a design box of designW x designH units onto a pixmap of the given
// pixel size, at the screen's device pixel ratio.
QPixmap render(int width, int height, qreal designW, qreal designH, const Draw& draw) {
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(qRound(width * ratio), qRound(height * ratio)));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(width / designW, height / designH);
    draw(p);
    return pixmap;
}

void page(QPainter& p, const QRectF& r) {
    const qreal fold = r.width() * 0.3;
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(Outline, 1.0));
    p.setBrush(PageFill);
    p.drawPath(path);
    QPainterPath ear;
    ear.moveTo(r.right() - fold, r.top());
    ear.lineTo(r.right() - fold, r.top() + fold);
    ear.lineTo(r.right(), r.top() + fold);
    p.setBrush(QColor(220, 220, 220));
    p.drawPath(ear);
}

void folder(QPainter& p, const QRectF& r, bool open) {
    const qreal tabW = r.width() * 0.4;
    const qreal tabH = r.height() * 0.18;
    QPainterPath back;
    back.moveTo(r.left(), r.top() + tabH);
    back.lineTo(r.left() + tabW * 0.15, r.top());
    back.lineTo(r.left() + tabW, r.top());
    back.lineTo(r.left() + tabW * 1.15, r.top() + tabH);
    back.lineTo(r.right(), r.top() + tabH);
    back.lineTo(r.right(), r.bottom());
    back.lineTo(r.left(), r.bottom());
    back.closeSubpath();
    p.setPen(QPen(FolderDark, 1.0));
    p.setBrush(open ? FolderDark : FolderFill);
    p.drawPath(back);
    if (open) {
        QPainterPath front;
        const qreal lift = r.height() * 0.38;
        front.moveTo(r.left() + r.width() * 0.18, r.top() + lift);
        front.lineTo(r.right() + r.width() * 0.06, r.top() + lift);
        front.lineTo(r.right() - r.width() * 0.12, r.bottom());
        front.lineTo(r.left(), r.bottom());
        front.closeSubpath();
        p.setBrush(FolderFill);
        p.drawPath(front);
    } else {
        p.setPen(QPen(QColor(255, 226, 140), 1.0));
        p.drawLine(QPointF(r.left() + 1, r.top() + tabH + 1.5),
                   QPointF(r.right() - 1, r.top() + tabH + 1.5));
    }
}

void globe(QPainter& p, const QPointF& c, qreal radius) {
    p.setPen(QPen(QColor(20, 70, 150), 1.0));
    p.setBrush(QColor(90, 160, 230));
    p.drawEllipse(c, radius, radius);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(230, 245, 255), 0.9));
    p.drawEllipse(c, radius * 0.45, radius);
    p.drawLine(QPointF(c.x() - radius, c.y()), QPointF(c.x() + radius, c.y()));
    p.drawLine(QPointF(c.x(), c.y() - radius), QPointF(c.x(), c.y() + radius));
}

void arrow(QPainter& p, const QPointF& from, const QPointF& to, const QColor& colour, qreal width) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::FlatCap));
    const QPointF d = to - from;
    const qreal len = std::hypot(d.x(), d.y());
    const QPointF u = d / len;
    const QPointF n(-u.y(), u.x());
    const qreal head = width * 2.0;
    p.drawLine(from, to - u * head);
    QPolygonF tip;
    tip << to << to - u * head * 1.3 + n * head << to - u * head * 1.3 - n * head;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(tip);
}

void tray(QPainter& p) {
    p.setPen(QPen(Outline, 1.2));
    p.setBrush(QColor(200, 205, 215));
    QPolygonF t;
    t << QPointF(2, 12) << QPointF(6, 12) << QPointF(7.5, 14.5) << QPointF(14.5, 14.5)
      << QPointF(16, 12) << QPointF(20, 12) << QPointF(20, 18.5) << QPointF(2, 18.5);
    p.drawPolygon(t);
}

// A small window with content that stands for one of the list's view modes.
void viewPicture(QPainter& p, int mode) {
    p.setPen(QPen(Outline, 1.0));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 2.5, 17, 15));
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    switch (mode) {
    case 0: // large icons
        p.drawRect(QRectF(5, 5, 5, 4));
        p.drawRect(QRectF(12, 5, 5, 4));
        p.drawRect(QRectF(5, 11.5, 5, 4));
        p.drawRect(QRectF(12, 11.5, 5, 4));
        break;
    case 1: // small icons
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 2; ++col) {
                p.setBrush(Blue);
                p.drawRect(QRectF(4.5 + col * 7.5, 5 + row * 4, 2.5, 2.5));
                p.setBrush(QColor(120, 120, 120));
                p.drawRect(QRectF(7.8 + col * 7.5, 5.8 + row * 4, 3.2, 1));
            }
        }
        break;
    case 2: // list
        for (int row = 0; row < 4; ++row) {
            p.setBrush(Blue);
            p.drawRect(QRectF(4.5, 4.6 + row * 3.2, 2.2, 2.2));
            p.setBrush(QColor(120, 120, 120));
            p.drawRect(QRectF(8, 5.2 + row * 3.2, 9, 1));
        }
        break;
    default: // details
        p.setBrush(QColor(190, 200, 215));
        p.drawRect(QRectF(3, 3, 16, 2.8));
        for (int row = 0; row < 4; ++row) {
            p.setBrush(Blue);
            p.drawRect(QRectF(4.2, 7 + row * 2.7, 2, 1.8));
            p.setBrush(QColor(120, 120, 120));
            p.drawRect(QRectF(7.5, 7.5 + row * 2.7, 4.5, 0.9));
            p.drawRect(QRectF(13.5, 7.5 + row * 2.7, 4, 0.9));
        }
        break;
    }
}

void drawToolbarImage(QPainter& p, int number) {
    switch (number) {
    case 1: { // a cable plug
        p.setPen(QPen(QColor(60, 60, 60), 2.0, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        QPainterPath cable;
        cable.moveTo(2, 18);
        cable.cubicTo(4, 12, 9, 16, 9.5, 12.5);
        p.drawPath(cable);
        p.setPen(QPen(QColor(40, 40, 40), 1.0));
        p.setBrush(QColor(70, 70, 78));
        p.save();
        p.translate(13, 8.5);
        p.rotate(-45);
        p.drawRoundedRect(QRectF(-3.5, -3, 7, 6.5), 1.2, 1.2);
        p.setPen(QPen(QColor(200, 170, 60), 1.6, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(-1.6, -3), QPointF(-1.6, -7));
        p.drawLine(QPointF(1.6, -3), QPointF(1.6, -7));
        p.restore();
        break;
    }
    case 2: // a folder with an up arrow
        folder(p, QRectF(1.5, 4.5, 15, 12), false);
        arrow(p, QPointF(16.5, 18), QPointF(16.5, 4), Green, 2.0);
        break;
    case 3: // a grey circle with a cross
        p.setPen(QPen(QColor(90, 90, 90), 1.0));
        p.setBrush(QColor(150, 150, 155));
        p.drawEllipse(QPointF(11, 10), 8, 8);
        p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 7), QPointF(14, 13));
        p.drawLine(QPointF(14, 7), QPointF(8, 13));
        break;
    case 4: { // a page with circling arrows
        page(p, QRectF(3.5, 1.5, 12, 16));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Green, 1.8));
        const QRectF ring(9, 7, 10, 10);
        p.drawArc(ring, 30 * 16, 140 * 16);
        p.drawArc(ring, 210 * 16, 140 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(Green);
        QPolygonF a;
        a << QPointF(17.5, 6.5) << QPointF(19.5, 10.5) << QPointF(15.2, 10);
        p.drawPolygon(a);
        QPolygonF b;
        b << QPointF(10.5, 17.5) << QPointF(8.5, 13.5) << QPointF(12.8, 14);
        p.drawPolygon(b);
        break;
    }
    case 5: // an arrow down into a tray
        tray(p);
        arrow(p, QPointF(11, 1), QPointF(11, 14), Blue, 2.6);
        break;
    case 6: // an arrow up out of a tray
        tray(p);
        arrow(p, QPointF(11, 14), QPointF(11, 1), Green, 2.6);
        break;
    case 7: { // a folder with a spark
        folder(p, QRectF(1.5, 6.5, 15, 12), false);
        p.setPen(QPen(QColor(230, 150, 0), 0.8));
        p.setBrush(QColor(255, 220, 40));
        QPolygonF star;
        const QPointF c(16.5, 5.5);
        for (int i = 0; i < 8; ++i) {
            const qreal angle = i * M_PI / 4;
            const qreal radius = (i % 2 == 0) ? 5.0 : 1.8;
            star << c + QPointF(std::sin(angle) * radius, -std::cos(angle) * radius);
        }
        p.drawPolygon(star);
        break;
    }
    case 8: // a cross
        p.setPen(QPen(Red, 3.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 4), QPointF(17, 16));
        p.drawLine(QPointF(17, 4), QPointF(5, 16));
        break;
    case 9: { // a pen
        p.save();
        p.translate(11, 10);
        p.rotate(45);
        p.setPen(QPen(QColor(40, 40, 40), 0.9));
        p.setBrush(QColor(60, 110, 200));
        p.drawRect(QRectF(-2, -9, 4, 12));
        p.setBrush(QColor(240, 210, 160));
        QPolygonF tip;
        tip << QPointF(-2, 3) << QPointF(2, 3) << QPointF(0, 8);
        p.drawPolygon(tip);
        p.setBrush(QColor(40, 40, 40));
        QPolygonF lead;
        lead << QPointF(-0.7, 6.2) << QPointF(0.7, 6.2) << QPointF(0, 8);
        p.drawPolygon(lead);
        p.restore();
        break;
    }
    default:
        viewPicture(p, number - 10);
        break;
    }
}

void drawListImage(QPainter& p, int number) {
    // Design box 32 x 32.
    if (number == 3) {
        folder(p, QRectF(2.5, 5.5, 27, 22), false);
        return;
    }
    page(p, QRectF(6.5, 2.5, 19, 27));
    if (number == 1) {
        p.setPen(QPen(QColor(110, 110, 120), 1.4));
        for (int i = 0; i < 6; ++i) {
            const qreal right = (i % 3 == 2) ? 17.0 : 21.5;
            p.drawLine(QPointF(10, 11 + i * 3), QPointF(right, 11 + i * 3));
        }
        return;
    }
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(7);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(30, 80, 160));
    const char* rows[] = {"101", "010", "110", "011"};
    for (int i = 0; i < 4; ++i)
        p.drawText(QRectF(8, 8.5 + i * 5, 15, 6), Qt::AlignCenter, QString::fromLatin1(rows[i]));
}

void drawProgramImage(QPainter& p) {
    // Design box 32 x 32: a globe behind a folder with the two transfer arrows.
    globe(p, QPointF(20, 11), 9.5);
    folder(p, QRectF(2.5, 13.5, 20, 16), false);
    arrow(p, QPointF(27, 30), QPointF(27, 18.5), Green, 2.4);
    arrow(p, QPointF(8, 17), QPointF(8, 28.5), Blue, 2.4);
}

} // namespace

QPixmap programPixmap(int size) {
    return render(size, size, 32, 32, drawProgramImage);
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(programPixmap(size));
    return icon;
}

QPixmap listPixmap(int number, int size) {
    return render(size, size, 32, 32, [number](QPainter& p) { drawListImage(p, number); });
}

QIcon listIcon(int number) {
    QIcon icon;
    icon.addPixmap(listPixmap(number, 16));
    icon.addPixmap(listPixmap(number, 32));
    return icon;
}

QIcon treeIcon(int number) {
    QIcon icon;
    for (int size : {16, 32}) {
        icon.addPixmap(render(size, size, 16, 16, [number](QPainter& p) {
            if (number == 1) {
                folder(p, QRectF(0.5, 2.5, 12, 10), false);
                globe(p, QPointF(11.5, 11), 4.2);
                p.setPen(QPen(QColor(60, 60, 60), 1.0));
                p.drawLine(QPointF(1, 15.5), QPointF(15, 15.5));
            } else {
                folder(p, QRectF(1.5, 2.5, 13, 11), number == 3);
            }
        }));
    }
    return icon;
}

QPixmap toolbarPixmap(int number, bool hot) {
    QPixmap pixmap = render(22, 20, 22, 20, [number](QPainter& p) { drawToolbarImage(p, number); });
    if (hot) {
        // Brighter colours while the pointer rests on the button.
        QPainter p(&pixmap);
        p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        p.fillRect(QRectF(0, 0, 22, 20), QColor(255, 255, 255, 50));
    }
    return pixmap;
}

QIcon toolbarIcon(int number) {
    QIcon icon;
    icon.addPixmap(toolbarPixmap(number, false), QIcon::Normal);
    icon.addPixmap(toolbarPixmap(number, true), QIcon::Active);
    return icon;
}

QPixmap padlockPixmap(int size) {
    // A 16 x 16 design: a shackle over a body with a keyhole.
    return render(size, size, 16, 16, [](QPainter& p) {
        p.setPen(QPen(Outline, 1.6));
        p.setBrush(Qt::NoBrush);
        QPainterPath shackle;
        shackle.moveTo(4.5, 8);
        shackle.lineTo(4.5, 5);
        shackle.arcTo(QRectF(4.5, 1.5, 7, 7), 180, -180);
        shackle.lineTo(11.5, 8);
        p.drawPath(shackle);
        p.setPen(QPen(FolderDark, 1.0));
        p.setBrush(FolderFill);
        p.drawRoundedRect(QRectF(2.5, 7.5, 11, 7.5), 1.2, 1.2);
        p.setPen(Qt::NoPen);
        p.setBrush(Outline);
        p.drawEllipse(QPointF(8, 10.5), 1.3, 1.3);
        p.drawRect(QRectF(7.4, 10.5, 1.2, 2.8));
    });
}

} // namespace Artwork
