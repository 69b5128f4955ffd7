// Small services: the default folder of the user's audio files, the yes/no
// question, the in-window message box answer and the found audio files.
#include "KvQmlController.h"

#include "KvAudioItem.h"

#include <KvUiServices.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString firstLocation(QStandardPaths::StandardLocation location)
{
    const QStringList list = QStandardPaths::standardLocations(location);
    return list.isEmpty() ? QString() : list.first();
}
} // namespace

QString KvQmlController::defaultFilesPath()
{
    const QString music = firstLocation(QStandardPaths::MusicLocation);
    const QString documents = firstLocation(QStandardPaths::DocumentsLocation);
    if (!music.isEmpty() && !QFileInfo::exists(music))
        QDir().mkpath(music);
    if (!music.isEmpty() && QFileInfo::exists(music))
        return music;
    if (!documents.isEmpty() && QFileInfo::exists(documents))
        return documents;
    return QString();
}

QString KvQmlController::defaultFilesDirectory() const
{
    return QUrl::fromLocalFile(defaultFilesPath()).toString();
}

bool KvQmlController::messageBoxWarningInfo(QString message, bool isWarningOkCancel)
{
    const int answer = isWarningOkCancel
        ? uiServices().message(m_messageBoxParent, KvUi::Warning, QCoreApplication::applicationName(), message,
                               KvUi::Ok | KvUi::Cancel, KvUi::Ok)
        : uiServices().message(m_messageBoxParent, KvUi::Information, QCoreApplication::applicationName(), message,
                               KvUi::Yes | KvUi::No, KvUi::Yes);
    return answer == KvUi::Ok || answer == KvUi::Yes;
}

void KvQmlController::msgBoxFixFinished(int value) { m_msgBoxFixAnswer = value; }

int KvQmlController::msgBoxFixFinishedValue() { return m_msgBoxFixAnswer; }

QVariant KvQmlController::searchResults() const
{
    QList<QObject *> found;
    for (KvAudioItem *item : m_searchItems) {
        if (item->artist().contains(m_searchText, Qt::CaseInsensitive)
            || item->album().contains(m_searchText, Qt::CaseInsensitive)
            || item->title().contains(m_searchText, Qt::CaseInsensitive))
            found.append(item);
    }
    return QVariant::fromValue(found);
}
