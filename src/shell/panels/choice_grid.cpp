#include "shell/panels/choice_grid.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QKeyEvent>
#include <QPushButton>

#include <algorithm>

namespace tonvela {

ChoiceGrid::ChoiceGrid(const std::vector<QString>& texts, int columns, QWidget* parent)
    : QWidget(parent), m_group(new QButtonGroup(this)), m_columns(std::max(1, columns))
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(4);
    m_group->setExclusive(true);
    for (const QString& text : texts) {
        const int index = static_cast<int>(m_buttons.size());
        auto* b = new QPushButton(text);
        b->setObjectName(QStringLiteral("choice")); // narrow padding in the panel style
        b->setCheckable(true);
        b->setAutoDefault(false);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        b->installEventFilter(this);
        m_group->addButton(b, index);
        grid->addWidget(b, index / m_columns, index % m_columns);
        m_buttons.push_back(b);
    }
    // Equal columns when there is room; when there is not, each keeps what its longest text needs.
    for (int c = 0; c < m_columns; ++c)
        grid->setColumnStretch(c, 1);
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) { clicked(id); });
    updateTabStop();
}

QPushButton* ChoiceGrid::button(int index) const
{
    if (index < 0 || index >= count())
        return nullptr;
    return m_buttons[static_cast<std::size_t>(index)];
}

void ChoiceGrid::choose(int index)
{
    QPushButton* b = button(index);
    if (!b)
        return;
    m_chosen = index;
    b->setChecked(true);
    updateTabStop();
}

QPushButton* ChoiceGrid::focusButton() const
{
    return button(m_chosen >= 0 ? m_chosen : 0);
}

void ChoiceGrid::clicked(int index)
{
    choose(index);
    if (onChosen)
        onChosen(index);
}

// Only one button is a Tab stop; the others take the focus from a click or an arrow key.
void ChoiceGrid::updateTabStop()
{
    QPushButton* stop = focusButton();
    for (QPushButton* b : m_buttons)
        b->setFocusPolicy(b == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

// The grid's move for a key on button `from`, or -1 when the key is not one of its keys.
int ChoiceGrid::target(int from, const QKeyEvent& key) const
{
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return -1;
    switch (key.key()) {
    case Qt::Key_Left:
        return std::max(0, from - 1);
    case Qt::Key_Right:
        return std::min(count() - 1, from + 1);
    case Qt::Key_Up:
        return from - m_columns >= 0 ? from - m_columns : from;
    case Qt::Key_Down:
        return from + m_columns < count() ? from + m_columns : from;
    case Qt::Key_Home:
        return 0;
    case Qt::Key_End:
        return count() - 1;
    default:
        return -1;
    }
}

bool ChoiceGrid::eventFilter(QObject* watched, QEvent* event)
{
    const bool press = event->type() == QEvent::KeyPress;
    if (!press && event->type() != QEvent::ShortcutOverride)
        return QWidget::eventFilter(watched, event);
    const auto it = std::find(m_buttons.begin(), m_buttons.end(), watched);
    if (it == m_buttons.end())
        return QWidget::eventFilter(watched, event);
    const int from = static_cast<int>(it - m_buttons.begin());
    const int to = target(from, *static_cast<QKeyEvent*>(event));
    if (to < 0)
        return QWidget::eventFilter(watched, event);
    // The grid's keys are the grid's own: no accelerator of the window takes them, and at the
    // grid's edges they are used up without moving a scroll bar.
    event->accept();
    if (press && to != from) {
        button(to)->setFocus(Qt::TabFocusReason);
        clicked(to);
    }
    return true;
}

} // namespace tonvela
