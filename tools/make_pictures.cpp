// Draws the two legends beside the plot, the keyboard of midiRamp's notes and the colour strip of
// colorRamp, at 1x and 2x, into the folder given as the argument.

#include "ramps/ramps.h"
#include "tools/keyboard_geometry.h"

#include <QDir>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRawFont>

#include <array>
#include <cmath>
#include <cstdio>

namespace {

namespace strip {
constexpr int kWidth = 13;
constexpr int kHeight = 500;
// The bottom row marks the baseline, where colorRamp starts at black.
constexpr QRgb kBaseline = 0x404040;
} // namespace strip

namespace text {
constexpr int kHeadingSize = 12;
constexpr int kLabelSize = 11;
constexpr double kHeadingLeftCentre = 44.0;
constexpr double kFirstHeadingBaseline = 26.0;
constexpr double kSecondHeadingBaseline = 40.0;
} // namespace text

// The torn edge's corners, every kTornStep pixels across, as fractions of its depth off its
// middle line.
constexpr std::array<double, 16> kTornCorners = {0.0, 1.0,  -0.4, 0.6,  -1.0, 0.2,  0.8, -0.6,
                                                 0.4, -0.8, 1.0,  -0.2, 0.6,  -1.0, 0.2, 0.8};
constexpr double kTornStep =
    (keyboard::kKeysRight - keyboard::kKeysLeft + 2.0) / (kTornCorners.size() - 1);

// Notes of the cut-off keys beyond each end that reach the torn edges.
constexpr int kDrawnBelow = keyboard::kFirstNote - 3;
constexpr int kDrawnAbove = keyboard::kLastNote + 3;

QColor grey(int level) {
    return QColor(level, level, level);
}

QColor rampColour(Colour c) {
    return QColor(c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF);
}

QImage drawStrip(int scale) {
    QImage image(strip::kWidth * scale, strip::kHeight * scale, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        const int row = y / scale;
        const QRgb rgb =
            row == strip::kHeight - 1
                ? strip::kBaseline
                : rampColour(colorRamp(strip::kHeight - 1 - row, strip::kHeight)).rgb();
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, rgb);
    }
    return image;
}

// The typeface is read from its file, not looked up by family: another version of the family
// installed beside it (Liberation 2 beside 1.07) would answer to the same name and draw other
// pixels. The hinting is fixed here too, as fontconfig's settings differ between machines.
QRawFont font(int pixelSize, int scale) {
    return QRawFont(QStringLiteral(LEGEND_FONT), pixelSize * scale, QFont::PreferVerticalHinting);
}

// A string's glyphs in place, and how far they move the pen.
struct Line {
    QGlyphRun glyphs;
    double advance;
};

// The string's glyphs set side by side, kerned, from the origin on the baseline.
Line layOut(const QRawFont& font, const QString& s) {
    const QList<quint32> indexes = font.glyphIndexesForString(s);
    QList<QPointF> positions;
    QPointF pen;
    for (const QPointF& advance : font.advancesForGlyphIndexes(indexes, QRawFont::KernedAdvances)) {
        positions << pen;
        pen += advance;
    }
    Line line{{}, pen.x()};
    line.glyphs.setRawFont(font);
    line.glyphs.setGlyphIndexes(indexes);
    line.glyphs.setPositions(positions);
    return line;
}

// Draws text with its ink centred on `centre` across and along the line of text, the baseline on
// a whole pixel so that the glyphs stay sharp.
void drawCentred(QPainter& painter, const QRawFont& font, const QString& s, QPointF centre) {
    const QGlyphRun glyphs = layOut(font, s).glyphs;
    const QRectF ink = glyphs.boundingRect();
    const QPointF origin(std::round(centre.x() - ink.center().x()),
                         std::round(centre.y() - ink.center().y()));
    painter.drawGlyphRun(origin, glyphs);
}

// Draws text with its ink ending at x and centred on y.
void drawRightAligned(QPainter& painter, const QRawFont& font, const QString& s, double x,
                      double y) {
    const QGlyphRun glyphs = layOut(font, s).glyphs;
    const QRectF ink = glyphs.boundingRect();
    painter.drawGlyphRun(QPointF(std::round(x - ink.right()), std::round(y - ink.center().y())),
                         glyphs);
}

class KeyboardPainter {
public:
    explicit KeyboardPainter(int scale)
        : scale_(scale),
          image_(keyboard::kWidth * scale, keyboard::kHeight * scale, QImage::Format_RGB32),
          painter_(&image_) {
        painter_.fillRect(image_.rect(), grey(keyboard::kBackground));
    }

    QImage draw() {
        drawKeys();
        tearEdge(keyboard::tornTopY(), -1);
        tearEdge(keyboard::tornBottomY(), 1);
        drawScale();
        drawFrequencies();
        drawHeadings();
        painter_.end();
        return image_.convertToFormat(QImage::Format_Grayscale8);
    }

private:
    void fill(int left, int right, keyboard::Rows rows, int level) {
        painter_.fillRect(left * scale_, rows.first, (right - left) * scale_, rows.end - rows.first,
                          grey(level));
    }

