// The playback generator read directly (as the decode thread does): a document range
// decoded exactly, with volume, tempo and channel widening, reads of any size, and every
// way a range can fail ending the range instead of leaving its reader waiting.
#include "AudioTestUtil.h"
#include "KvEncoderFactory.h"
#include "KvFrameSizeInfo.h"
#include "KvRepackInfoPtrList.h"
#include "PlaybackTestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>

using namespace kvplaytest;

namespace {
// Reads the generator dry in reads of `block` bytes, as a decode loop does: while the
// range has retries left. Gives up (failing the test) after `limit` reads.
QByteArray readAll(KvAudioGenerator &g, int block, int limit = 200000)
{
    QByteArray pcm, buf(block, '\0');
    int reads = 0;
    while (g.retriesLeft() > 0) {
        const qint64 n = g.read(buf.data(), block);
        EXPECT_GE(n, 0);
        if (n > 0)
            pcm.append(buf.constData(), int(n));
        if (++reads > limit) {
            ADD_FAILURE() << "the range never ran dry";
            break;
        }
    }
    return pcm;
}

struct ReadCase {
    const char *fixture;
    int frames;
    int block;  // bytes per read
    int channelsOut;
};

// The test's name gives the read size and the channels.
void PrintTo(const ReadCase &c, std::ostream *os) { *os << c.fixture; }

class GeneratorDecode : public ::testing::TestWithParam<ReadCase> {};
} // namespace

