// Reads the committed legend pictures back and checks them against the ramps and the keyboard's
// layout, and checks that the generator still draws exactly what is committed.

#include "ramps/ramps.h"
#include "tools/keyboard_geometry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <array>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

QImage loadPicture(const QString& name) {
    return QImage(QStringLiteral(PICTURES_DIR "/") + name);
}

struct Picture {
    const char* name;
    int scale;
};

void PrintTo(const Picture& p, std::ostream* os) {
    *os << p.name;
}

// --- Colour strip -------------------------------------------------------------------------------

constexpr int kStripWidth = 13;
constexpr int kStripHeight = 500;

QRgb toRgb(Colour c) {
    return qRgb(c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF);
}

class StripPicture : public testing::TestWithParam<Picture> {};

TEST_P(StripPicture, RowsFollowColorRampAboveADarkGreyBaseline) {
    const auto [name, scale] = GetParam();
    const QImage image = loadPicture(name);
    ASSERT_EQ(image.size(), QSize(kStripWidth * scale, kStripHeight * scale));

    const QRgb baseline = image.pixel(0, image.height() - 1);
    EXPECT_TRUE(qRed(baseline) == qGreen(baseline) && qGreen(baseline) == qBlue(baseline));
    EXPECT_GT(qRed(baseline), 0x20);
    EXPECT_LT(qRed(baseline), 0x80);

    for (int y = 0; y < image.height(); ++y) {
        const int row = y / scale;
        const QRgb expected = row == kStripHeight - 1
                                  ? baseline
                                  : toRgb(colorRamp(kStripHeight - 1 - row, kStripHeight));
        for (int x = 0; x < image.width(); ++x)
            ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, expected & 0xFFFFFF)
                << "at x " << x << ", y " << y;
    }
}

