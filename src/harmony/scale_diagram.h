#pragma once

#include "drawing/canvas.h"
#include "theory/scale.h"

#include <cstdint>
#include <string>
#include <utility>

namespace tonvela {

// Scroll steps of the scale diagram window, in pixels.
inline constexpr int kScaleScrollLine = 10;
inline constexpr int kScaleScrollPage = 55;
// The window paints at most once in this many milliseconds.
inline constexpr int kScalePaintIntervalMs = 11;
// The window's clear colour around the picture.
inline constexpr Color kScaleDiagramBackground{128, 128, 128};

enum class ScrollAxis { Horizontal, Vertical };
enum class ScrollStep { LineBack, LineForward, PageBack, PageForward };

// One scroll bar: the position runs from 0 to the maximum, content size minus client size.
struct ScrollRange {
    int position = 0;
    int maximum = 0;
};

// What the scale diagram window shows: the fretboard picture scrolled inside the client area
// with the marks of the chosen scale. Owns the scroll state and the scale shown; the window
// owns the picture and the drawing surface.
//
// Thread rules: user-interface thread.
class ScaleDiagramView {
  public:
    // Recomputes both maxima for a client area of this size; positions past a new maximum
    // move back to it.
    void setClientSize(int width, int height);
    int clientWidth() const { return m_clientWidth; }
    int clientHeight() const { return m_clientHeight; }

    const ScrollRange& range(ScrollAxis axis) const;
    // A line or page towards one end; nothing when already there. True when it moved.
    bool scroll(ScrollAxis axis, ScrollStep step);
    // The thumb's position, kept between 0 and the maximum. True when it moved.
    bool setPosition(ScrollAxis axis, int position);

    const ScaleSelection& selection() const { return m_selection; }
    void setSelection(const ScaleSelection& selection) { m_selection = selection; }
    // The open strings the board shows (fretboard.h): standard, or the tuning of the tablature
    // the user works on.
    const std::string& openStrings() const { return m_openStrings; }
    void setOpenStrings(std::string openStrings) { m_openStrings = std::move(openStrings); }

    // Clears the client area to mid grey, copies the picture (when given) scrolled to the
    // current positions, then marks the scale's notes on it when a scale is chosen.
    void paint(Canvas& canvas, const Picture* fretboard) const;

  private:
    ScrollRange& rangeOf(ScrollAxis axis);

    int m_clientWidth = 0;
    int m_clientHeight = 0;
    ScrollRange m_horizontal;
    ScrollRange m_vertical;
    ScaleSelection m_selection;
    std::string m_openStrings{"EBGDAE"};
};

// Keeps paints at least an interval apart without losing one: a paint asked for within the
// interval is owed, and is due when the interval ends, so the last state always shows.
class PaintThrottle {
  public:
    explicit PaintThrottle(int intervalMs = kScalePaintIntervalMs) : m_intervalMs(intervalMs) {}

    // True when a paint may run at `nowMs` (it is then taken as the last paint); false when
    // the last paint was less than the interval ago, and the paint is owed.
    bool tryPaint(int64_t nowMs);
    // A paint asked for inside the interval has not run yet.
    bool owed() const { return m_owed; }
    // Milliseconds from `nowMs` until an owed paint may run (0 when it may run now).
    int64_t dueInMs(int64_t nowMs) const;
    // A paint that must not wait (the surface was recreated) ran at `nowMs`.
    void painted(int64_t nowMs);

  private:
    int m_intervalMs;
    bool m_painted = false;
    bool m_owed = false;
    int64_t m_lastMs = 0;
};

} // namespace tonvela
