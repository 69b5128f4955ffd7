#pragma once
// The program's manual: a PDF in the program's own folder, opened in the
// desktop's PDF viewer from the Help menu, the Options dialog and the guides.
#include <QString>

class QWidget;

// The manual's file name, "mp3Morvelta_Manual.pdf".
extern const char kvManualFileName[];

// Where the manual lies: the manual's file name in the program's folder.
QString kvManualPath();

// Opens the manual in the default PDF viewer. When it is missing or no viewer
// can be started, a box with parent as its parent says so; false then.
bool openManual(QWidget *parent);
