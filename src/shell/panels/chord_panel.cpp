#include "shell/panels/chord_panel.h"

#include "shell/panels/choice_grid.h"
#include "shell/panels/panel_style.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace tonvela {
namespace {

constexpr int kRootColumns = 4;
constexpr int kQualityColumns = 3;
// The gap between the library group and the generated chord group that holds the display.
constexpr int kDisplayGap = 46;
constexpr int kDisplayTextInset = kChordDisplayTop - 148; // from the library group's bottom

// A formula's degrees as a musician reads them: "135b7bT" is "1 3 5 b7 b10".
QString degreeText(std::string_view formula)
{
    QStringList degrees;
    QString prefix;
    for (char c : formula) {
        if (c == 'b' || c == 's') {
            prefix = c == 'b' ? QStringLiteral("b") : QStringLiteral("#");
            continue;
        }
        QString degree;
        if (c == 'T')
            degree = QStringLiteral("10");
        else if (c == 'E')
            degree = QStringLiteral("11");
        else if (c == 'H')
            degree = QStringLiteral("13");
        else
            degree = QString(QLatin1Char(c));
        degrees << prefix + degree;
        prefix.clear();
    }
    return degrees.join(QLatin1Char(' '));
}

// Refills a list; like every list of the panels it then has its first entry chosen.
void fillList(QComboBox* list, const std::vector<std::string>& texts)
{
    list->clear();
    for (const std::string& t : texts)
        list->addItem(QString::fromStdString(t));
    list->setCurrentIndex(texts.empty() ? -1 : 0);
}

} // namespace

ChordPanel::ChordPanel(QWidget* parent) : QWidget(parent)
{
    darkenPanel(this);
    auto* layout = panelLayout(this);
    m_library = buildLibraryGroup();
    layout->addWidget(m_library);
    layout->addSpacing(kDisplayGap);
    layout->addWidget(buildChordGroup());
    layout->addStretch(1);
    // The library group ends where the display strip begins, so the note names come at
    // (10, 160); a taller group (larger fonts) moves the strip down rather than clip.
    m_library->setFixedHeight(
        std::max(kChordDisplayTop - kDisplayTextInset - kPanelMargin, m_library->sizeHint().height()));

    m_filling = true;
    fillList(m_rootNote, m_picker.rootList());
    m_filling = false;
    fillQualities();
    setTabOrder(m_rootNote, m_quality);
    setTabOrder(m_quality, m_startFret);
    setTabOrder(m_startFret, m_addToSheet);
    setTabOrder(m_addToSheet, m_addDiagram);
    setTabOrder(m_addDiagram, m_roots->focusButton());
    for (int i = 0; i + 1 < m_roots->count(); ++i)
        setTabOrder(m_roots->button(i), m_roots->button(i + 1));
    setTabOrder(m_roots->button(m_roots->count() - 1), m_qualities->button(0));
    for (int i = 0; i + 1 < m_qualities->count(); ++i)
        setTabOrder(m_qualities->button(i), m_qualities->button(i + 1));
    setTabOrder(m_qualities->button(m_qualities->count() - 1), m_addChord);
}

QGroupBox* ChordPanel::buildLibraryGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Guitar Chord Library"));
    auto* form = groupForm(group);
    m_rootNote = panelList("rootNote", QStringLiteral("Root of the guitar chord shape; choosing one refills "
                                                      "\"Quality:\" and \"Start Fret:\""));
    m_quality = panelList("quality", QStringLiteral("Quality of the guitar chord shape; choosing one refills "
                                                    "\"Start Fret:\""));
    m_startFret =
        panelList("startFret", QStringLiteral("The fret the shape's diagram starts at (1: at the nut)"));
    form->addRow(QStringLiteral("Root Note:"), m_rootNote);
    form->addRow(QStringLiteral("Quality:"), m_quality);
    form->addRow(QStringLiteral("Start Fret:"), m_startFret);
    m_addToSheet =
        panelButton("Add To Sheet", "addToSheet",
                    QStringLiteral("Adds the chosen shape to the end of the current track of the active "
                                   "sheet: one note per sounding string, as one chord"));
    m_addDiagram =
        panelButton("Add Diagram", "addDiagram",
                    QStringLiteral("Adds the chosen shape as a diagram to the active chord document"));
    form->addRow(buttonRow(m_addToSheet, m_addDiagram));

    connect(m_rootNote, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index) {
        if (m_filling)
            return;
        m_picker.chooseRoot(index);
        fillQualities();
    });
    connect(m_quality, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index) {
        if (m_filling)
            return;
        m_picker.chooseQuality(index);
        fillStartFrets();
    });
    connect(m_startFret, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index) {
        if (!m_filling)
            m_picker.chooseStartFret(index);
    });
    forwardClicks(m_addToSheet, onAddToSheet);
    forwardClicks(m_addDiagram, onAddDiagram);
    return group;
}

