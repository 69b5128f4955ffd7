#include "AacSyntaxWalker.h"

#include "AacBands.h"
#include "AacBits.h"
#include "AacHuffman.h"

#include <algorithm>

namespace kvaac {

namespace {

enum ElementId { ID_SCE, ID_CPE, ID_CCE, ID_LFE, ID_DSE, ID_PCE, ID_FIL, ID_END };
enum { ONLY_LONG, LONG_START, EIGHT_SHORT, LONG_STOP };
enum { ZERO_HCB = 0, ESC_HCB = 11, RESERVED_HCB = 12, NOISE_HCB = 13, INTENSITY_HCB2 = 14,
       INTENSITY_HCB = 15 };
constexpr int kNoiseOffset = 90;
constexpr int kMaxLtpLongSfb = 40;

struct IcsInfo {
    int windowSequence = 0;
    int maxSfb = 0;
    int numWindows = 1;
    int numGroups = 1;
    int groupLen[8] = {1};
    BandLayout bands{};
};

class Walker {
public:
    Walker(const uint8_t *data, size_t size, const AacConfig &cfg, WalkDepth depth, FrameWalk *out)
        : m_br(data, size), m_cfg(cfg), m_depth(depth), m_out(out),
          m_table(cfg.tableIndex()),
          m_expected(depth == WalkDepth::Gains ? channelsOfConfig(cfg.channelConfig) : 0)
    {
    }

    int run();

private:
    int channelStream(bool commonWindow, IcsInfo &ics);
    int icsInfo(IcsInfo &ics, bool commonWindow);
    int ltpData(const IcsInfo &ics);
    int sectionData(const IcsInfo &ics, uint8_t cb[8][64]);
    int scalefactors(const IcsInfo &ics, const uint8_t cb[8][64], ChannelStreamGain &st);
    int pulseData(const IcsInfo &ics);
    int tnsData(const IcsInfo &ics);
    int spectralData(const IcsInfo &ics, const uint8_t cb[8][64]);
    int check() const { return m_br.overrun() ? WalkOverrun : WalkOk; }
    bool done() const
    {
        return m_depth == WalkDepth::FirstGain ? m_out->streams > 0
               : m_expected > 0 ? m_out->streams >= m_expected
                                : false;
    }

