#include "shell/panels/panel_container.h"

#include "shell/panels/chord_panel.h"
#include "shell/panels/panel_fields.h"
#include "shell/panels/panel_style.h"
#include "shell/panels/scale_panel.h"
#include "shell/panels/sheet_options_panel.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

namespace tonvela {
namespace {

constexpr int kWheelNotch = 120;
// Space kept above or below a control scrolled into view.
constexpr int kFocusMargin = 4;

} // namespace

PanelContainer::PanelContainer(QWidget* parent)
    : QWidget(parent), m_sheetPanel(new SheetOptionsPanel), m_chordPanel(new ChordPanel),
      m_scalePanel(new ScalePanel), m_panels{m_sheetPanel, m_chordPanel, m_scalePanel},
      m_viewport(new QWidget(this)), m_scrollBar(new QScrollBar(Qt::Vertical, this)), m_tabs{}
{
    darkenPanel(this);
    auto* group = new QButtonGroup(this);
    const QString names[3] = {QStringLiteral("Sheet"), QStringLiteral("Chords"), QStringLiteral("Scale")};
    const QString tips[3] = {
        QStringLiteral("Track and note settings of the active sheet"),
        QStringLiteral("Chords from the guitar library or built from a root and quality"),
        QStringLiteral("Scales and their notes, added to the sheet")};
    for (int i = 0; i < 3; ++i) {
        m_tabs[i] = new QPushButton(names[i], this);
        m_tabs[i]->setCheckable(true);
        m_tabs[i]->setAutoDefault(false);
        m_tabs[i]->setToolTip(tips[i]);
        group->addButton(m_tabs[i], i);
    }
    m_tabs[0]->setChecked(true);

    m_viewport->installEventFilter(this);
    auto* shortcutPass = new DocumentShortcutPass(this);
    for (QWidget* panel : m_panels) {
        shortcutPass->watchFieldsOf(panel);
        panel->setParent(m_viewport);
        panel->hide();
        keepWheelFromFields(panel);
    }
    m_sheetPanel->show();

    m_scrollBar->setObjectName(QStringLiteral("panelScrollBar"));
    m_scrollBar->setSingleStep(kScrollLine);
    m_scrollBar->setPageStep(kScrollPage);
    m_scrollBar->hide();
    connect(m_scrollBar, &QScrollBar::valueChanged, this, [this] { placePanel(); });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { scrollIntoView(now); });

    connect(group, &QButtonGroup::idClicked, this, [this](int id) {
        showPanel(static_cast<Panel>(id));
        if (onPanelChosen)
            onPanelChosen(static_cast<Panel>(id));
    });
    setFixedWidth(kPanelWidth);
    arrange();
}

QPushButton* PanelContainer::tabButton(Panel panel) const
{
    return m_tabs[static_cast<size_t>(panel)];
}

void PanelContainer::showPanel(Panel panel)
{
    if (panel != m_current) {
        panelWidget(m_current)->hide();
        m_current = panel;
        m_scrollBar->setValue(0);
    }
    panelWidget(panel)->show();
    m_tabs[static_cast<size_t>(panel)]->setChecked(true);
    arrange();
}

int PanelContainer::scrollPosition() const
{
    return m_scrollBar->isHidden() ? 0 : m_scrollBar->value();
}

int PanelContainer::panelHeight() const
{
    const QWidget* panel = panelWidget(m_current);
    const int wanted =
        panel->hasHeightForWidth() ? panel->heightForWidth(kPanelWidth) : panel->sizeHint().height();
    return std::max(wanted, panel->minimumSizeHint().height());
}

int PanelContainer::room() const
{
    return std::max(0, height() - kTabHeight);
}

void PanelContainer::arrange()
{
    if (m_arranging)
        return;
    m_arranging = true;
    const int needed = panelHeight();
    const int excess = std::max(0, needed - room());
    const bool scrolls = excess > 0;
    setFixedWidth(kPanelWidth + (scrolls ? kPanelScrollBarWidth : 0));
    for (int i = 0; i < 3; ++i) {
        const int left = i * width() / 3;
        m_tabs[i]->setGeometry(left, 0, (i + 1) * width() / 3 - left, kTabHeight);
    }
    m_viewport->setGeometry(0, kTabHeight, kPanelWidth, room());
    m_scrollBar->setGeometry(kPanelWidth, kTabHeight, kPanelScrollBarWidth, room());
    m_scrollBar->setRange(0, excess);
    m_scrollBar->setPageStep(kScrollPage);
    m_scrollBar->setVisible(scrolls);
    placePanel();
    m_arranging = false;
}

void PanelContainer::placePanel()
{
    const int offset = m_scrollBar->isHidden() ? 0 : m_scrollBar->value();
    panelWidget(m_current)->setGeometry(0, -offset, kPanelWidth, std::max(panelHeight(), room()));
}

void PanelContainer::scrollBy(int pixels)
{
    if (!m_scrollBar->isHidden())
        m_scrollBar->setValue(m_scrollBar->value() + pixels);
}

void PanelContainer::scrollIntoView(QWidget* focused)
{
    QWidget* panel = panelWidget(m_current);
    if (!focused || m_scrollBar->isHidden() || !panel->isAncestorOf(focused))
        return;
    const int top = focused->mapTo(panel, QPoint(0, 0)).y();
    const int bottom = top + focused->height();
    const int shownTop = m_scrollBar->value();
    if (top < shownTop)
        m_scrollBar->setValue(top - kFocusMargin);
    else if (bottom > shownTop + room())
        m_scrollBar->setValue(bottom - room() + kFocusMargin);
}

void PanelContainer::keepWheelFromFields(QWidget* panel)
{
    for (QComboBox* list : panel->findChildren<QComboBox*>())
        list->installEventFilter(this);
    for (QAbstractSpinBox* field : panel->findChildren<QAbstractSpinBox*>())
        field->installEventFilter(this);
}

void PanelContainer::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange();
}

void PanelContainer::wheelEvent(QWheelEvent* event)
{
    // Fine-grained wheels and touchpads send parts of a notch; whole notches scroll.
    m_wheelRemainder += event->angleDelta().y();
    while (m_wheelRemainder >= kWheelNotch) {
        m_wheelRemainder -= kWheelNotch;
        scrollBy(-kScrollWheel);
    }
    while (m_wheelRemainder <= -kWheelNotch) {
        m_wheelRemainder += kWheelNotch;
        scrollBy(kScrollWheel);
    }
    event->accept();
}

bool PanelContainer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_viewport && event->type() == QEvent::LayoutRequest) {
        // A panel's height changed (a group shown or hidden).
        arrange();
        return false;
    }
    if (event->type() == QEvent::Wheel) {
        // A wheel meant to scroll the panel must not change a value on its way.
        auto* field = qobject_cast<QWidget*>(watched);
        if (field && !field->hasFocus()) {
            wheelEvent(static_cast<QWheelEvent*>(event));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tonvela
