#include "KvEngineFactories.h"

#include "KvMP3AudioFile.h"

#include <QObject>

boost::shared_ptr<KvAudioFile> createAudioFileByExtension(const QString &path, bool &heAac, QString &error)
{
    heAac = false;
    if (path.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive)) {
        boost::shared_ptr<KvAudioFile> file(new KvMP3AudioFile);
        error = file->open(path);
        return file;
    }
    error = QObject::tr("Internal error: unsupported file extension");
    return boost::shared_ptr<KvAudioFile>();
}
