#include "shell/panels/panel_container.h"

#include "shell/panels/chord_panel.h"
#include "shell/panels/panel_style.h"
#include "shell/panels/scale_panel.h"
#include "shell/panels/sheet_options_panel.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tonvela {

PanelContainer::PanelContainer(QWidget* parent)
    : QWidget(parent), m_sheetPanel(new SheetOptionsPanel), m_chordPanel(new ChordPanel),
      m_scalePanel(new ScalePanel), m_stack(new QStackedWidget), m_scroll(new QScrollArea)
{
    darkenPanel(this);
    setMinimumWidth(kPanelWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* tabs = new QHBoxLayout;
    tabs->setSpacing(0);
    auto* group = new QButtonGroup(this);
    const QString names[3] = {QStringLiteral("Sheet"), QStringLiteral("Chords"), QStringLiteral("Scale")};
    for (int i = 0; i < 3; ++i) {
        m_tabs[i] = new QPushButton(names[i]);
        m_tabs[i]->setCheckable(true);
        m_tabs[i]->setFixedHeight(22);
        group->addButton(m_tabs[i], i);
        tabs->addWidget(m_tabs[i]);
    }
    m_tabs[0]->setChecked(true);
    layout->addLayout(tabs);

    m_stack->addWidget(m_sheetPanel);
    m_stack->addWidget(m_chordPanel);
    m_stack->addWidget(m_scalePanel);
    m_scroll->setWidget(m_stack);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    layout->addWidget(m_scroll, 1);

    connect(group, &QButtonGroup::idClicked, this, [this](int id) {
        showPanel(static_cast<Panel>(id));
        if (onPanelChosen)
            onPanelChosen(static_cast<Panel>(id));
    });
}

QPushButton* PanelContainer::tabButton(Panel panel) const
{
    return m_tabs[static_cast<int>(panel)];
}

void PanelContainer::showPanel(Panel panel)
{
    m_current = panel;
    m_stack->setCurrentIndex(static_cast<int>(panel));
    m_tabs[static_cast<int>(panel)]->setChecked(true);
}

} // namespace tonvela
