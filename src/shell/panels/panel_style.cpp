#include "shell/panels/panel_style.h"

#include <QPalette>
#include <QWidget>

namespace tonvela {

void darkenPanel(QWidget* widget)
{
    widget->setAutoFillBackground(true);
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, QColor(34, 34, 34));
    p.setColor(QPalette::WindowText, Qt::white);
    widget->setPalette(p);
}

} // namespace tonvela