TEST_P(GeneratorDecode, DeliversExactlyTheDecodedFramesWhateverTheReadSize)
{
    const ReadCase c = GetParam();
    const DocPtr doc = documentOf(c.fixture, 0, c.frames);
    const QVector<QByteArray> frames = sourceFrames(doc);
    ASSERT_EQ(frames.size(), c.frames);
    const auto info = doc->firstSourceInfo();
    const QByteArray expected = decodeFrames(frames, info->sampleRate(), info->channelCount());
    ASSERT_EQ(expected.size(), c.frames * info->samplesPerFrame() * info->channelCount() * 2);

    KvAudioGenerator g(nullptr, doc, 1.0, c.channelsOut, nullptr, true);
    QSignalSpy dry(&g, SIGNAL(rangeRunDry()));
    QSignalSpy failed(&g, SIGNAL(rangeFailed(QString)));
    ASSERT_TRUE(g.start(0, -1));
    const QByteArray pcm = readAll(g, c.block);
    EXPECT_EQ(failed.count(), 0);
    EXPECT_EQ(dry.count(), 1);
    EXPECT_TRUE(g.rangeExhausted());

    if (c.channelsOut == 2 && info->channelCount() == 1) {
        // Widened: both channels carry the mono signal unchanged.
        ASSERT_EQ(pcm.size(), 2 * expected.size());
        const QVector<qint16> w = kvaudiotest::samples(pcm), m = kvaudiotest::samples(expected);
        for (int i = 0; i < m.size(); ++i) {
            ASSERT_EQ(w[2 * i], m[i]) << "frame " << i;
            ASSERT_EQ(w[2 * i + 1], m[i]) << "frame " << i;
        }
    } else {
        ASSERT_EQ(pcm.size(), expected.size());
        EXPECT_TRUE(pcm == expected);
    }
    // After the end: nothing more, at once.
    char buf[4096];
    EXPECT_EQ(g.read(buf, sizeof buf), 0);
    EXPECT_EQ(g.read(buf, 0), 0);
    g.stop();
    EXPECT_FALSE(g.isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Reads, GeneratorDecode,
    ::testing::Values(ReadCase{"cbr128_joint.mp3", 120, 1 << 20, 0},  // reads larger than the range
                      ReadCase{"cbr128_joint.mp3", 120, 4096, 0},     // an output's period
                      ReadCase{"cbr128_joint.mp3", 60, 4, 0},         // one sample frame a read
                      ReadCase{"cbr128_joint.mp3", 60, 1002, 0},      // not whole frames
                      ReadCase{"mpeg2_mono_22k.mp3", 150, 4608, 0},
                      ReadCase{"mpeg2_mono_22k.mp3", 150, 3000, 2}),  // mono widened to stereo
    [](const auto &info) {
        return QString("%1_%2_%3").arg(info.index).arg(info.param.block).arg(info.param.channelsOut)
            .toStdString();
    });

TEST(Generator, VolumeAndTempoChangeLevelAndLength)
{
    const DocPtr doc = documentOf("cbr128_joint.mp3", 0, 200);
    const auto info = doc->firstSourceInfo();
    const QByteArray plain = decodeFrames(sourceFrames(doc), info->sampleRate(), 2);

    KvAudioGenerator quiet(nullptr, doc, 1.0, 0, nullptr, true);
    quiet.VolumeChanged(0.5);
    quiet.start(0, -1);
    const QByteArray q = readAll(quiet, 8192);
    ASSERT_EQ(q.size(), plain.size());
    EXPECT_NEAR(kvaudiotest::dbRatio(kvaudiotest::rms(q, 2, 0), kvaudiotest::rms(plain, 2, 0)), -30.0, 0.1);

    // Tempo as the player passes it, a factor; 1.5 plays in two thirds of the time.
    KvAudioGenerator fast(nullptr, doc, 1.0, 0, nullptr, true);
    fast.start(0, -1);
    fast.TempoChanged(1.5);
    const QByteArray f = readAll(fast, 8192);
    EXPECT_NEAR(double(f.size()) / plain.size(), 1.0 / 1.5, 0.01);

    // Zero, negative and non-finite tempos never reach SoundTouch: the slowest tempo and
    // normal speed.
    struct { double tempo; double ratio; } rows[] = {{0.0, 1.0 / KvAudioGenerator::kMinTempo},
                                                     {-3.0, 1.0 / KvAudioGenerator::kMinTempo},
                                                     {std::nan(""), 1.0}};
    const DocPtr shortDoc = documentOf("cbr128_joint.mp3", 0, 20);
    const int plainShort = 20 * 1152 * 4;
    for (const auto &r : rows) {
        KvAudioGenerator g(nullptr, shortDoc, 1.0, 0, nullptr, true);
        g.start(0, -1);
        g.TempoChanged(r.tempo);
        const QByteArray out = readAll(g, 65536);
        EXPECT_NEAR(double(out.size()) / plainShort, r.ratio, r.ratio * 0.05) << "tempo " << r.tempo;
    }
}

TEST(Generator, ANewRangeOpensAtTheNextReadWithTheSettingsKept)
{
    ScopedFrameStreams streams;
    const DocPtr doc = documentOf("cbr128_joint.mp3", 0, 300);
    KvAudioGenerator g(nullptr, doc, 1.0, 0, nullptr, true);
    g.VolumeChanged(0.5);
    g.start(0, -1);
    QByteArray buf(1152 * 4 * 10, '\0');
    ASSERT_EQ(g.read(buf.data(), buf.size()), buf.size());
    EXPECT_EQ(streams.opened(), 1);

    g.start(200, 40);
    EXPECT_EQ(streams.opened(), 1);  // lazily, by the next read
    const QByteArray rest = readAll(g, 8192);
    EXPECT_EQ(streams.opened(), 2);
    EXPECT_EQ(rest.size(), 40 * 1152 * 4);
    const auto info = doc->firstSourceInfo();
    const QByteArray plain = decodeFrames(sourceFrames(documentOf("cbr128_joint.mp3", 200, 40)), info->sampleRate(), 2);
    // Skip the first frames: the stand-in stream does not carry the bit reservoir over.
    const int skip = 4 * 1152 * 4;
    EXPECT_NEAR(kvaudiotest::dbRatio(kvaudiotest::rms(rest.mid(skip), 2, 0), kvaudiotest::rms(plain.mid(skip), 2, 0)),
                -30.0, 0.2);

    // Stopped, then started again: everything opens anew.
    g.stop();
    EXPECT_FALSE(g.isOpen());
    g.start(0, 10);
    ASSERT_TRUE(g.openRange());  // as the decode thread does before its first read
    EXPECT_EQ(readAll(g, 8192).size(), 10 * 1152 * 4);
}

TEST(Generator, ARangeInsideTheDocumentDecodesAsTheWholeDocumentDoesThere)
{
    // The engine's stream starts mid-source with its pre-roll: no extra frame, and after
    // the decoder's cold first frame the same samples (within the synthesis' rounding).
    const DocPtr doc = documentOf("cbr64_mono.mp3", 0, -1);
    const QByteArray whole = decodeFrames(sourceFrames(doc), 44100, 1);
    const int frameBytes = 1152 * 2;
    for (const qint64 start : {qint64(7), qint64(150)}) {
        SCOPED_TRACE(start);
        const qint64 count = std::min<qint64>(60, doc->totalFrames() - start);
        KvAudioGenerator g(nullptr, doc, 1.0, 0, nullptr, true);
        g.start(start, count);
        const QByteArray pcm = readAll(g, 4096);
        ASSERT_EQ(pcm.size(), count * frameBytes);
        const QVector<qint16> a = kvaudiotest::samples(pcm.mid(frameBytes)),
                              b = kvaudiotest::samples(whole.mid(int(start + 1) * frameBytes, int(count - 1) * frameBytes));
        ASSERT_EQ(a.size(), b.size());
        int worst = 0;
        for (int i = 0; i < a.size(); ++i)
            worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
        EXPECT_LE(worst, 1);
    }
}

namespace {
// A decoder whose codec step fails.
class BrokenDecoder : public kvaudiotest::PcmPassthrough {
public:
    explicit BrokenDecoder(bool failOpen) : m_failOpen(failOpen) {}
    bool open(int a, int b, int c, int d, int e, int f, int g, double h, int i, int j, bool k) override
    {
        if (m_failOpen) {
            m_errorText = "decoder refused the format";
            return false;
        }
        return PcmPassthrough::open(a, b, c, d, e, f, g, h, i, j, k);
    }
    int decodeChunk(const char *, int, char *, int, int *outLen) override
    {
        *outLen = 0;
        return ++m_calls > 3 ? -1 : 0;
    }

private:
    bool m_failOpen;
    int m_calls = 0;
};

class ScopedMakers {
public:
    explicit ScopedMakers(const KvBackendMakers &m) : m_previous(setKvBackendMakers(m)) {}
    ~ScopedMakers() { setKvBackendMakers(m_previous); }

private:
    KvBackendMakers m_previous;
};

struct FailCase {
    const char *name;
    std::function<void(FrameStream &)> stream;  // faults of the stand-in stream
    bool nullStream;                            // the range does not open at all
    int decoder;                                // 0 the real one, 1 none, 2 failing, 3 refusing to open
    const char *text;                           // part of the reason
};
} // namespace

TEST(Generator, EveryFailureEndsTheRangeWithItsReason)
{
    const FailCase cases[] = {
        {"no_stream", {}, true, 0, "cannot open 'fragment list' input file"},
        {"no_decoder", {}, false, 1, "No audio decoder is available for \"mp3\""},
        {"decoder_error", {}, false, 2, "The audio decoder failed"},
        {"decoder_refuses", {}, false, 3, "decoder refused the format"},
        {"frame_too_large", [](FrameStream &s) { s.failAt = 5; }, false, 0, "does not fit"},
        {"stream_stalls", [](FrameStream &s) { s.stallAt = 5; }, false, 0, "stopped delivering"},
    };
    const DocPtr doc = documentOf("cbr128_joint.mp3", 0, 50);
    for (const FailCase &c : cases) {
        SCOPED_TRACE(c.name);
        ScopedFrameStreams streams(c.stream);
        KvAudioGenerator::StreamOpener previous;
        if (c.nullStream)
            previous = KvAudioGenerator::setStreamOpener(
                [](const char *, const boost::shared_ptr<KvRepackInfoPtrList> &, int) -> QIODevice * { return nullptr; });
        KvBackendMakers makers = KvBackendMakers::builtIn();
        if (c.decoder == 1)
            makers.acmlib = {};
        if (c.decoder >= 2) {
            const bool refuse = c.decoder == 3;
            makers.acmlib = [refuse](const KvAudioFrameReaderPtr &) { return KvAudioLibPtr(new BrokenDecoder(refuse)); };
        }
        ScopedMakers scopedMakers(makers);

        KvAudioGenerator g(nullptr, doc, 1.0, 0, nullptr, false);
        QSignalSpy failed(&g, SIGNAL(rangeFailed(QString)));
        QSignalSpy dry(&g, SIGNAL(rangeRunDry()));
        g.start(0, -1);
        readAll(g, 4096, 1000);
        EXPECT_EQ(g.retriesLeft(), 0);
        EXPECT_TRUE(g.rangeExhausted());
        ASSERT_EQ(failed.count(), 1);
        EXPECT_TRUE(failed.first().first().toString().contains(c.text)) << failed.first().first().toString().toStdString();
        EXPECT_TRUE(g.errorText().contains(c.text));
        EXPECT_EQ(dry.count(), 1);
        char buf[4096];
        EXPECT_EQ(g.read(buf, sizeof buf), 0);
        EXPECT_TRUE(g.atEnd());
        if (c.nullStream)
            KvAudioGenerator::setStreamOpener(previous);
    }
}
