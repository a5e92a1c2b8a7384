#pragma once
// Names the controls report to the desktop's accessibility interface.

#include <QString>

class QWidget;

// "btnNextFrame" -> "Next frame", "ShotView" -> "Shot view": the component
// prefix (a leading run of lower-case letters) is dropped and the camel-case
// words are split, so a control without caption or hint still gets a name a
// person understands.
QString ShortNameFromObjectName(const QString& objectName);

// Caption, else hint, else the short name of the object name.
QString ControlDisplayName(const QString& caption, const QString& hint, const QString& objectName);
