#include "shell/panels/chord_panel.h"

#include "shell/panels/panel_style.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tonvela {

ChordPanel::ChordPanel(QWidget* parent) : QWidget(parent)
{
    darkenPanel(this);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Chord Diagrammer"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* body = new QLabel(
        QStringLiteral("Chord construction and the guitar chord library are not part of this build. "
                       "Chord documents open, show their diagrams and save."));
    body->setWordWrap(true);
    layout->addWidget(title);
    layout->addWidget(body);
    layout->addStretch(1);
}

} // namespace tonvela
