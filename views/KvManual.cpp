#include "KvManual.h"

#include "KvMessageBox.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

const char kvManualFileName[] = "mp3Morvelta_Manual.pdf";

QString kvManualPath()
{
    return QCoreApplication::applicationDirPath() + QDir::separator() + QLatin1String(kvManualFileName);
}

bool openManual(QWidget *parent)
{
    const QString path = kvManualPath();
    // The desktop's opener reports a missing file nowhere a person looks.
    if (!QFileInfo(path).isFile()) {
        criticalMessageBox(parent, applicationTitle(),
                           QCoreApplication::translate("KvManual", "The manual was not found:\n%1")
                               .arg(QDir::toNativeSeparators(path)),
                           QMessageBox::Ok);
        return false;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        criticalMessageBox(parent, applicationTitle(),
                           QCoreApplication::translate("KvManual", "Unable to launch the default PDF viewer"),
                           QMessageBox::Ok);
        return false;
    }
    return true;
}
