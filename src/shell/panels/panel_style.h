#pragma once

#include <functional>

class QBoxLayout;
class QColor;
class QComboBox;
class QFont;
class QFormLayout;
class QGroupBox;
class QLabel;
class QPainter;
class QPushButton;
class QRect;
class QString;
class QVBoxLayout;
class QWidget;

namespace tonvela {

// The width of the docked panel container.
inline constexpr int kPanelWidth = 268;
// The margin around a panel's groups.
inline constexpr int kPanelMargin = 5;

// Panels are dark grey (34, 34, 34) with white text. Their fields and lists are a lighter grey
// with white text, and their push buttons flat grey; a checked button (a tab, a chosen root)
// shows in the highlight colour, the button with the keyboard focus has a highlight frame.
// Line edits with the property "panelField" have a grey frame, a highlight frame with the focus
// and a red one while their property "invalid" is set (CheckedField). Applies to the widget and
// every widget inside it.
void darkenPanel(QWidget* widget);

// The grey of the display strips the chord and scale panels draw their note names in.
QColor displayBackground();
// The font of those note names: the panel's font, bold and two points larger.
QFont displayFont(const QFont& panelFont);
// A display strip across a panel of `panelWidth`, from `top` down `height` pixels.
QRect displayStrip(int panelWidth, int top, int height);
// Draws the strip's background and frame.
void paintDisplayStrip(QPainter& painter, const QRect& strip);
// Draws note names in the display font from the top left corner of `box`, and a grey caption
// (what the names are of) at its right end when the names leave room for it.
void paintDisplayText(QPainter& painter, const QRect& box, const QString& names, const QString& caption,
                      const QFont& panelFont);

// The panel's top-level layout: its groups one below the other within kPanelMargin.
QVBoxLayout* panelLayout(QWidget* panel);
// The labelled rows of a group: labels in one column, the fields widening to the group's width.
QFormLayout* groupForm(QGroupBox* group);
// Clicks of the button call `callback` (a member of the panel that owns the button) when it is set.
void forwardClicks(QPushButton* button, const std::function<void()>& callback);
// A row of two buttons sharing its width.
QBoxLayout* buttonRow(QPushButton* first, QPushButton* second);

// A small grey caption above a group of buttons ("Root", "Quality").
QLabel* panelCaption(const QString& text);

// A list of a panel, named for tests and with the tooltip saying what it changes; it widens to
// its longest entry.
QComboBox* panelList(const char* objectName, const QString& toolTip);
// A push button of a panel: a Tab stop that Return does not press by default.
QPushButton* panelButton(const char* text, const char* objectName, const QString& toolTip);

} // namespace tonvela
