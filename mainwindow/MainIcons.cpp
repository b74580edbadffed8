#include "mainwindow/MainIcons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include "components/controls/cImageList.h"

namespace {

enum class Shape { Glyph, Folder, Disk, Disc, Speaker, Play, Pause, Stop, Box, Checked, Record };

struct Picture {
    QColor colour;
    Shape shape = Shape::Glyph;
    QString glyph;
};

QString g(const char* utf8) { return QString::fromUtf8(utf8); }

const QColor kBlue(0x2b, 0x6c, 0xb0);
const QColor kGreen(0x2e, 0x8b, 0x57);
const QColor kRed(0xb8, 0x32, 0x2e);
const QColor kGrey(0x55, 0x5f, 0x6b);
const QColor kOrange(0xd0, 0x7a, 0x1c);
const QColor kPurple(0x6a, 0x4c, 0x9c);
const QColor kTeal(0x1f, 0x7a, 0x8c);
const QColor kYellow(0xe0, 0xb0, 0x30);

// Positions of the menu list and what they show.
const QHash<int, Picture>& menuPictures()
{
    static const QHash<int, Picture> p = {
        {0, {kBlue, Shape::Glyph, g("\u2191")}},   // move up
        {1, {kBlue, Shape::Glyph, g("\u2193")}},   // move down
        {2, {kGreen, Shape::Glyph, g("+")}},       // add files
        {3, {kRed, Shape::Glyph, g("\u2715")}},    // remove item
        {4, {kYellow, Shape::Folder, {}}},         // folder
        {5, {kBlue, Shape::Disk, {}}},             // save as
        {6, {kOrange, Shape::Glyph, g("T")}},      // tags editor
        {7, {kGreen, Shape::Glyph, g("\u21C4")}},  // convert
        {8, {kYellow, Shape::Glyph, g("\u270E")}}, // notes
        {9, {kGrey, Shape::Glyph, g("\u2699")}},   // general options
        {10, {kOrange, Shape::Glyph, g("\u26A1")}}, // events
        {11, {kTeal, Shape::Glyph, g("\u25D0")}},  // view, transparent
        {12, {kBlue, Shape::Glyph, g("?")}},       // help
        {18, {kOrange, Shape::Glyph, g("#")}},     // tags
        {19, {kGrey, Shape::Glyph, g("\u2692")}},  // tools
        {22, {kBlue, Shape::Glyph, g("i")}},       // about, disc information
        {23, {kGreen, Shape::Glyph, g("\u2295")}}, // join
        {25, {kPurple, Shape::Disc, {}}},          // CD
        {27, {kRed, Shape::Glyph, g("\u2716")}},   // remove all
        {32, {kBlue, Shape::Glyph, g("\u270E")}},  // edit
        {38, {kGreen, Shape::Play, {}}},           // system player
        {39, {kBlue, Shape::Glyph, g("\u2630")}},  // items list
        {40, {kGrey, Shape::Stop, {}}},
        {41, {kTeal, Shape::Glyph, g("\u266A")}},
        {45, {kTeal, Shape::Glyph, g("\u25A3")}},  // mode
        {47, {kGreen, Shape::Glyph, g("\u25CF")}}, // main status
        {48, {kGreen, Shape::Glyph, g("\u2630")}}, // new list
        {49, {kBlue, Shape::Glyph, g("\u270E")}},  // rename list
        {50, {kRed, Shape::Glyph, g("\u2212")}},   // remove list
        {51, {kBlue, Shape::Glyph, g("i")}},       // list properties
        {53, {kOrange, Shape::Glyph, g("\u21A5")}}, // on top
        {55, {kGreen, Shape::Play, {}}},
        {59, {kGrey, Shape::Glyph, g("\u2699")}},  // advanced
        {60, {kGreen, Shape::Glyph, g("\u21C4")}}, // audio converter
        {61, {kTeal, Shape::Glyph, g("\u21C4")}},  // ACM converter
        {62, {kPurple, Shape::Glyph, g("\u223F")}}, // analyser
        {63, {kOrange, Shape::Glyph, g("\u2702")}}, // splitter
        {64, {kGreen, Shape::Glyph, g("\u2295")}}, // joiner
        {67, {kGrey, Shape::Pause, {}}},
        {68, {kTeal, Shape::Glyph, g("\u2315")}},
        {70, {kRed, Shape::Record, {}}},           // recorder
        {72, {kPurple, Shape::Disc, {}}},          // data CD maker
        {73, {kRed, Shape::Disc, {}}},             // audio CD maker
        {74, {kGreen, Shape::Checked, {}}},        // mark/unmark all
        {76, {kGrey, Shape::Glyph, g("\u2581")}},  // minimize
        {77, {kTeal, Shape::Glyph, g("\u21B4")}},  // to the tray
        {78, {kRed, Shape::Glyph, g("\u23FB")}},   // exit
        {79, {kBlue, Shape::Speaker, {}}},         // master volume
        {80, {kBlue, Shape::Glyph, g("\u21C8")}},  // move to first
        {81, {kBlue, Shape::Glyph, g("\u21CA")}},  // move to last
        {82, {kTeal, Shape::Glyph, g("\u275D")}},  // text to speech
        {83, {kPurple, Shape::Glyph, g("\u25CE")}}, // duplicator
        {84, {kTeal, Shape::Glyph, g("\u275D")}},
    };
    return p;
}

// Positions of the tools toolbar's list.
const QHash<int, Picture>& toolPictures()
{
    static const QHash<int, Picture> p = {
        {19, {kGreen, Shape::Glyph, g("\u21C4")}},  // convert
        {20, {kPurple, Shape::Glyph, g("\u223F")}}, // analyser
        {21, {kTeal, Shape::Glyph, g("\u21CB")}},   // ACM convert: not the converter's arrows
        {22, {kOrange, Shape::Glyph, g("\u2702")}}, // splitter
        {23, {kGreen, Shape::Glyph, g("\u2295")}},  // join
        {24, {kRed, Shape::Record, {}}},            // recorder
        {25, {kPurple, Shape::Disc, {}}},           // ripper
        {26, {kBlue, Shape::Disc, {}}},             // MP3/WMA disc
        {27, {kRed, Shape::Disc, {}}},              // audio CD
        {28, {kTeal, Shape::Glyph, g("\u275D")}},   // speech
        {29, {kGrey, Shape::Glyph, g("\u25CE")}},   // duplicator
    };
    return p;
}

void drawShape(QPainter& p, const Picture& pic, const QRectF& r)
{
    const double s = r.width();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const QPointF c = r.center();
    switch (pic.shape) {
    case Shape::Folder: {
        QPainterPath path;
        path.moveTo(r.left() + s * 0.2, r.top() + s * 0.3);
        path.lineTo(r.left() + s * 0.45, r.top() + s * 0.3);
        path.lineTo(r.left() + s * 0.52, r.top() + s * 0.38);
        path.lineTo(r.left() + s * 0.8, r.top() + s * 0.38);
        path.lineTo(r.left() + s * 0.8, r.top() + s * 0.75);
        path.lineTo(r.left() + s * 0.2, r.top() + s * 0.75);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case Shape::Disk:
        p.drawRect(QRectF(r.left() + s * 0.22, r.top() + s * 0.22, s * 0.56, s * 0.56));
        p.setBrush(pic.colour);
        p.drawRect(QRectF(r.left() + s * 0.34, r.top() + s * 0.22, s * 0.32, s * 0.2));
        break;
    case Shape::Disc:
        p.drawEllipse(c, s * 0.32, s * 0.32);
        p.setBrush(pic.colour);
        p.drawEllipse(c, s * 0.09, s * 0.09);
        break;
    case Shape::Speaker: {
        QPainterPath path;
        path.moveTo(r.left() + s * 0.2, r.top() + s * 0.4);
        path.lineTo(r.left() + s * 0.35, r.top() + s * 0.4);
        path.lineTo(r.left() + s * 0.55, r.top() + s * 0.22);
        path.lineTo(r.left() + s * 0.55, r.top() + s * 0.78);
        path.lineTo(r.left() + s * 0.35, r.top() + s * 0.6);
        path.lineTo(r.left() + s * 0.2, r.top() + s * 0.6);
        path.closeSubpath();
        p.drawPath(path);
        p.setPen(QPen(Qt::white, qMax(1.0, s * 0.07)));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(r.left() + s * 0.45, r.top() + s * 0.3, s * 0.3, s * 0.4), -60 * 16, 120 * 16);
        break;
    }
    case Shape::Play: {
        const QPointF tri[3] = {{r.left() + s * 0.35, r.top() + s * 0.25},
                                {r.left() + s * 0.75, c.y()},
                                {r.left() + s * 0.35, r.top() + s * 0.75}};
        p.drawPolygon(tri, 3);
        break;
    }
    case Shape::Pause:
        p.drawRect(QRectF(r.left() + s * 0.3, r.top() + s * 0.25, s * 0.14, s * 0.5));
        p.drawRect(QRectF(r.left() + s * 0.56, r.top() + s * 0.25, s * 0.14, s * 0.5));
        break;
    case Shape::Stop:
        p.drawRect(QRectF(r.left() + s * 0.28, r.top() + s * 0.28, s * 0.44, s * 0.44));
        break;
    case Shape::Record:
        p.drawEllipse(c, s * 0.24, s * 0.24);
        break;
    case Shape::Checked:
    case Shape::Box: {
        p.drawRect(QRectF(r.left() + s * 0.22, r.top() + s * 0.22, s * 0.56, s * 0.56));
        if (pic.shape == Shape::Checked) {
            p.setPen(QPen(pic.colour, qMax(1.5, s * 0.1), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            const QPointF tick[3] = {{r.left() + s * 0.32, c.y()},
                                     {r.left() + s * 0.45, r.top() + s * 0.64},
                                     {r.left() + s * 0.68, r.top() + s * 0.36}};
            p.drawPolyline(tick, 3);
        }
        break;
    }
    case Shape::Glyph: {
        QFont f = p.font();
        f.setPixelSize(qMax(7, int(s * 0.62)));
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(r, Qt::AlignCenter, pic.glyph);
        break;
    }
    }
}

QPixmap drawPicture(const Picture& pic, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF tile(0.5, 0.5, size - 1.0, size - 1.0);
    QLinearGradient grad(tile.topLeft(), tile.bottomLeft());
    grad.setColorAt(0, pic.colour.lighter(125));
    grad.setColorAt(1, pic.colour);
    p.setBrush(grad);
    p.setPen(QPen(pic.colour.darker(130), 1));
    p.drawRoundedRect(tile, size * 0.2, size * 0.2);
    drawShape(p, pic, tile);
    return pm;
}

QIcon iconOf(const QHash<int, Picture>& table, int index, std::initializer_list<int> sizes)
{
    auto it = table.find(index);
    if (it == table.end())
        return QIcon();
    QIcon icon;
    for (int s : sizes)
        icon.addPixmap(drawPicture(*it, s));
    return icon;
}

const QHash<int, Picture>& playerPictures()
{
    static const QHash<int, Picture> p = {
        {0, {kGreen, Shape::Play, {}}},
        {1, {kGrey, Shape::Pause, {}}},
        {2, {kRed, Shape::Stop, {}}},
    };
    return p;
}

void fill(cImageList* list, const QHash<int, Picture>& table, std::initializer_list<int> sizes)
{
    if (!list)
        return;
    for (auto it = table.begin(); it != table.end(); ++it)
        list->setImage(it.key(), iconOf(table, it.key(), sizes));
}

} // namespace

namespace mainicons {

QIcon MenuIcon(int index) { return iconOf(menuPictures(), index, {16, 24, 32}); }
QIcon PlayerIcon(int index) { return iconOf(playerPictures(), index, {16, 24, 32}); }
QIcon ToolIcon(int index) { return iconOf(toolPictures(), index, {26, 32, 48}); }

void FillMenuImages(cImageList* list) { fill(list, menuPictures(), {16, 24, 32}); }
void FillPlayerImages(cImageList* list) { fill(list, playerPictures(), {16, 24, 32}); }
void FillToolImages(cImageList* list) { fill(list, toolPictures(), {26, 32, 48}); }

} // namespace mainicons
