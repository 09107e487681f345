#include "shell/panels/scale_panel.h"

#include "shell/panels/panel_style.h"
#include "theory/pitch.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace tonvela {
namespace {

// The strip at the top that holds the note names.
constexpr int kNamesHeight = 38;
// The "Root:" entries, two characters each, from A.
constexpr std::string_view kRootEntries = "A A#B C C#D D#E F F#G G#";

} // namespace

ScalePanel::ScalePanel(QWidget* parent)
    : QWidget(parent),
      m_root(panelList("scaleRoot",
                       QStringLiteral("Root of the scale the note names above, the scale diagram and "
                                      "the two buttons below use"))),
      m_scale(panelList("scaleKind", QStringLiteral("Kind of scale: major, natural minor, the two pentatonic "
                                                    "scales or blues"))),
      m_degrees(panelList("scaleDegrees", QStringLiteral("Degrees of the scale that are shown and added"))),
      m_rootOctave(
          panelList("rootOctave", QStringLiteral("Octave \"Add As Melody\" starts in: 2 starts at middle C, "
                                                 "1 one octave lower, 0 two octaves lower"))),
      m_addAsChord(
          panelButton("Add As Chord", "addAsChord",
                      QStringLiteral("Adds the scale from middle C up to its octave as one chord to the "
                                     "end of the current track of the active sheet"))),
      m_addAsMelody(
          panelButton("Add As Melody", "addAsMelody",
                      QStringLiteral("Adds the scale from the root octave up to its octave as separate "
                                     "notes to the end of the current track of the active sheet")))
{
    darkenPanel(this);
    for (std::size_t i = 0; i + 1 < kRootEntries.size(); i += 2)
        m_root->addItem(QString::fromLatin1(kRootEntries.data() + i, 2));
    for (const ScaleKind& kind : scaleTable())
        m_scale->addItem(QString::fromLatin1(kind.name));
    m_degrees->addItem(QStringLiteral("All"));
    for (const char* octave : {"2", "1", "0"})
        m_rootOctave->addItem(QString::fromLatin1(octave));
    for (QComboBox* list : {m_root, m_scale, m_degrees, m_rootOctave})
        list->setCurrentIndex(0);

    auto* layout = panelLayout(this);
    layout->addSpacing(kNamesHeight);
    auto* group = new QGroupBox(QStringLiteral("Scale"));
    auto* form = groupForm(group);
    form->addRow(QStringLiteral("Root:"), m_root);
    form->addRow(QStringLiteral("Scale:"), m_scale);
    form->addRow(QStringLiteral("Degrees:"), m_degrees);
    form->addRow(QStringLiteral("Root Octave:"), m_rootOctave);
    form->addRow(buttonRow(m_addAsChord, m_addAsMelody));
    layout->addWidget(group);
    layout->addStretch(1);

    setTabOrder(m_root, m_scale);
    setTabOrder(m_scale, m_degrees);
    setTabOrder(m_degrees, m_rootOctave);
    setTabOrder(m_rootOctave, m_addAsChord);
    setTabOrder(m_addAsChord, m_addAsMelody);

    for (QComboBox* list : {m_root, m_scale})
        connect(list, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { scaleChosen(); });
    forwardClicks(m_addAsChord, onAddAsChord);
    forwardClicks(m_addAsMelody, onAddAsMelody);
    // The lists start at their first entries, and so does the selection: A major.
    setScaleSelection(m_root->currentIndex(), m_scale->currentIndex());
}

ScaleSelection ScalePanel::selection() const
{
    ScaleSelection s;
    const int root = m_root->currentIndex();
    const int scale = m_scale->currentIndex();
    if (root >= 0 && root < static_cast<int>(kChromaticFromA.size()))
        s.root = kChromaticFromA[static_cast<std::size_t>(root)];
    if (scale >= 0 && scale < kScaleKindCount)
        s.pattern = scaleTable()[static_cast<std::size_t>(scale)].pattern;
    return s;
}

int ScalePanel::rootOctaveEntry() const
{
    return std::max(0, m_rootOctave->currentIndex());
}

QString ScalePanel::noteNames() const
{
    const ScaleSelection s = selection();
    if (!s.pattern)
        return {};
    BuiltScale built = buildScaleFromPattern(s.root, s.pattern, 3);
    spellScale(built.pitches);
    return QString::fromStdString(pitchDisplayText(built.pitches)).simplified();
}

void ScalePanel::scaleChosen()
{
    setScaleSelection(m_root->currentIndex(), m_scale->currentIndex());
    update(namesStrip().adjusted(-1, -1, 1, 1));
    if (onScaleChanged)
        onScaleChanged();
}

QRect ScalePanel::namesStrip() const
{
    return displayStrip(width(), kScaleNamesTop - 6, kNamesHeight - 4);
}

void ScalePanel::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter p(this);
    const QRect strip = namesStrip();
    paintDisplayStrip(p, strip);
    const QRect box(kScaleNamesLeft, kScaleNamesTop, strip.right() - kScaleNamesLeft - 4,
                    strip.bottom() - kScaleNamesTop);
    paintDisplayText(p, box, noteNames(),
                     m_root->currentText().trimmed() + QLatin1Char(' ') + m_scale->currentText(), font());
}

} // namespace tonvela
