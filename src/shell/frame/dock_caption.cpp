#include "shell/frame/dock_caption.h"

#include <QDockWidget>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>

namespace tonvela {
namespace {

const QColor kCaptionBackground(24, 24, 24);
constexpr int kPadding = 6;
constexpr int kCloseSize = 18;

// A white cross, drawn rather than taken from the style, whose own crosses are dark.
QIcon closeIcon()
{
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1.6));
    painter.drawLine(QPointF(2.5, 2.5), QPointF(9.5, 9.5));
    painter.drawLine(QPointF(9.5, 2.5), QPointF(2.5, 9.5));
    return QIcon(pixmap);
}

} // namespace

DockCaption::DockCaption(QDockWidget& dock) : QWidget(&dock), m_dock(dock), m_close(new QToolButton(this))
{
    setObjectName(QStringLiteral("dockCaption"));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    m_close->setObjectName(QStringLiteral("dockClose"));
    m_close->setIcon(closeIcon());
    m_close->setAutoRaise(true);
    m_close->setToolTip(QStringLiteral("Hide the panels (View > Show Panels brings them back)"));
    m_close->setFixedSize(kCloseSize, kCloseSize);
    m_close->setFocusPolicy(Qt::NoFocus);
    m_close->setStyleSheet(QStringLiteral("QToolButton { border: none; border-radius: 3px; }"
                                          "QToolButton:hover { background-color: rgb(70, 70, 70); }"));
    connect(m_close, &QToolButton::clicked, this, [this] {
        if (onClose)
            onClose();
    });
    connect(&dock, &QDockWidget::windowTitleChanged, this, [this] {
        setToolTip(m_dock.windowTitle());
        update();
    });
    setToolTip(m_dock.windowTitle());
}

QRect DockCaption::textBox() const
{
    return rect().adjusted(kPadding, 0, -(kCloseSize + 2 * kPadding), 0);
}

QString DockCaption::shownText() const
{
    return fontMetrics().elidedText(m_dock.windowTitle(), Qt::ElideMiddle, textBox().width());
}

QSize DockCaption::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(m_dock.windowTitle()) + kCloseSize + 3 * kPadding,
            std::max(fontMetrics().height(), kCloseSize) + 8};
}

QSize DockCaption::minimumSizeHint() const
{
    return {kCloseSize + 2 * kPadding, sizeHint().height()};
}

void DockCaption::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), kCaptionBackground);
    painter.setPen(Qt::white);
    painter.drawText(textBox(), Qt::AlignLeft | Qt::AlignVCenter, shownText());
}

void DockCaption::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_close->move(width() - kPadding - kCloseSize, (height() - kCloseSize) / 2);
}

} // namespace tonvela
