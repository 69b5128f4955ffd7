#pragma once
// The application object and the names the program is known by.
#include <QApplication>
#include <QString>

class MainWindow;

// The Qt application name (and so the settings scope), the title of every
// message box and of the window.
extern const QString applicationName;
extern const QString applicationVersion;
// The text of the Options action and the name under which messages point
// the user to the options.
extern const QString optionsDialogName;
extern const QString organizationName;
extern const QString organizationDomain;

// Gives Qt the names above: the settings' place and what the program calls
// itself. Also before the application object exists.
void kvSetApplicationNames();

class MyApplication : public QApplication
{
    Q_OBJECT
public:
    MyApplication(int &argc, char **argv);

    // Not a Qt child: start-up deletes it before the application.
    MainWindow *mainWindow = nullptr;

signals:
    // Once, after the window was first shown and the event queue run once.
    void showMainWinProcessed();
};
