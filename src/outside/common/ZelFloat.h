#pragma once
// The decimal separator behind FloatToStrSys (declared with StrToFloatDefEx
// in Zelfunction.h). It is the system locale's; tests replace its source to
// write files as a decimal-comma system would.

#include <QChar>
#include <functional>

QChar SystemDecimalSeparator();
// An empty function restores the system locale's separator.
void SetDecimalSeparatorSource(std::function<QChar()> source);