// Catches a strip turned upside down or with red and blue swapped, which the comparison above
// would share with the generator if both converted the colours wrongly.
TEST_P(StripPicture, RunsFromBlackThroughTheHuesUpwards) {
    struct Hue {
        int part;
        QRgb rgb;
    };
    // part * 1792 / 500 lands in each of the seven segments in turn.
    constexpr std::array<Hue, 8> kHues = {{
        {1, qRgb(0, 0, 3)},
        {36, qRgb(0, 0, 129)},
        {107, qRgb(0, 127, 255)},
        {178, qRgb(0, 255, 130)},
        {250, qRgb(128, 255, 0)},
        {321, qRgb(255, 129, 0)},
        {392, qRgb(255, 0, 124)},
        {464, qRgb(255, 126, 255)},
    }};
    const auto [name, scale] = GetParam();
    const QImage image = loadPicture(name);
    ASSERT_FALSE(image.isNull());
    for (const Hue& hue : kHues) {
        const int y = (kStripHeight - 1 - hue.part) * scale;
        EXPECT_EQ(image.pixel(scale, y) & 0xFFFFFF, hue.rgb & 0xFFFFFF) << "part " << hue.part;
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, StripPicture,
                         testing::Values(Picture{"strip.png", 1}, Picture{"strip@2x.png", 2}));

// --- Keyboard legend ----------------------------------------------------------------------------

// The keyboard's facts, stated apart from the layout so that a wrong layout shows.
bool isBlackKey(int note) {
    return std::set{1, 3, 6, 8, 10}.contains(note % 12);
}
bool isCOrF(int note) {
    return note % 12 == 0 || note % 12 == 5;
}

constexpr int kDarkBelow = 0x80;
constexpr int kLightFrom = 0xC0;

class KeyboardPicture : public testing::TestWithParam<Picture> {
protected:
    void SetUp() override {
        scale_ = GetParam().scale;
        image_ = loadPicture(GetParam().name);
        ASSERT_FALSE(image_.isNull());
    }

    // The grey level at a column of the 1x picture, a row of this picture.
    int level(int column, int y) const { return qGray(image_.pixel(column * scale_, y)); }
    bool dark(int column, int y) const { return level(column, y) < kDarkBelow; }
    bool light(int column, int y) const { return level(column, y) >= kLightFrom; }

    keyboard::Rows tickRows(int note) const {
        return keyboard::lineRows(keyboard::tickY(note), scale_);
    }
    int row(double y) const { return keyboard::toPixel(y, scale_); }

    // The rows of the dark run through row y in the column.
    keyboard::Rows darkRun(int column, int y) const {
        keyboard::Rows run{y, y};
        while (run.first > 0 && dark(column, run.first - 1))
            --run.first;
        while (run.end < image_.height() && dark(column, run.end))
            ++run.end;
        return run;
    }

    // The rows holding ink between two columns of the 1x picture, within rows [from, to).
    std::optional<keyboard::Rows> inkRows(int left, int right, int from, int to) const {
        std::optional<keyboard::Rows> ink;
        for (int y = from; y < to; ++y) {
            for (int x = left * scale_; x < right * scale_; ++x) {
                if (qGray(image_.pixel(x, y)) < kDarkBelow) {
                    ink = keyboard::Rows{ink ? ink->first : y, y + 1};
                    break;
                }
            }
        }
        return ink;
    }

    int scale_ = 1;
    QImage image_;
};

TEST_P(KeyboardPicture, IsGreyscaleAtItsSize) {
    EXPECT_EQ(image_.size(), QSize(keyboard::kWidth, keyboard::kHeight) * scale_);
    EXPECT_TRUE(image_.allGray());
}

// One tick per note 35 to 81, all alike, level with the part of its key showing at the left.
TEST_P(KeyboardPicture, TicksMarkEachNoteLevelWithItsKey) {
    using namespace keyboard;
    const int tickColumn = (kTickLeft + kTickRight) / 2;
    const int keyColumn = kKeysLeft + 3;
    for (int n = kFirstNote; n <= kLastNote; ++n) {
        SCOPED_TRACE(testing::Message() << "note " << n);
        const Rows tick = tickRows(n);
        EXPECT_EQ(darkRun(tickColumn, tick.first).first, tick.first);
        EXPECT_EQ(darkRun(tickColumn, tick.first).end, tick.end);
        for (int y = tick.first; y < tick.end; ++y) {
            EXPECT_TRUE(dark(kTickLeft, y) && dark(kTickRight - 1, y));
            EXPECT_FALSE(dark(kTickLeft - 1, y) || dark(kTickRight, y));
            EXPECT_EQ(dark(keyColumn, y), isBlackKey(n));
            EXPECT_EQ(light(keyColumn, y), !isBlackKey(n));
        }
    }
    // Nothing else in the tick column between the torn ends, and the gaps are uneven.
    std::vector<int> starts;
    for (int y = row(tornTopY()); y < row(tornBottomY()); ++y) {
        if (!dark(tickColumn, y))
            EXPECT_EQ(level(tickColumn, y), kBackground) << "y " << y;
        else if (!dark(tickColumn, y - 1))
            starts.push_back(y);
    }
    ASSERT_EQ(starts.size(), std::size_t{kLastNote - kFirstNote + 1});
    std::set<int> gaps;
    for (std::size_t i = 1; i < starts.size(); ++i)
        gaps.insert(starts[i] - starts[i - 1]);
    EXPECT_GE(*gaps.begin(), 8 * scale_);
    EXPECT_LE(*gaps.rbegin(), 12 * scale_);
    EXPECT_GT(gaps.size(), 1u);
}

// Right of the black keys every white key ends at a thin line; at the left only the lines at
// B/C and E/F show, the others lie under a black key.
TEST_P(KeyboardPicture, LinesBetweenWhiteKeysCrossTheKeyboardOnlyAtBCAndEF) {
    using namespace keyboard;
    const int leftColumn = kKeysLeft + 3;
    const int rightColumn = kBlackRight + 6;
    const double blackKeyRows = kBlackKey * kWhiteKey * scale_;
    for (int n = kFirstNote; n <= kLastNote + 2; ++n) {
        if (isBlackKey(n))
            continue;
        SCOPED_TRACE(testing::Message() << "line below note " << n);
        const Rows line = lineRows(boundaryY(n), scale_);
        const Rows right = darkRun(rightColumn, line.first);
        EXPECT_EQ(right.first, line.first);
        EXPECT_EQ(right.end, line.end);
        const Rows left = darkRun(leftColumn, line.first);
        if (isCOrF(n)) {
            EXPECT_EQ(left.first, line.first);
            EXPECT_EQ(left.end, line.end);
        } else {
            EXPECT_GE(left.end - left.first, blackKeyRows - 1);
        }
    }
}

TEST_P(KeyboardPicture, NumbersStandBesideEveryTenthTick) {
    using namespace keyboard;
    for (int n = kFirstNote; n <= kLastNote; ++n) {
        const Rows tick = tickRows(n);
        const auto ink = inkRows(0, kTickLeft, tick.first - scale_, tick.end + scale_);
        EXPECT_EQ(ink.has_value(), n % 10 == 0) << "note " << n;
    }
}

// The frequencies stand right of the keyboard, centred on the C keys, and nowhere else; the
// letter names stand on every white key, centred on it.
TEST_P(KeyboardPicture, LabelsAreCentredOnTheirKeys) {
    using namespace keyboard;
    for (int n = kFirstNote; n <= kLastNote; ++n) {
        if (isBlackKey(n))
            continue;
        SCOPED_TRACE(testing::Message() << "note " << n);
        const Rows key = areaRows(keySpan(n), scale_);
        const Rows inside{key.first + scale_, key.end - scale_};
        const double middle = keyMiddleY(n) * scale_;

        const auto letter = inkRows(kBlackRight + 1, kKeysRight - 1, inside.first, inside.end);
        ASSERT_TRUE(letter.has_value());
        EXPECT_NEAR((letter->first + letter->end) / 2.0, middle, 1.0 * scale_);

        const auto frequency = inkRows(kKeysRight + 1, kWidth, inside.first, inside.end);
        EXPECT_EQ(frequency.has_value(), n % 12 == 0);
        if (frequency) {
            EXPECT_NEAR((frequency->first + frequency->end) / 2.0, middle, 1.0 * scale_);
        }
    }
}

TEST_P(KeyboardPicture, OnlyMiddleCIsShaded) {
    using namespace keyboard;
    for (int n = kFirstNote; n <= kLastNote; ++n) {
        if (isBlackKey(n))
            continue;
        const int grey = level(kBlackRight + 6, toPixel(keyMiddleY(n), scale_));
        if (n == 60) {
            EXPECT_GE(grey, kLightFrom);
            EXPECT_LT(grey, kWhite);
        } else {
            EXPECT_EQ(grey, kWhite) << "note " << n;
        }
    }
}

// Past each end a piece of the next key shows, cut off along a ragged edge with only background
// beyond it.
TEST_P(KeyboardPicture, KeysBeyondTheEndsAreTornOff) {
    using namespace keyboard;
    struct End {
        const char* name;
        double keysEnd;
        double torn;
        int outwards;
    };
    const std::array<End, 2> ends = {{
        {"top", yAt(keySpan(kLastNote).high), tornTopY(), -1},
        {"bottom", yAt(keySpan(kFirstNote).low), tornBottomY(), 1},
    }};
    // The edge's line and its smoothing reach a pixel further than the edge itself; the first
    // row of background may lie one more beyond.
    const double reach = kTornDepth + 1.5;
    for (const End& end : ends) {
        SCOPED_TRACE(end.name);
        EXPECT_EQ(level(kBlackRight + 6, row(end.keysEnd) + 2 * scale_ * end.outwards), kWhite);
        std::set<int> edge;
        for (int x = kKeysLeft + 1; x < kKeysRight - 1; ++x) {
            int y = row(end.keysEnd);
            while (y > 0 && y < image_.height() - 1 && level(x, y) != kBackground)
                y += end.outwards;
            edge.insert(y);
        }
        EXPECT_GE(*edge.begin(), row(end.torn - reach) - 1);
        EXPECT_LE(*edge.rbegin(), row(end.torn + reach) + 1);
        EXPECT_GE(edge.size(), 3u * scale_);
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, KeyboardPicture,
                         testing::Values(Picture{"keyboard.png", 1},
                                         Picture{"keyboard@2x.png", 2}));

// --- Regeneration -------------------------------------------------------------------------------

// The fonts the generator finds: those installed, or a set in which another typeface answers to
// the legend font's family name, as a second version of the family installed beside it does.
struct Fonts {
    const char* name;
    bool standIn;
};

void PrintTo(const Fonts& fonts, std::ostream* os) {
    *os << fonts.name;
}

// Writes a fontconfig set-up into `folder` that sees only the legend font's folder, hides
// Liberation Sans there and gives Liberation Serif its family name. It leaves out the system's
// rendering settings (hinting, subpixel order) as well. Returns its path.
QString writeStandInConfig(const QTemporaryDir& folder) {
    const QString path = folder.filePath("fonts.conf");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(
        QStringLiteral(R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>%1</dir>
  <cachedir>%2</cachedir>
  <selectfont><rejectfont><glob>*/LiberationSans-*</glob></rejectfont></selectfont>
  <match target="scan">
    <test name="family"><string>Liberation Serif</string></test>
    <edit name="family" mode="assign" binding="same"><string>Liberation Sans</string></edit>
  </match>
</fontconfig>
)")
            .arg(QFileInfo(QStringLiteral(LEGEND_FONT)).absolutePath(), folder.filePath("cache"))
            .toUtf8());
    return path;
}

// Runs a program to its end within a deadline; returns what went wrong, or nothing.
std::optional<std::string> run(const QString& program, const QStringList& arguments,
                               const QProcessEnvironment& environment,
                               QByteArray* output = nullptr) {
    constexpr int kDeadlineMs = 30'000;
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    const std::string name = program.toStdString();
    if (!process.waitForStarted(kDeadlineMs))
        return name + " did not start: " + process.errorString().toStdString();
    if (!process.waitForFinished(kDeadlineMs)) {
        process.kill();
        process.waitForFinished(kDeadlineMs);
        return name + " did not finish within " + std::to_string(kDeadlineMs / 1000) +
               " s; its stderr: " + process.readAllStandardError().toStdString();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return name + " failed with " + std::to_string(process.exitCode()) + ": " +
               process.readAllStandardError().toStdString();
    if (output)
        *output = process.readAllStandardOutput();
    return std::nullopt;
}

class GeneratedPictures : public testing::TestWithParam<Fonts> {};

TEST_P(GeneratedPictures, MatchTheCommittedOnesByteForByte) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (GetParam().standIn) {
        const QString config = writeStandInConfig(folder);
        ASSERT_FALSE(config.isEmpty());
        environment.insert("FONTCONFIG_FILE", config);
        QByteArray found;
        const auto failed =
            run("fc-match", {"--format=%{file}", "Liberation Sans"}, environment, &found);
        ASSERT_FALSE(failed) << *failed;
        ASSERT_TRUE(found.endsWith("/LiberationSerif-Regular.ttf"))
            << "Liberation Sans should be Liberation Serif here, not " << found.toStdString();
    }
    const QString pictures = folder.filePath("pictures");
    const auto failed = run(MAKE_PICTURES, {pictures}, environment);
    ASSERT_FALSE(failed) << *failed;
    for (const char* name : {"keyboard.png", "keyboard@2x.png", "strip.png", "strip@2x.png"}) {
        QFile generated(QDir(pictures).filePath(name));
        QFile committed(QStringLiteral(PICTURES_DIR "/") + name);
        ASSERT_TRUE(generated.open(QIODevice::ReadOnly)) << name;
        ASSERT_TRUE(committed.open(QIODevice::ReadOnly)) << name;
        EXPECT_TRUE(generated.readAll() == committed.readAll()) << name << " differs";
    }
}

INSTANTIATE_TEST_SUITE_P(Fonts, GeneratedPictures,
                         testing::Values(Fonts{"AsInstalled", false},
                                         Fonts{"AnotherFontNamedLikeTheLegendFont", true}),
                         [](const testing::TestParamInfo<Fonts>& info) { return info.param.name; });

} // namespace
