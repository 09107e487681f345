// Checks the screenshot the application saved of its main window with the example sheet: the
// sheet window in the document area must show the first staff of the sheet (five black
// one-pixel lines, evenly spaced, on white paper, with notes on it) and the staves of the
// example's first two systems below it, and the docked panel on the left must be its dark
// grey. The sheet's paper is found as the widest white stretch of the picture, whatever the
// window's size. Prints what it found; exits 1 when the picture is not that.
//   screenshot_pixels FILE.png

#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr double kLineInk = 0.9;    // a staff line row is black across this much of the area
constexpr double kPaper = 0.7;      // rows between lines are white across this much at least
constexpr double kClearPaper = 0.8; // rows just above and below the staff
constexpr int kExampleStaves = 4;   // two systems of two tracks at the default window size
constexpr int kNoteInk = 30;        // black pixels of note heads and stems on the first staff

struct Area {
    const QImage& image;
    int x0;
    int x1;

    double fraction(int y, bool black) const
    {
        int n = 0;
        for (int x = x0; x < x1; ++x) {
            const int g = qGray(image.pixel(x, y));
            n += black ? (g < 50) : (g > 240);
        }
        return static_cast<double>(n) / (x1 - x0);
    }
};

int fail(const char* what)
{
    std::fprintf(stderr, "screenshot: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return fail("usage: screenshot_pixels FILE.png");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QImage image(QString::fromLocal8Bit(argv[1]));
    if (image.isNull())
        return fail("the file is not a picture");
    const int w = image.width(), h = image.height();
    if (w < 400 || h < 300)
        return fail("the picture is smaller than the main window");

    // The sheet's paper: the widest run of white pixels in a row of the middle half (rows
    // between systems are paper from the window's left edge to its scroll bar). The staff
    // lines run across its middle, right of the clefs and time signatures.
    int paperLeft = 0, paperWidth = 0;
    for (int y = h / 4; y < h * 3 / 4; ++y) {
        for (int x = 0, run = 0; x < w; ++x) {
            run = qGray(image.pixel(x, y)) > 240 ? run + 1 : 0;
            if (run > paperWidth) {
                paperWidth = run;
                paperLeft = x - run + 1;
            }
        }
    }
    if (paperWidth < 200)
        return fail("no sheet paper in the document area");
    const Area area{image, paperLeft + paperWidth * 35 / 100, paperLeft + paperWidth * 80 / 100};
    std::vector<int> lines;
    for (int y = 0; y < h; ++y)
        if (area.fraction(y, true) >= kLineInk && (lines.empty() || lines.back() != y - 1))
            lines.push_back(y);

    // The first five evenly spaced lines are the first staff.
    int staves = 0, top = -1, spacing = 0;
    for (std::size_t i = 0; i + 4 < lines.size();) {
        const int d = lines[i + 1] - lines[i];
        bool even = d >= 4 && d <= 30;
        for (std::size_t k = 1; even && k < 4; ++k)
            even = std::abs(lines[i + k + 1] - lines[i + k] - d) <= 1;
        if (!even) {
            ++i;
            continue;
        }
        if (top < 0) {
            top = lines[i];
            spacing = d;
        }
        ++staves;
        i += 5;
    }
    if (top < 0)
        return fail("no staff of five evenly spaced black lines in the document area");
    std::printf("first staff: top line at y=%d, lines %d apart; %d staves in view\n", top, spacing, staves);
    if (top < h / 8 || top > h * 3 / 5)
        return fail("the first staff is not where the sheet's first system lies");
    if (staves < kExampleStaves)
        return fail("fewer staves in view than the example's first two systems");
    for (int k = 0; k < 4; ++k)
        for (int y = top + k * spacing + 2; y < top + (k + 1) * spacing - 1; ++y)
            if (area.fraction(y, false) < kPaper)
                return fail("the spaces between the staff lines are not white paper");
    for (int y = top - 2 * spacing; y < top - spacing; ++y)
        if (y < 0 || area.fraction(y, false) < kClearPaper)
            return fail("no white paper above the first staff");
    const int bottom = top + 4 * spacing;
    for (int y = bottom + spacing; y < bottom + 2 * spacing && y < h; ++y)
        if (area.fraction(y, false) < kClearPaper)
            return fail("no white paper below the first staff");
    // Notes: black ink on the staff off its lines, right of the clef and time signature.
    int ink = 0;
    for (int y = top - 2 * spacing; y <= bottom + 2 * spacing; ++y) {
        if (y < 0 || y >= h || (y >= top && y <= bottom && (y - top) % spacing == 0))
            continue;
        for (int x = area.x0 + 40; x < area.x1; ++x)
            ink += qGray(image.pixel(x, y)) < 50;
    }
    if (ink < kNoteInk)
        return fail("no notes on the first staff");
    // The panel's left margin: its fields may reach down to the bottom of the window.
    if (image.pixel(2, h - 20) != qRgb(34, 34, 34))
        return fail("the docked panel on the left is not dark grey");
    return 0;
}
