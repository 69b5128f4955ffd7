#pragma once
#include <QString>

// A text usable as a file name: the characters / \ : * ? " < > | ^ replaced (the colon by
// a space, the others by an underscore), white space collapsed, trailing full stops
// dropped, trimmed.
QString simplifyText(const QString &text);
