// The help tour of the touch interface and the usage flags it waits for.
#include "KvQmlController.h"

#include <QSettings>

void KvQmlController::setHelpUsage(const char *name)
{
    QSettings().setValue(QStringLiteral("HelpUsage/") + QLatin1String(name), true);
}

void KvQmlController::setShowHelp(bool show)
{
    assignAndNotify(m_showHelp, show, &KvQmlController::showHelpChanged);
}

void KvQmlController::setActiveHelpName(const QString &name)
{
    assignAndNotify(m_activeHelpName, name, &KvQmlController::activeHelpNameChanged);
}

void KvQmlController::setNavDrawerPaneName(const QString &name)
{
    assignAndNotify(m_navDrawerPaneName, name, &KvQmlController::navDrawerPaneNameChanged);
}

void KvQmlController::actionTakeTour()
{
}

void KvQmlController::actionCancelTour()
{
}
