#include "shell/frame/about_box.h"

#include <QPainter>
#include <QPushButton>
#include <QShowEvent>

namespace tonvela {
namespace {

constexpr int kWidth = 600;
constexpr int kHeight = 500;
constexpr int kRightMargin = 40;

const char* const kSubtitle = "Sheet editing, MIDI playing and chord diagrams";
// Secondary texts (the subtitle, the version, the tips) and the rule under the title line.
const QColor kQuiet(85, 85, 85);
const QColor kRule(215, 215, 215);

QFont withPointSize(const QFont& base, qreal grow, bool bold)
{
    QFont f = base;
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() + grow);
    f.setBold(bold);
    return f;
}

} // namespace

QString programVersion()
{
    return QStringLiteral(TONVELA_VERSION);
}

QString programLicence()
{
    return QStringLiteral(TONVELA_LICENSE);
}

AboutBox::AboutBox(QWidget* parent, QWidget* documentArea)
    : QDialog(parent), m_documentArea(documentArea), m_close(new QPushButton(QStringLiteral("Close"), this))
{
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(QStringLiteral("About Tonvela"));
    setModal(false);
    setFixedSize(kWidth, kHeight);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
    setAutoFillBackground(true);
    m_close->setDefault(true);
    m_close->adjustSize();
    m_close->move(kWidth - kRightMargin - m_close->width(), kHeight - 20 - m_close->height());
    connect(m_close, &QPushButton::clicked, this, &QDialog::hide);
}

std::vector<AboutText> AboutBox::texts() const
{
    const QFont base = font();
    const QFont title = withPointSize(base, 5, true);
    const QFont bold = withPointSize(base, 0, true);
    const int line = QFontMetrics(base).lineSpacing();
    const int wrap = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    const int titleWidth = QFontMetrics(title).horizontalAdvance(QStringLiteral("Tonvela")) + 12;
    std::vector<AboutText> out;
    // The title line: the name, then what the program is for, on one baseline.
    out.push_back({QStringLiteral("Tonvela"),
                   QRect(40, 40 - QFontMetrics(title).ascent() + QFontMetrics(base).ascent(), titleWidth,
                         QFontMetrics(title).lineSpacing() + 2),
                   title, Qt::AlignLeft | Qt::AlignTop});
    out.push_back({QString::fromUtf8(kSubtitle),
                   QRect(40 + titleWidth, 40, kWidth - kRightMargin - 40 - titleWidth, line), base,
                   Qt::AlignLeft | Qt::AlignTop, kQuiet});
    out.push_back({QStringLiteral("Tonvela is written and looked after by the Tonvela developers. Questions, "
                                  "bug reports and ideas are welcome at %1; please name the version below "
                                  "and, for a sheet that misbehaves, attach its .shd file.")
                       .arg(QString::fromUtf8(kWebsiteAddress)),
                   QRect(90, 60 + line / 2, kWidth - kRightMargin - 90, 4 * line), base, wrap});
    out.push_back(
        {QStringLiteral("Keyboard Input:"), QRect(220, 150, 400, line), bold, Qt::AlignLeft | Qt::AlignTop});
    out.push_back({QStringLiteral("W - whole, H - half, Q - quarter, E - eight, Y - sixteenth\n"
                                  "R - rest, S - sharp, F - flat, D - dot, T - tie"),
                   QRect(220, 150 + line, 400, 2 * line + 4), base, Qt::AlignLeft | Qt::AlignTop});
    out.push_back(
        {QStringLiteral("Version %1\nLicence: %2\nBuilt with Qt and FluidSynth (GNU Lesser General Public "
                        "License).")
             .arg(programVersion(), programLicence()),
         QRect(90, 250, kWidth - kRightMargin - 90, 4 * line), base, wrap, kQuiet});
    out.push_back({QStringLiteral("Tips: Ctrl and the mouse wheel zoom a sheet. Right-click a sheet for its "
                                  "clefs. Files opened from the file manager join the running Tonvela."),
                   QRect(160, 400, kWidth - kRightMargin - 160, m_close->y() - 400 - 4), base, wrap, kQuiet});
    return out;
}

void AboutBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const std::vector<AboutText> all = texts();
    // A thin rule between the title line and the rest.
    const int ruleY = all.size() > 2 ? (all[1].box.bottom() + all[2].box.top()) / 2 : 0;
    painter.setPen(kRule);
    painter.drawLine(40, ruleY, kWidth - kRightMargin, ruleY);
    for (const AboutText& t : all) {
        painter.setPen(t.color);
        painter.setFont(t.font);
        painter.drawText(t.box, t.flags, t.text);
    }
}

void AboutBox::showEvent(QShowEvent* event)
{
    // Over the document area, as a child window of it would sit.
    if (m_documentArea && !event->spontaneous())
        move(m_documentArea->mapToGlobal(QPoint(50, 50)));
    QDialog::showEvent(event);
}

} // namespace tonvela
