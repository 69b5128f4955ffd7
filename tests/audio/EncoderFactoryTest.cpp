// Which back-ends the factory offers, in which order, for every mix of usable back-ends.
#include "AudioTestUtil.h"
#include "KvEncoderFactory.h"
#include "audio_acmlib.h"
#include "audio_mftlib.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <memory>

namespace {
int g_alive = 0;

class FakeBackend : public kvaudiotest::PcmPassthrough {
public:
    FakeBackend(const QString &name, bool available, bool hasPresets,
                const KvAudioFrameReaderPtr &source)
        : m_name(name), m_available(available), m_hasPresets(hasPresets)
    {
        m_source = source;
        ++g_alive;
    }
    ~FakeBackend() override { --g_alive; }
    bool isAvailable() override { return m_available; }
    QString name() override { return m_name; }
    audio_preset *presetSettings(int index) override
    {
        return m_hasPresets && index == 0 ? new audio_preset : nullptr;
    }
    KvAudioFrameReaderPtr source() const { return m_source; }

private:
    QString m_name;
    bool m_available, m_hasPresets;
};

// Availability of each kind: 'y' usable, 'n' refuses, '-' not built. For the installed
// codecs: 'y' usable with MP3 formats, 'e' usable but without any MP3 format.
KvBackendMakers fakes(const char avail[5])
{
    auto maker = [](const QString &name, char a) -> KvBackendMakers::Maker {
        if (a == '-')
            return {};
        return [name, a](const KvAudioFrameReaderPtr &s) {
            return KvAudioLibPtr(new FakeBackend(name, a != 'n', a != 'e', s));
        };
    };
    KvBackendMakers m;
    m.dlllib = maker("dll", avail[0]);
    m.acmlib = maker("acm", avail[1]);
    m.cmdlib = maker("cmd", avail[2]);
    m.mftlib = maker("mft", avail[3]);
    m.wavlib = maker("wav", avail[4]);
    return m;
}

QStringList names(const QList<KvAudioLibPtr> &list)
{
    QStringList n;
    for (const auto &b : list)
        n << b->name();
    return n;
}

struct FactoryCase {
    const char *avail;  // dll acm cmd mft wav
    bool all;
    const char *format;
    const char *expected;  // comma-separated names
};

// ctest shows the case as gtest prints it.
void PrintTo(const FactoryCase &c, std::ostream *os)
{
    *os << c.avail << (c.all ? " all \"" : " decoder \"") << c.format << '"';
}

const FactoryCase kCases[] = {
    // Encoders: one MP3 encoder (LAME library, else installed codecs with formats, else the
    // LAME program), then AAC, then WAV for "wav" only.
    {"yyyyy", true, "wav", "dll,mft,wav"},
    {"yyyyy", true, "", "dll,mft"},
    {"yyyyy", true, "mp3", "dll,mft"},
    {"yyyyy", true, "aac", "dll,mft"},
    {"yyyyy", true, "WAV", "dll,mft"},
    {"nyyyy", true, "wav", "acm,mft,wav"},
    {"-yyyy", true, "", "acm,mft"},
    {"neyyy", true, "wav", "cmd,mft,wav"},
    {"neyny", true, "", "cmd"},
    {"nenyy", true, "wav", "mft,wav"},
    {"nenny", true, "wav", "wav"},
    {"nenny", true, "", ""},
    {"yyynn", true, "wav", "dll"},
    {"nyyny", true, "aac", "acm"},
    {"-----", true, "wav", ""},
    // Decoders: installed codecs for "mp3", the AAC back-end for anything else.
    {"yyyyy", false, "mp3", "acm"},
    {"yeyyy", false, "mp3", "acm"},
    {"yyyyy", false, "aac", "mft"},
    {"yyyyy", false, "", "mft"},
    {"yyyyy", false, "wav", "mft"},
    {"yyyyy", false, "MP3", "mft"},
    {"yyyny", false, "aac", ""},
    {"ynyyy", false, "mp3", ""},
};

class Factory : public ::testing::TestWithParam<FactoryCase> {
protected:
    void SetUp() override { m_saved = kvBackendMakers(); }
    void TearDown() override { setKvBackendMakers(m_saved); }
    KvBackendMakers m_saved;
};
} // namespace

