#pragma once
// A tooltip-like box shown at any screen point the caller chooses, apart from
// the controls' own tooltips: the time tip over the track bar and the clip
// information box. The caller measures first when it places the box relative
// to its size, then shows it; it hides it itself.

#include <QPoint>
#include <QSize>
#include <QString>
#include <memory>

class QWidget;
class THintBox;

class TMHint {
public:
    TMHint();
    ~TMHint();
    TMHint(const TMHint&) = delete;
    TMHint& operator=(const TMHint&) = delete;

    // The box's size for a text: line breaks give lines, and no line is
    // wider than the screen (longer ones wrap).
    QSize GetHintSize(const QString& text) const;
    // Shows the box with its top-left corner at a screen point; called again
    // while shown, it moves and refills it.
    void ShowHintAt(QPoint screenPoint, const QString& text);
    void HideHint();
    bool IsShowing() const;
    QWidget* Window() const;   // the box itself, for pictures and tests

private:
    std::unique_ptr<THintBox> FHintWindow;
};
