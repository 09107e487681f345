#pragma once

#include "theory/scale.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QGroupBox;
class QPushButton;

namespace tonvela {

// Where the scale panel draws the scale's note names: the text's top left corner.
inline constexpr int kScaleNamesLeft = 10;
inline constexpr int kScaleNamesTop = 10;

// The scale panel of the container ("Scale Diagram"): the scale's spelled note names drawn at
// the top, the "Root:", "Scale:", "Degrees:" and "Root Octave:" lists, "Add As Chord" and
// "Add As Melody". A change of root or scale becomes the process-wide scale selection (which
// the scale diagram draws) and is reported through onScaleChanged; the two buttons report
// through their callbacks, and the panel itself changes no document.
//
// Thread rules: user-interface thread.
class ScalePanel : public QWidget {
  public:
    explicit ScalePanel(QWidget* parent = nullptr);

    // The root and scale the lists have chosen.
    ScaleSelection selection() const;
    // Position of the "Root Octave:" choice: 0 is "2", 1 is "1", 2 is "0".
    int rootOctaveEntry() const;
    // The note names drawn at the top ("F G A Bb C D E F").
    QString noteNames() const;

    QComboBox* rootList() const { return m_root; }
    QComboBox* scaleList() const { return m_scale; }
    QComboBox* degreeList() const { return m_degrees; }
    QComboBox* rootOctaveList() const { return m_rootOctave; }
    QPushButton* addAsChordButton() const { return m_addAsChord; }
    QPushButton* addAsMelodyButton() const { return m_addAsMelody; }

    // After every change of root or scale (the scale diagram repaints).
    std::function<void()> onScaleChanged;
    std::function<void()> onAddAsChord;
    std::function<void()> onAddAsMelody;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void scaleChosen();
    QRect namesStrip() const;

    QComboBox* m_root;
    QComboBox* m_scale;
    QComboBox* m_degrees;
    QComboBox* m_rootOctave;
    QPushButton* m_addAsChord;
    QPushButton* m_addAsMelody;
};

} // namespace tonvela
