// kvbench scan [--csv] FILE: opens a source file (MP3 or AAC) as the editor
// does and prints what its frame index holds.
#include "KvAudioFile.h"
#include "KvEngineFactories.h"
#include "KvFile.h"
#include "KvMP3AudioFile.h"
#include "KvMP3FrameRepacker.h"
#include "KvMP3FrameSizeInfo.h"
#include "KvMp3Syntax.h"

#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>
#include <vector>

int printAacScan(const boost::shared_ptr<KvAudioFile> &source, bool csv, bool heAac, qint64 nsecs);

namespace {

// The file opened, but not whole: the report is on stderr.
constexpr int kExitDamaged = 3;

int printScan(const boost::shared_ptr<KvAudioFile> &source, bool csv, bool heAac, qint64 nsecs);

const char *modeName(int mode)
{
    static const char *names[] = {"stereo", "joint stereo", "dual channel", "mono"};
    return mode >= 0 && mode < 4 ? names[mode] : "?";
}

const char *versionName(int version)
{
    static const char *names[] = {"MPEG-1", "MPEG-2", "MPEG-2.5"};
    return version >= 0 && version < 3 ? names[version] : "?";
}

// One line per frame: index,offset,bytes,main_data_begin,gains. The gains are
// read again from the frame's side information, every granule and channel.
int printCsv(const KvMP3FrameRepacker &index)
{
    std::printf("index,offset,bytes,main_data_begin,gains\n");
    const KvMP3GainFrameInfo *table = index.frameTable().get();
    const KvFile *file = index.device();
    std::vector<uint8_t> buf(64);
    for (qint64 i = 0; i < index.frameCount(); ++i) {
        const KvMP3GainFrameInfo &rec = table[i];
        KvMp3FrameHeader h{};
        KvMp3SideInfo si{};
        const qint64 n = file->readAt(rec.offset, reinterpret_cast<char *>(buf.data()), qint64(buf.size()));
        const int parsed = n > 0 ? KvMp3ParseFrameStart(buf.data(), size_t(n), h, si) : KvMp3NotEnoughData;
        if (parsed != KvMp3SyntaxOk && parsed != KvMp3BadBlockType) {
            // Damage the scan kept as a broken frame: no length or gains to show.
            if (rec.flags & KvMp3FrameFlag::Broken) {
                std::printf("%lld,%u,0,%u,\n", static_cast<long long>(i), rec.offset, unsigned(rec.mainDataBegin));
                continue;
            }
            std::fprintf(stderr, "frame %lld at %u cannot be read again\n", static_cast<long long>(i), rec.offset);
            return 1;
        }
        QStringList gains;
        for (int gr = 0; gr < KvMp3GranuleCount(h.version); ++gr)
            for (int ch = 0; ch < KvMp3ChannelCount(h.mode); ++ch)
                gains << QString::number(si.ch[ch].gr[gr].global_gain + kKvMp3GainBias);
        std::printf("%lld,%u,%d,%u,%s\n", static_cast<long long>(i), rec.offset,
                    KvMp3FrameLength(h.version, h.bitrate_index, h.sampling_frequency, h.padding),
                    unsigned(rec.mainDataBegin), gains.join(';').toLatin1().constData());
    }
    return 0;
}

} // namespace

int cmdScan(const QStringList &args)
{
    QStringList rest = args;
    const bool csv = rest.removeAll(QStringLiteral("--csv")) > 0;
    if (rest.size() != 1) {
        std::fprintf(stderr, "usage: kvbench scan [--csv] FILE\n");
        return 2;
    }
    const QString path = rest.first();

    QElapsedTimer timer;
    timer.start();
    bool heAac = false;
    QString error;
    const boost::shared_ptr<KvAudioFile> source = createAudioFileByExtension(path, heAac, error);
    const qint64 nsecs = timer.nsecsElapsed();
    if (!source || !error.isEmpty()) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }
    const int result = printScan(source, csv, heAac, nsecs);
    // What the open could not keep as ordinary audio: the sentence the editor shows.
    const QString damage = source->damageReport();
    if (result != 0 || damage.isEmpty())
        return result;
    std::fprintf(stderr, "%s\n", damage.toLocal8Bit().constData());
    return kExitDamaged;
}

namespace {

int printScan(const boost::shared_ptr<KvAudioFile> &source, bool csv, bool heAac, qint64 nsecs)
{
    const int aacResult = printAacScan(source, csv, heAac, nsecs);
    if (aacResult >= 0)
        return aacResult;
    const auto *mp3 = dynamic_cast<const KvMP3AudioFile *>(source.get());
    const KvMP3FrameRepacker *index = mp3 ? mp3->mp3Repacker() : nullptr;
    const KvMP3FrameSizeInfo *format = index ? index->mp3SizeInfo() : nullptr;
    if (!format) {
        std::fprintf(stderr, "not an MP3 or AAC source\n");
        return 1;
    }
    if (csv)
        return printCsv(*index);

    const qint64 frames = source->frameCount();
    const double seconds = double(frames) * format->samplesPerFrame() / format->sampleRate();
    std::printf("file: %s\n", index->path().toLocal8Bit().constData());
    std::printf("frames: %lld\n", static_cast<long long>(frames));
    std::printf("format: %s Layer III, %d Hz, %s, %d samples/frame\n", versionName(format->versionCode()),
                format->sampleRate(), modeName(format->modeCode()), format->samplesPerFrame());
    std::printf("format_key: %s\n", format->formatKey().toLatin1().constData());
    std::printf("bitrate: %s, average %.1f kbit/s\n", format->variableBitrate() ? "variable" : "constant",
                frames > 0 ? double(format->bitrateSum()) / double(frames) : 0.0);
    std::printf("first_frame_offset: %lld\n", static_cast<long long>(index->firstFrameOffset()));
    std::printf("duration: %.3f s\n", seconds);
    std::printf("time: %.3f ms\n", double(nsecs) / 1e6);
    return 0;
}

} // namespace
