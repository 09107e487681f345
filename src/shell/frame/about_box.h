#pragma once

class QDialog;
class QWidget;

namespace tonvela {

// The vendor's web page, opened by "Website" and named in the About box.
inline constexpr const char* kWebsiteAddress = "https://tonvela.org/";

// The About box: 600 x 500, white with black text, the program's name and purpose, who wrote
// it, the keyboard input keys and a few tips, and a "Close" button that hides it. Modeless
// and hidden until shown.
QDialog* createAboutBox(QWidget* parent);

} // namespace tonvela
