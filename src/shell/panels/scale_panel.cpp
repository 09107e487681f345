#include "shell/panels/scale_panel.h"

#include "shell/panels/panel_style.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tonvela {

ScalePanel::ScalePanel(QWidget* parent) : QWidget(parent)
{
    darkenPanel(this);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Scale Diagram"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* body = new QLabel(QStringLiteral("The scale chooser and fretboard are not part of this build."));
    body->setWordWrap(true);
    layout->addWidget(title);
    layout->addWidget(body);
    layout->addStretch(1);
}

} // namespace tonvela