    BitReader m_br;
    const AacConfig &m_cfg;
    WalkDepth m_depth;
    FrameWalk *m_out;
    int m_table;
    int m_expected;
    bool m_stop = false;
};

int Walker::run()
{
    for (;;) {
        if (m_br.bitsLeft() < 3)
            return WalkOverrun;
        const int id = int(m_br.read(3));
        int r = WalkOk;
        switch (id) {
        case ID_SCE:
        case ID_LFE: {
            m_br.skip(4);
            IcsInfo ics;
            r = channelStream(false, ics);
            break;
        }
        case ID_CPE: {
            m_br.skip(4);
            const bool common = m_br.readBit();
            IcsInfo ics;
            if (common) {
                if ((r = icsInfo(ics, true)) != WalkOk)
                    return r;
                const int ms = int(m_br.read(2));
                if (ms == 3)
                    return WalkInvalid;
                if (ms == 1)
                    m_br.skip(size_t(ics.numGroups) * size_t(ics.maxSfb));
            }
            r = channelStream(common, ics);
            if (r == WalkOk && !m_stop) {
                IcsInfo second = ics;
                r = channelStream(common, second);
            }
            break;
        }
        case ID_CCE:
            return WalkUnsupported;
        case ID_DSE: {
            m_br.skip(4);
            const bool align = m_br.readBit();
            size_t count = m_br.read(8);
            if (count == 255)
                count += m_br.read(8);
            if (align)
                m_br.alignByte();
            m_br.skip(count * 8);
            break;
        }
        case ID_PCE: {
            int channels;
            parseProgramConfig(m_br, &channels);
            break;
        }
        case ID_FIL: {
            size_t count = m_br.read(4);
            if (count == 15)
                count = 14 + m_br.read(8);
            m_br.skip(count * 8);
            break;
        }
        case ID_END:
            m_out->complete = true;
            m_out->endBit = m_br.pos();
            return check();
        }
        if (r != WalkOk)
            return r;
        if ((r = check()) != WalkOk)
            return r;
        if (m_stop)
            return WalkOk;
    }
}

int Walker::channelStream(bool commonWindow, IcsInfo &ics)
{
    if (m_out->streams >= FrameWalk::kMaxStreams)
        return WalkTooMany;
    ChannelStreamGain &st = m_out->stream[m_out->streams++];
    st = ChannelStreamGain{};
    st.gainBit = uint32_t(m_br.pos());
    st.gain = uint8_t(m_br.read(8));
    if (m_depth == WalkDepth::FirstGain) {
        m_stop = true;
        return check();
    }
    int r;
    if (!commonWindow && (r = icsInfo(ics, false)) != WalkOk)
        return r;
    uint8_t cb[8][64];
    if ((r = sectionData(ics, cb)) != WalkOk)
        return r;
    if ((r = scalefactors(ics, cb, st)) != WalkOk)
        return r;
    if (done()) {
        m_stop = true;
        return check();
    }
    if (m_br.readBit() && (r = pulseData(ics)) != WalkOk)
        return r;
    if (m_br.readBit() && (r = tnsData(ics)) != WalkOk)
        return r;
    if (m_br.readBit())
        return WalkUnsupported; // gain control belongs to the SSR profile
    return spectralData(ics, cb);
}

int Walker::icsInfo(IcsInfo &ics, bool commonWindow)
{
    if (m_br.readBit())
        return WalkInvalid; // reserved bit
    ics.windowSequence = int(m_br.read(2));
    m_br.skip(1); // window shape
    if (ics.windowSequence == EIGHT_SHORT) {
        ics.maxSfb = int(m_br.read(4));
        const uint32_t grouping = m_br.read(7);
        ics.numWindows = 8;
        ics.numGroups = 1;
        ics.groupLen[0] = 1;
        for (int w = 1; w < 8; ++w) {
            if (grouping & (1u << (7 - w))) {
                ++ics.groupLen[ics.numGroups - 1];
            } else {
                ics.groupLen[ics.numGroups++] = 1;
            }
        }
        ics.bands = shortBands(m_table);
    } else {
        ics.maxSfb = int(m_br.read(6));
        ics.numWindows = 1;
        ics.numGroups = 1;
        ics.groupLen[0] = 1;
        ics.bands = longBands(m_table);
        if (m_br.readBit()) { // predictor data
            if (m_cfg.objectType == 1) {
                if (m_br.readBit())
                    m_br.skip(5);
                m_br.skip(size_t(std::min(ics.maxSfb, predictionSfbMax(m_table))));
            } else if (m_cfg.objectType == 4) {
                int r;
                if (m_br.readBit() && (r = ltpData(ics)) != WalkOk)
                    return r;
                if (commonWindow && m_br.readBit() && (r = ltpData(ics)) != WalkOk)
                    return r;
            } else {
                return WalkInvalid; // no prediction in LC
            }
        }
    }
    if (ics.maxSfb > ics.bands.numSwb)
        return WalkInvalid;
    return check();
}

int Walker::ltpData(const IcsInfo &ics)
{
    m_br.skip(11 + 3); // lag, coefficient
    m_br.skip(size_t(std::min(ics.maxSfb, kMaxLtpLongSfb)));
    return check();
}

int Walker::sectionData(const IcsInfo &ics, uint8_t cb[8][64])
{
    const int lenBits = ics.windowSequence == EIGHT_SHORT ? 3 : 5;
    const uint32_t esc = (1u << lenBits) - 1;
    for (int g = 0; g < ics.numGroups; ++g) {
        int k = 0;
        while (k < ics.maxSfb) {
            const int book = int(m_br.read(4));
            if (book == RESERVED_HCB)
                return WalkInvalid;
            int len = 0;
            uint32_t incr;
            while ((incr = m_br.read(lenBits)) == esc) {
                len += int(esc);
                if (m_br.overrun())
                    return WalkOverrun;
            }
            len += int(incr);
            if (k + len > ics.maxSfb)
                return WalkInvalid;
            if (m_br.overrun())
                return WalkOverrun;
            for (int i = 0; i < len; ++i)
                cb[g][k + i] = uint8_t(book);
            k += len;
        }
    }
    return check();
}

int Walker::scalefactors(const IcsInfo &ics, const uint8_t cb[8][64], ChannelStreamGain &st)
{
    const HuffDecoder &dec = scalefactorDecoder();
    int sf = st.gain;
    int noise = st.gain - kNoiseOffset;
    bool firstNoise = true;
    for (int g = 0; g < ics.numGroups; ++g) {
        for (int b = 0; b < ics.maxSfb; ++b) {
            const int book = cb[g][b];
            if (book == ZERO_HCB)
                continue;
            if (book == INTENSITY_HCB || book == INTENSITY_HCB2) {
                if (dec.decode(m_br) < 0)
                    return WalkInvalid;
                continue;
            }
            if (book == NOISE_HCB) {
                if (firstNoise) {
                    noise += int(m_br.read(9)) - 256;
                    firstNoise = false;
                } else {
                    const int s = dec.decode(m_br);
                    if (s < 0)
                        return WalkInvalid;
                    noise += s - 60;
                }
                st.noiseMin = st.hasNoise ? std::min(st.noiseMin, noise) : noise;
                st.noiseMax = st.hasNoise ? std::max(st.noiseMax, noise) : noise;
                st.hasNoise = true;
                continue;
            }
            const int s = dec.decode(m_br);
            if (s < 0)
                return WalkInvalid;
            sf += s - 60;
            if (sf < 0 || sf > 255)
                return WalkInvalid;
            st.sfMin = st.hasSf ? std::min(st.sfMin, sf) : sf;
            st.sfMax = st.hasSf ? std::max(st.sfMax, sf) : sf;
            st.hasSf = true;
        }
        if (m_br.overrun())
            return WalkOverrun;
    }
    return check();
}

int Walker::pulseData(const IcsInfo &ics)
{
    if (ics.windowSequence == EIGHT_SHORT)
        return WalkInvalid;
    const int count = int(m_br.read(2)) + 1;
    const int startSfb = int(m_br.read(6));
    if (startSfb >= ics.bands.numSwb)
        return WalkInvalid;
    int offset = ics.bands.offsets[startSfb];
    for (int i = 0; i < count; ++i) {
        offset += int(m_br.read(5));
        m_br.skip(4); // amplitude
        if (offset > 1023)
            return WalkInvalid;
    }
    return check();
}

int Walker::tnsData(const IcsInfo &ics)
{
    const bool isShort = ics.windowSequence == EIGHT_SHORT;
    const int maxOrder = isShort ? 7 : m_cfg.objectType == 1 ? 20 : 12;
    for (int w = 0; w < ics.numWindows; ++w) {
        const int filters = int(m_br.read(isShort ? 1 : 2));
        if (filters == 0)
            continue;
        const int coefRes = int(m_br.read(1));
        for (int f = 0; f < filters; ++f) {
            m_br.skip(isShort ? 4 : 6); // length
            const int order = int(m_br.read(isShort ? 3 : 5));
            if (order > maxOrder)
                return WalkInvalid;
            if (order) {
                m_br.skip(1); // direction
                const int compress = int(m_br.read(1));
                m_br.skip(size_t(order) * size_t(coefRes + 3 - compress));
            }
        }
    }
    return check();
}

int Walker::spectralData(const IcsInfo &ics, const uint8_t cb[8][64])
{
    for (int g = 0; g < ics.numGroups; ++g) {
        int b = 0;
        while (b < ics.maxSfb) {
            const int book = cb[g][b];
            int end = b + 1;
            while (end < ics.maxSfb && cb[g][end] == book)
                ++end;
            if (book != ZERO_HCB && book < NOISE_HCB) {
                const int coefs = (ics.bands.offsets[end] - ics.bands.offsets[b]) * ics.groupLen[g];
                const int dim = book <= 4 ? 4 : 2;
                const HuffDecoder &dec = spectralDecoder(book);
                const SpectralRun *runs = spectralRuns(book);
                for (int units = coefs / dim; units > 0;) {
                    // Whole runs straight from a register while it holds a full window.
                    uint64_t w = m_br.window();
                    int used = 0;
                    SpectralRun run{0, 0};
                    while (units > 0 && used <= BitReader::kWindowBits - kSpectralRunBits) {
                        run = runs[w >> (64 - kSpectralRunBits)];
                        if (!run.units || run.units > units)
                            break;
                        w <<= run.bits;
                        used += run.bits;
                        units -= run.units;
                    }
                    m_br.skip(size_t(used));
                    if (units == 0 || used > BitReader::kWindowBits - kSpectralRunBits)
                        continue;
                    // One unit on its own: a long codeword, an escape, or the section's end.
                    uint8_t esc = 0;
                    if (dec.decode(m_br, &esc) < 0)
                        return WalkInvalid;
                    --units;
                    for (; esc; esc >>= 1) {
                        if (!(esc & 1))
                            continue;
                        const uint32_t ones = ~m_br.peek(9) & 0x1ffu;
                        if (ones == 0)
                            return WalkInvalid; // escape prefix longer than 8
                        const int n = 8 - (31 - __builtin_clz(ones));
                        m_br.skip(size_t(n) + 1 + size_t(n) + 4);
                    }
                }
                // The reader reads zeros past the end and the loop is bounded by the band
                // widths, so one check per section is enough.
                if (m_br.overrun())
                    return WalkOverrun;
            }
            b = end;
        }
    }
    return check();
}

} // namespace

bool walkerSupports(const AacConfig &cfg)
{
    return (cfg.objectType == 1 || cfg.objectType == 2 || cfg.objectType == 4) &&
           cfg.frameLengthFlag == 0;
}

int walkRawFrame(const uint8_t *data, size_t size, const AacConfig &cfg, WalkDepth depth,
                 FrameWalk *out)
{
    out->streams = 0;
    out->complete = false;
    out->endBit = 0;
    if (!walkerSupports(cfg))
        return WalkUnsupported;
    Walker w(data, size, cfg, depth, out);
    return w.run();
}

} // namespace kvaac
