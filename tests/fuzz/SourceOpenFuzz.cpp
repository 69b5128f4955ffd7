// The whole open of a source file: libmpg123's index and the frame scan for
// MP3, the AAC library's index for ADTS and MP4. A file that opens is then
// written out whole, with a gain edit, through the frame rebuilder or the AAC
// writer, so that whatever the open kept is read again. The first input byte
// picks the kind of file; the rest are its bytes.
#include "KvAudioFile.h"
#include "KvEditList.h"
#include "KvEngineFactories.h"

#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("KV_AACWRAP_LIBRARY", QByteArray(KV_AACWRAP_LIBRARY_PATH));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const char *const kSuffix[] = {".mp3", ".aac", ".m4a"};
    const QString base = QDir::tempPath() + QStringLiteral("/kv-open-fuzz-%1").arg(::getpid());
    const QString path = base + QLatin1String(kSuffix[data[0] % 3]);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data + 1), qint64(size - 1));
    }
    bool heAac = false;
    QString error;
    qint64 frames = 0;
    {
        const boost::shared_ptr<KvAudioFile> source = createAudioFileByExtension(path, heAac, error);
        if (source && error.isEmpty()) {
            source->damageReport();
            frames = source->frameCount();
        }
    }
    if (frames > 0) {
        const QString out = base + QStringLiteral("-out") + QLatin1String(kSuffix[data[0] % 3]);
        kvExportEditList(QStringLiteral("src %1 0 -1\ngain 0 %2 3\n").arg(path).arg(frames), out);
        QFile::remove(out);
    }
    QFile::remove(path);
    return 0;
}
