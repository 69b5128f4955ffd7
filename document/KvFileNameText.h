#pragma once
#include <QString>

// A text usable as a file name: the characters / \ : * ? " < > | ^ replaced (the colon by
// a space, the others by an underscore), control characters made spaces, white space
// collapsed, trailing full stops dropped, trimmed. A name of full stops comes out empty.
QString simplifyText(const QString &text);
