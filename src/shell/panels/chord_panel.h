#pragma once

#include "harmony/guitar_library.h"
#include "theory/chord_formula.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QGroupBox;
class QPushButton;

namespace tonvela {

class ChoiceGrid;

// Where the chord panel draws the generated chord's note names: the text's top left corner,
// in panel coordinates, while the panel's fonts leave the library group above it room enough.
inline constexpr int kChordDisplayLeft = 10;
inline constexpr int kChordDisplayTop = 160;

// The chord panel of the container ("Chord Diagrammer"). Above, the guitar chord library:
// "Root Note:", "Quality:" and "Start Fret:" lists that refill one another, "Add To Sheet" and
// "Add Diagram". Below, the generated chord: twelve root buttons and 23 quality buttons whose
// chord's note names the panel draws between the two groups, "Add Chord", the hidden
// "Add Arpeggio" and "Add Symbol". The buttons report through the callbacks; the panel itself changes no
// document.
//
// Thread rules: user-interface thread.
class ChordPanel : public QWidget {
  public:
    explicit ChordPanel(QWidget* parent = nullptr);

    // The generated chord.
    const ChordSelection& selection() const { return m_selection; }
    // The text drawn in the display strip: the chord's note names, empty until root and
    // quality are both chosen.
    QString displayText() const;
    // The top left corner of that text.
    QPoint displayOrigin() const;

    // The guitar chord library's lists and what they have chosen.
    const GuitarChordPicker& picker() const { return m_picker; }

    ChoiceGrid* rootButtons() const { return m_roots; }
    ChoiceGrid* qualityButtons() const { return m_qualities; }
    QPushButton* addChordButton() const { return m_addChord; }
    QPushButton* addArpeggioButton() const { return m_addArpeggio; }
    QPushButton* addSymbolButton() const { return m_addSymbol; }
    QComboBox* rootNoteList() const { return m_rootNote; }
    QComboBox* qualityList() const { return m_quality; }
    QComboBox* startFretList() const { return m_startFret; }
    QPushButton* addToSheetButton() const { return m_addToSheet; }
    QPushButton* addDiagramButton() const { return m_addDiagram; }

    std::function<void(bool arpeggio)> onAddChord;
    std::function<void()> onAddToSheet;
    // "Add Symbol": the generated chord as a chord symbol on the current note.
    std::function<void()> onAddSymbol;
    std::function<void()> onAddDiagram;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QGroupBox* buildLibraryGroup();
    QGroupBox* buildChordGroup();
    void fillQualities();
    void fillStartFrets();
    void repaintDisplay();
    QRect displayStrip() const;

    ChordSelection m_selection;
    GuitarChordPicker m_picker;
    QGroupBox* m_library = nullptr;
    QComboBox* m_rootNote = nullptr;
    QComboBox* m_quality = nullptr;
    QComboBox* m_startFret = nullptr;
    QPushButton* m_addToSheet = nullptr;
    QPushButton* m_addDiagram = nullptr;
    ChoiceGrid* m_roots = nullptr;
    ChoiceGrid* m_qualities = nullptr;
    QPushButton* m_addChord = nullptr;
    QPushButton* m_addArpeggio = nullptr;
    QPushButton* m_addSymbol = nullptr;
    bool m_filling = false;
};

} // namespace tonvela