TEST_P(Factory, OffersUsableBackEndsInOrder)
{
    const FactoryCase c = GetParam();
    setKvBackendMakers(fakes(c.avail));
    KvAudioFrameReaderPtr source(new KvAudioFrameReader);
    {
        const QList<KvAudioLibPtr> list = createEncoders(c.all ? KvAudioFrameReaderPtr() : source,
                                                         c.all, c.format);
        EXPECT_EQ(names(list).join(",").toStdString(), std::string(c.expected))
            << c.avail << (c.all ? " all " : " decoder ") << '"' << c.format << '"';
        // Refused back-ends are gone already; the listed ones carry the caller's source.
        EXPECT_EQ(g_alive, list.size());
        for (const auto &b : list)
            EXPECT_EQ(static_cast<FakeBackend *>(b.get())->source(),
                      c.all ? KvAudioFrameReaderPtr() : source);
    }
    EXPECT_EQ(g_alive, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, Factory, ::testing::ValuesIn(kCases));

TEST(FactoryBuiltIn, EveryKindExistsInThisBuild)
{
    KvAudioFrameReaderPtr source(new KvAudioFrameReader);
    const QList<KvAudioLibPtr> dec = createEncoders(source, false, "mp3");
    ASSERT_EQ(dec.size(), 1);
    EXPECT_EQ(dec[0]->name(), "FFmpeg MP3 Codec");
    EXPECT_TRUE(dec[0]->sourceReady());  // the stand-in reader has no device: finished
    const QList<KvAudioLibPtr> aacDec = createEncoders(source, false, "aac");
    ASSERT_EQ(aacDec.size(), 1);
    EXPECT_EQ(aacDec[0]->name(), "FFmpeg AAC Codec");

    // The system's LAME library is installed, so it is the MP3 encoder.
    const QStringList enc = names(createEncoders(KvAudioFrameReaderPtr(), true, "wav"));
    ASSERT_EQ(enc.size(), 3);
    EXPECT_TRUE(enc[0].startsWith("LAME MP3 Library: libmp3lame.so.0 (")) << enc[0].toStdString();
    EXPECT_EQ(enc[1], "FFmpeg AAC Codec");
    EXPECT_EQ(enc[2], "WAV Format");
}

// Settings written by earlier versions name the encoders as they were then
// called; they still select the same encoder and preset.
TEST(EncoderNames, OldNamesReadAsTodays)
{
    const std::pair<const char *, const char *> cases[] = {
        {"ACM MP3 Codec", "FFmpeg MP3 Codec"},
        {"MF AAC Codec", "FFmpeg AAC Codec"},
        {"MF AAC encoder: 48000Hz, 128 kbps (CBR)", "FFmpeg AAC encoder: 48000Hz, 128 kbps (CBR)"},
        // Today's names, and the names no version changed, stay as they are.
        {"FFmpeg MP3 Codec", "FFmpeg MP3 Codec"},
        {"LAME MP3 Library: libmp3lame.so.0 (3.100)", "LAME MP3 Library: libmp3lame.so.0 (3.100)"},
        {"160 kBit/s, 44.100 Hz, Stereo", "160 kBit/s, 44.100 Hz, Stereo"},
        {"WAV Format", "WAV Format"},
        {"acm mp3 codec", "acm mp3 codec"},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(currentEncoderText(c.first).toStdString(), c.second) << c.first;

    // The new words are what the back-ends of this build answer.
    EXPECT_EQ(currentEncoderText("ACM MP3 Codec"), audio_acmlib().name());
    EXPECT_EQ(currentEncoderText("MF AAC Codec"), audio_mftlib().name());
    QStringList aacPresets;
    audio_mftlib aac;
    for (int i = 0; const std::unique_ptr<audio_preset> p{aac.presetSettings(i)}; ++i)
        aacPresets << p->text;
    EXPECT_TRUE(aacPresets.contains(currentEncoderText("MF AAC encoder: 44100Hz, 160 kbps (CBR)")))
        << aacPresets.join('|').toStdString();
}

