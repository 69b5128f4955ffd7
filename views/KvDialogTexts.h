#pragma once
// Text adjustments the program's dialogs share.
#include <QString>

class QAbstractButton;

// The placeholder product name of the forms' texts.
extern const char kvFormProductName[];

// Every product name placeholder in text replaced by the application's name in single quotes.
QString withQuotedAppName(QString text);

// A do-not-show-again box reads on one line in a wide dialog and breaks after
// "show this" in a tall one; a text with neither form is left alone.
void reflowShowAgainText(QAbstractButton *box, bool wide);
