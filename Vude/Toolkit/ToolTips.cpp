#include "Vude/Toolkit/ToolTips.h"

#include <QWidget>

void showToolTipsWhileInactive(QWidget& widget)
{
    if (QWidget* window = widget.window())
        window->setAttribute(Qt::WA_AlwaysShowToolTips);
}
