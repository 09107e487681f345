#include "shell/frame/about_box.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tonvela {

QDialog* createAboutBox(QWidget* parent)
{
    auto* about = new QDialog(parent);
    about->setWindowTitle(QStringLiteral("About Tonvela"));
    about->setModal(false);
    about->resize(600, 500);
    QPalette p = about->palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::black);
    about->setPalette(p);
    about->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(about);
    auto* title =
        new QLabel(QStringLiteral("<h2>Tonvela</h2><p>Sheet editing, MIDI playing and chord diagrams "
                                  "for the Linux desktop.</p>"));
    auto* author =
        new QLabel(QStringLiteral("<p>Written by the Tonvela developers. Questions, bug reports and "
                                  "ideas are welcome at %1.</p>")
                       .arg(QString::fromUtf8(kWebsiteAddress)));
    author->setWordWrap(true);
    auto* keys =
        new QLabel(QStringLiteral("Keyboard Input:\nW - whole, H - half, Q - quarter, E - eight, Y - "
                                  "sixteenth\nR - rest, S - sharp, F - flat, D - dot, T - tie"));
    keys->setObjectName(QStringLiteral("keyboardInput"));
    auto* tips =
        new QLabel(QStringLiteral("<p>Tips: hold Ctrl and turn the mouse wheel to zoom a sheet. Opening a "
                                  ".shd file from the file manager brings it into the running Tonvela.</p>"));
    tips->setWordWrap(true);
    auto* close = new QPushButton(QStringLiteral("Close"));
    QObject::connect(close, &QPushButton::clicked, about, &QDialog::hide);
    layout->addWidget(title);
    layout->addWidget(author);
    layout->addWidget(keys);
    layout->addWidget(tips);
    layout->addStretch(1);
    layout->addWidget(close, 0, Qt::AlignRight);
    return about;
}

} // namespace tonvela