QGroupBox* ChordPanel::buildChordGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Generated Chord"));
    auto* box = new QVBoxLayout(group);
    box->setContentsMargins(8, 6, 8, 8);
    box->setSpacing(4);

    std::vector<QString> rootTexts;
    for (const char* text : chordRootButtonTexts())
        rootTexts.push_back(QString::fromLatin1(text));
    m_roots = new ChoiceGrid(rootTexts, kRootColumns);
    m_roots->setObjectName(QStringLiteral("chordRoots"));
    for (int i = 0; i < m_roots->count(); ++i)
        m_roots->button(i)->setToolTip(
            QStringLiteral("Makes %1 the root of the generated chord").arg(m_roots->button(i)->text()));

    std::vector<QString> qualityTexts;
    for (const ChordFormula& f : chordFormulaTable())
        qualityTexts.push_back(QString::fromLatin1(f.name));
    m_qualities = new ChoiceGrid(qualityTexts, kQualityColumns);
    m_qualities->setObjectName(QStringLiteral("chordQualities"));
    for (int i = 0; i < m_qualities->count(); ++i)
        m_qualities->button(i)->setToolTip(
            QStringLiteral("Makes the generated chord a %1 chord (degrees %2)")
                .arg(m_qualities->button(i)->text(),
                     degreeText(chordFormulaTable()[static_cast<std::size_t>(i)].formula)));

    m_addChord = panelButton("Add Chord", "addChord",
                             QStringLiteral("Adds the generated chord to the end of the current track of the "
                                            "active sheet: its notes from middle C up, then again an octave "
                                            "lower, as one chord labelled with its root and quality"));
    m_addArpeggio =
        panelButton("Add Arpeggio", "addArpeggio",
                    QStringLiteral("Adds the generated chord's notes one after another, lowest first"));
    m_addArpeggio->hide();
    m_addSymbol =
        panelButton("Add Symbol", "addSymbol",
                    QStringLiteral("Writes the generated chord as a chord symbol above the current note "
                                   "of the active sheet (\"Cm7\", \"F#7#9\"), as lead sheets show "
                                   "it"));

    box->addWidget(panelCaption(QStringLiteral("Root")));
    box->addWidget(m_roots);
    box->addSpacing(4);
    box->addWidget(panelCaption(QStringLiteral("Quality")));
    box->addWidget(m_qualities);
    box->addSpacing(6);
    QBoxLayout* buttons = buttonRow(m_addChord, m_addArpeggio);
    buttons->addWidget(m_addSymbol);
    box->addLayout(buttons);

    m_roots->onChosen = [this](int index) {
        m_selection.chooseRoot(index, index);
        repaintDisplay();
    };
    m_qualities->onChosen = [this](int index) {
        m_selection.chooseQuality(index, m_roots->count() + index);
        repaintDisplay();
    };
    connect(m_addChord, &QPushButton::clicked, this, [this] {
        if (onAddChord)
            onAddChord(false);
    });
    connect(m_addSymbol, &QPushButton::clicked, this, [this] {
        if (onAddSymbol)
            onAddSymbol();
    });
    connect(m_addArpeggio, &QPushButton::clicked, this, [this] {
        if (onAddChord)
            onAddChord(true);
    });
    return group;
}

// The lists show what the picker holds; a refill chooses the first entry, as the picker does.
void ChordPanel::fillQualities()
{
    m_filling = true;
    fillList(m_quality, m_picker.qualityList());
    m_filling = false;
    fillStartFrets();
}

void ChordPanel::fillStartFrets()
{
    m_filling = true;
    fillList(m_startFret, m_picker.startFretList());
    m_filling = false;
}

QString ChordPanel::displayText() const
{
    // One blank between the names: "A# D F", not the two after a natural.
    return QString::fromStdString(m_selection.displayText()).simplified();
}

QPoint ChordPanel::displayOrigin() const
{
    return {kChordDisplayLeft, m_library->geometry().bottom() + 1 + kDisplayTextInset};
}

QRect ChordPanel::displayStrip() const
{
    return tonvela::displayStrip(width(), m_library->geometry().bottom() + 1 + 4, kDisplayGap - 8);
}

void ChordPanel::repaintDisplay()
{
    update(displayStrip().adjusted(-1, -1, 1, 1));
}

void ChordPanel::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter p(this);
    const QRect strip = displayStrip();
    paintDisplayStrip(p, strip);
    const QPoint origin = displayOrigin();
    const QRect textBox(origin.x(), origin.y(), strip.right() - origin.x() - 4, strip.bottom() - origin.y());
    const QString text = displayText();
    if (text.isEmpty()) {
        p.setPen(QColor(150, 150, 150));
        p.setFont(font());
        p.drawText(textBox, Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("Choose a root and a quality below"));
        return;
    }
    paintDisplayText(p, textBox, text, QString::fromStdString(m_selection.lyricText()), font());
}

} // namespace tonvela
