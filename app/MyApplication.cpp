#include "MyApplication.h"

const QString applicationName = QStringLiteral("mp3Morvelta");
const QString applicationVersion = QStringLiteral("3.2.5.138");
const QString optionsDialogName = QStringLiteral("Options");
const QString organizationName = QStringLiteral("Veltranix Ltd");
// Only macOS files settings under the domain; a reserved name keeps it ours.
const QString organizationDomain = QStringLiteral("veltranix.example");

void kvSetApplicationNames()
{
    QCoreApplication::setOrganizationName(organizationName);
    QCoreApplication::setOrganizationDomain(organizationDomain);
    QCoreApplication::setApplicationName(applicationName);
    QCoreApplication::setApplicationVersion(applicationVersion);
}

MyApplication::MyApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
}