    void drawKeys() {
        using namespace keyboard;
        const double margin = kTornDepth + 1;
        painter_.setClipRect(QRectF(kKeysLeft * scale_, (tornTopY() - margin) * scale_,
                                    (kKeysRight - kKeysLeft) * scale_,
                                    (tornBottomY() - tornTopY() + 2 * margin) * scale_));
        for (int n = kDrawnBelow; n <= kDrawnAbove; ++n) {
            if (isBlack(n))
                continue;
            fill(kKeysLeft, kKeysRight, areaRows(keySpan(n), scale_),
                 n == kShadedNote ? kShade : kWhite);
            fill(boundaryIsFullWidth(n) ? kKeysLeft : kBlackRight, kKeysRight,
                 lineRows(boundaryY(n), scale_), kLine);
        }
        const Rows all{0, image_.height()};
        fill(kKeysLeft, kKeysLeft + 1, all, kLine);
        fill(kKeysRight - 1, kKeysRight, all, kLine);
        for (int n = kDrawnBelow; n <= kDrawnAbove; ++n) {
            if (isBlack(n))
                fill(kKeysLeft, kBlackRight, areaRows(keySpan(n), scale_), kInk);
        }
        painter_.setClipping(false);

        static constexpr std::array<const char*, 12> kNames = {"C", "",  "D", "",  "E", "F",
                                                               "",  "G", "",  "A", "",  "B"};
        const QRawFont letters = font(text::kLabelSize, scale_);
        painter_.setPen(grey(kInk));
        for (int n = kFirstNote; n <= kLastNote; ++n) {
            if (isBlack(n))
                continue;
            // Turned a quarter turn to the left, the name reads from bottom to top.
            painter_.save();
            painter_.translate(kLetterCentre * scale_, std::round(keyMiddleY(n) * scale_));
            painter_.rotate(-90);
            drawCentred(painter_, letters, kNames[n % 12], QPointF(0, 0));
            painter_.restore();
        }
    }

    // Cuts the keys off along a ragged line at y, clearing what lies beyond it on the given side
    // (-1 above, 1 below).
    void tearEdge(double y, int side) {
        using namespace keyboard;
        QPolygonF edge;
        for (std::size_t i = 0; i < kTornCorners.size(); ++i)
            edge << QPointF(kKeysLeft - 1 + i * kTornStep, y + kTornCorners[i] * kTornDepth) *
                        scale_;
        QPolygonF beyond = edge;
        const double far = y + side * (2 * kTornDepth + 2);
        beyond << QPointF(kKeysRight + 1, far) * scale_ << QPointF(kKeysLeft - 1, far) * scale_;

        painter_.setRenderHint(QPainter::Antialiasing);
        painter_.setPen(Qt::NoPen);
        painter_.setBrush(grey(kBackground));
        painter_.drawPolygon(beyond);
        painter_.setPen(QPen(grey(kLine), scale_));
        painter_.drawPolyline(edge);
        painter_.setRenderHint(QPainter::Antialiasing, false);
    }

    void drawScale() {
        using namespace keyboard;
        const QRawFont numbers = font(text::kLabelSize, scale_);
        painter_.setPen(grey(kInk));
        for (int n = kFirstNote; n <= kLastNote; ++n) {
            const Rows rows = lineRows(tickY(n), scale_);
            fill(kTickLeft, kTickRight, rows, kInk);
            if (n % 10 == 0)
                drawRightAligned(painter_, numbers, QString::number(n), kNumbersRight * scale_,
                                 (rows.first + rows.end) / 2.0);
        }
    }

    void drawFrequencies() {
        using namespace keyboard;
        const QRawFont numbers = font(text::kLabelSize, scale_);
        for (int n = kFirstNote; n <= kLastNote; ++n) {
            if (n % 12 != 0)
                continue;
            const long hertz = std::lround(440.0 * std::exp2((n - 69) / 12.0));
            drawCentred(painter_, numbers, QString::number(hertz),
                        QPointF(kFrequencyCentre, keyMiddleY(n)) * scale_);
        }
    }

    void drawHeadings() {
        const QRawFont headings = font(text::kHeadingSize, scale_);
        const auto heading = [&](const QString& s, double centre, double baseline) {
            const Line line = layOut(headings, s);
            painter_.drawGlyphRun(
                QPointF(std::round(centre * scale_ - line.advance / 2), baseline * scale_),
                line.glyphs);
        };
        heading("MIDI", text::kHeadingLeftCentre, text::kFirstHeadingBaseline);
        heading("Note", text::kHeadingLeftCentre, text::kSecondHeadingBaseline);
        heading("Frequency", keyboard::kFrequencyCentre, text::kFirstHeadingBaseline);
        heading("Hz", keyboard::kFrequencyCentre, text::kSecondHeadingBaseline);
    }

    int scale_;
    QImage image_;
    QPainter painter_;
};

bool save(const QImage& image, const QDir& folder, const QString& name) {
    const QString path = folder.filePath(name);
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "make-pictures: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    // The pictures never go on screen; the offscreen platform also keeps the fonts' rendering
    // independent of the desktop's settings, so every run writes the same bytes.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-pictures OUTPUT_FOLDER\n");
        return 2;
    }
    if (!font(text::kLabelSize, 1).isValid()) {
        std::fprintf(stderr, "make-pictures: cannot read the font %s\n", LEGEND_FONT);
        return 1;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(".")) {
        std::fprintf(stderr, "make-pictures: cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    for (const int scale : {1, 2}) {
        const QString suffix = scale == 1 ? ".png" : "@2x.png";
        ok = save(KeyboardPainter(scale).draw(), folder, "keyboard" + suffix) && ok;
        ok = save(drawStrip(scale), folder, "strip" + suffix) && ok;
    }
    return ok ? 0 : 1;
}
