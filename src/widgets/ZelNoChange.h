#pragma once
// Sets a control's value without its change signals, for every kind the
// windows use: mask and time edits (the text; a time edit also takes a
// number of microseconds), track bars (the position), combo boxes (an index
// for a number; for a text its index in a drop-down list, else the edit
// text), check boxes and radio buttons (checked), font combo boxes (the font
// name), colour edits (a 0x00BBGGRR number or a colour), radio groups (the
// item index), numeric edits (the value) and any control with a value
// property of its own (the integer edit). Other kinds go to NoChangeSet of
// the common layer. False for a kind nobody knows.

#include <QVariant>

class QObject;

bool SetNoChange(QObject* control, const QVariant& value);
