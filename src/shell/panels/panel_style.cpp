#include "shell/panels/panel_style.h"

#include <QColor>
#include <QComboBox>
#include <QFont>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QWidget>

namespace tonvela {
namespace {

const QColor kBackground(34, 34, 34);
const QColor kField(52, 52, 52);
const QColor kButton(60, 60, 60);
const QColor kHighlight(42, 130, 218);
const QColor kDisabledText(128, 128, 128);

// Push buttons are drawn by the style sheet so that checked and focused buttons read clearly on
// the dark grey, and spin boxes so that their arrows are white triangles on buttons of their
// own (grey at the end of the range); lists keep the style's own drawing in the dark palette.
const char* const kButtonSheet = R"(
QPushButton {
    background-color: rgb(60, 60, 60);
    color: white;
    border: 1px solid rgb(84, 84, 84);
    border-radius: 3px;
    padding: 3px 6px;
}
QPushButton:hover { background-color: rgb(74, 74, 74); border-color: rgb(110, 110, 110); }
QPushButton:pressed { background-color: rgb(32, 98, 166); }
QPushButton:checked { background-color: rgb(42, 130, 218); border-color: rgb(42, 130, 218); }
QPushButton:focus { border-color: rgb(120, 180, 240); }
QPushButton:disabled { color: rgb(128, 128, 128); border-color: rgb(64, 64, 64); }
QPushButton#choice { padding: 3px 3px; }
QAbstractSpinBox {
    background-color: rgb(52, 52, 52);
    color: white;
    border: 1px solid rgb(84, 84, 84);
    border-radius: 3px;
    padding: 2px 22px 2px 4px;
    selection-background-color: rgb(42, 130, 218);
}
QAbstractSpinBox:focus { border-color: rgb(120, 180, 240); }
QAbstractSpinBox:disabled { color: rgb(128, 128, 128); }
QAbstractSpinBox::up-button, QAbstractSpinBox::down-button {
    subcontrol-origin: border;
    width: 18px;
    background-color: rgb(68, 68, 68);
    border-left: 1px solid rgb(84, 84, 84);
}
QAbstractSpinBox::up-button { subcontrol-position: top right; border-top-right-radius: 3px; }
QAbstractSpinBox::down-button { subcontrol-position: bottom right; border-bottom-right-radius: 3px; }
QAbstractSpinBox::up-button:hover, QAbstractSpinBox::down-button:hover { background-color: rgb(88, 88, 88); }
QAbstractSpinBox::up-button:pressed, QAbstractSpinBox::down-button:pressed { background-color: rgb(42, 130, 218); }
QAbstractSpinBox::up-arrow { image: url(:/panels/spin_up.xpm); width: 9px; height: 5px; }
QAbstractSpinBox::down-arrow { image: url(:/panels/spin_down.xpm); width: 9px; height: 5px; }
QAbstractSpinBox::up-arrow:off, QAbstractSpinBox::up-arrow:disabled { image: url(:/panels/spin_up_off.xpm); }
QAbstractSpinBox::down-arrow:off, QAbstractSpinBox::down-arrow:disabled { image: url(:/panels/spin_down_off.xpm); }
QScrollBar:vertical {
    background-color: rgb(40, 40, 40);
    width: 15px;
    margin: 0px;
}
QScrollBar::handle:vertical {
    background-color: rgb(90, 90, 90);
    border-radius: 4px;
    min-height: 24px;
    margin: 2px 3px;
}
QScrollBar::handle:vertical:hover { background-color: rgb(120, 120, 120); }
QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0px; }
QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }
QLabel { color: white; }
QLineEdit[panelField="true"] {
    background-color: rgb(52, 52, 52);
    color: white;
    border: 1px solid rgb(84, 84, 84);
    border-radius: 3px;
    padding: 2px 4px;
    selection-background-color: rgb(42, 130, 218);
}
QLineEdit[panelField="true"]:focus { border-color: rgb(120, 180, 240); }
QLineEdit[panelField="true"]:disabled { color: rgb(128, 128, 128); border-color: rgb(64, 64, 64); }
QLineEdit[panelField="true"][invalid="true"] { border-color: rgb(235, 87, 87); }
QLabel#panelCaption { color: rgb(170, 170, 170); }
QToolTip {
    color: white;
    background-color: rgb(52, 52, 52);
    border: 1px solid rgb(110, 110, 110);
    padding: 3px;
}
QGroupBox {
    font-weight: bold;
    border: 1px solid rgb(72, 72, 72);
    border-radius: 4px;
    margin-top: 9px;
    padding-top: 6px;
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 8px;
    padding: 0px 4px;
    color: white;
}
)";

} // namespace

