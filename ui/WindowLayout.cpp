#include "WindowLayout.h"

#include <QLabel>
#include <algorithm>

void WindowLayout::fitLabels(QWidget* window)
{
    for (QLabel* label : window->findChildren<QLabel*>()) {
        const QSize hint = label->sizeHint();
        label->resize(std::max(label->width(), hint.width()), std::max(label->height(), hint.height()));
    }
}
