#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QRect>
#include <QString>

#include <vector>

class QPushButton;

namespace tonvela {

// The vendor's web page, opened by "Website" and named in the About box.
inline constexpr const char* kWebsiteAddress = "https://tonvela.org/";

// The program's version and licence, as the build names them.
QString programVersion();
QString programLicence();

// One text of the About box: where it is drawn, in which font, how.
struct AboutText {
    QString text;
    QRect box;
    QFont font;
    int flags;
    QColor color = Qt::black;
};

// The About box: 600 x 500, black text on white, modeless and hidden until shown. It draws the
// title line "Tonvela" with what the program is for at (40, 40); who writes it and where to
// ask at (90, 60); the keyboard input keys in a box 400 pixels wide at (220, 150); the version
// and the licence; and tips at (160, 400). "Close" hides it. It opens at (50, 50) of the
// document area it is given.
//
// Thread rules: user-interface thread.
class AboutBox : public QDialog {
  public:
    AboutBox(QWidget* parent, QWidget* documentArea);

    // The texts in drawing order, laid out for the box's font.
    std::vector<AboutText> texts() const;
    QPushButton* closeButton() const { return m_close; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* m_documentArea;
    QPushButton* m_close;
};

} // namespace tonvela