void darkenPanel(QWidget* widget)
{
    widget->setAutoFillBackground(true);
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, kBackground);
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Base, kField);
    p.setColor(QPalette::AlternateBase, kButton);
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::Button, kButton);
    p.setColor(QPalette::ButtonText, Qt::white);
    p.setColor(QPalette::Highlight, kHighlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, kDisabledText);
    p.setColor(QPalette::Light, QColor(80, 80, 80));
    p.setColor(QPalette::Midlight, QColor(70, 70, 70));
    p.setColor(QPalette::Mid, QColor(46, 46, 46));
    p.setColor(QPalette::Dark, QColor(24, 24, 24));
    p.setColor(QPalette::Shadow, Qt::black);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, kDisabledText);
    widget->setPalette(p);
    widget->setStyleSheet(QString::fromLatin1(kButtonSheet));
}

QColor displayBackground()
{
    return QColor(46, 46, 46);
}

QFont displayFont(const QFont& panelFont)
{
    QFont f = panelFont;
    f.setBold(true);
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() + 2);
    else
        f.setPixelSize(f.pixelSize() + 3);
    return f;
}

QRect displayStrip(int panelWidth, int top, int height)
{
    const int inset = kPanelMargin - 2;
    return {inset, top, panelWidth - 2 * inset, height};
}

void paintDisplayStrip(QPainter& painter, const QRect& strip)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(70, 70, 70));
    painter.setBrush(displayBackground());
    painter.drawRoundedRect(QRectF(strip).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter.restore();
}

void paintDisplayText(QPainter& painter, const QRect& box, const QString& names, const QString& caption,
                      const QFont& panelFont)
{
    painter.save();
    const QFont font = displayFont(panelFont);
    painter.setPen(Qt::white);
    painter.setFont(font);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, names);
    const QRect captionBox = box.adjusted(QFontMetrics(font).horizontalAdvance(names) + 12, 2, 0, 0);
    if (captionBox.width() > QFontMetrics(panelFont).horizontalAdvance(caption)) {
        painter.setPen(QColor(170, 170, 170));
        painter.setFont(panelFont);
        painter.drawText(captionBox, Qt::AlignRight | Qt::AlignTop, caption);
    }
    painter.restore();
}

QVBoxLayout* panelLayout(QWidget* panel)
{
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(kPanelMargin, kPanelMargin, kPanelMargin, kPanelMargin + 2);
    layout->setSpacing(0);
    return layout;
}

QFormLayout* groupForm(QGroupBox* group)
{
    auto* form = new QFormLayout(group);
    form->setContentsMargins(8, 6, 8, 8);
    form->setVerticalSpacing(4);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    return form;
}

void forwardClicks(QPushButton* button, const std::function<void()>& callback)
{
    QObject::connect(button, &QPushButton::clicked, button, [&callback] {
        if (callback)
            callback();
    });
}

QBoxLayout* buttonRow(QPushButton* first, QPushButton* second)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    row->addWidget(first);
    row->addWidget(second);
    return row;
}

QLabel* panelCaption(const QString& text)
{
    auto* label = new QLabel(text);
    label->setObjectName(QStringLiteral("panelCaption")); // grey by the style sheet
    return label;
}

QComboBox* panelList(const char* objectName, const QString& toolTip)
{
    auto* list = new QComboBox;
    list->setObjectName(QString::fromLatin1(objectName));
    list->setToolTip(toolTip);
    // The field takes the room the panel gives it; its longest entry fits that room, and the
    // open list shows every entry whole.
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setMinimumContentsLength(6);
    list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return list;
}

QPushButton* panelButton(const char* text, const char* objectName, const QString& toolTip)
{
    auto* b = new QPushButton(QString::fromLatin1(text));
    b->setObjectName(QString::fromLatin1(objectName));
    b->setToolTip(toolTip);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

} // namespace tonvela
