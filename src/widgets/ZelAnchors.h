#pragma once
// Anchors, as the forms are described: a control anchored to a side of its
// parent keeps its distance to that side when the parent resizes; anchored to
// both opposite sides it stretches. Forms place every control once through
// SetBounds and never do resize arithmetic of their own.

#include <QRect>

class QWidget;

enum TAnchor : int {
    akLeft = 1,
    akTop = 2,
    akRight = 4,
    akBottom = 8,
    akTopLeft = akLeft | akTop,
    akTopRight = akTop | akRight,
    akBottomLeft = akLeft | akBottom,
    akBottomRight = akRight | akBottom,
    akLeftTopRight = akLeft | akTop | akRight,
    akLeftTopBottom = akLeft | akTop | akBottom,
    akTopRightBottom = akTop | akRight | akBottom,
    akLeftRightBottom = akLeft | akRight | akBottom,
    akAll = akLeft | akTop | akRight | akBottom,
};

// Places the control at bounds (in its parent's coordinates, as the parent is
// sized now) and keeps it anchored from then on.
void SetBounds(QWidget* control, const QRect& bounds, int anchors = akTopLeft);
// Changes the anchors (or the bounds) of a control placed before; the
// distances are taken again from where it is now.
void SetAnchors(QWidget* control, int anchors);
int AnchorsOf(const QWidget* control);

// Where a control anchored this way goes when its parent changes from
// `from` to `to`: the rule itself, free of widgets.
QRect AnchoredBounds(const QRect& bounds, const QSize& from, const QSize& to, int anchors);
