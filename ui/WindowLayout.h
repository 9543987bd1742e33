#pragma once

class QWidget;

// Fixed window layouts drawn for one font, adapted to the font the platform actually has.
class WindowLayout {
public:
    // Labels keep their place but grow to their text where the platform font needs more room
    // than the layout gave them, so no caption is cut off.
    static void fitLabels(QWidget* window);
};
