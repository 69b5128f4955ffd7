#include "AacFrameEdit.h"

#include "AacBits.h"

#include <algorithm>
#include <climits>

namespace kvaac {

namespace {

// Narrows [lo, hi] to the deltas that keep [vmin, vmax] inside [low, high]; a range that
// was already outside is only kept from getting worse.
void narrow(int &lo, int &hi, int vmin, int vmax, int low, int high)
{
    lo = std::max(lo, std::min(0, low - vmin));
    hi = std::min(hi, std::max(0, high - vmax));
}

} // namespace

GainRange gainDeltaRange(const FrameWalk &walk)
{
    GainRange r{INT_MIN, INT_MAX};
    for (int i = 0; i < walk.streams; ++i) {
        const ChannelStreamGain &s = walk.stream[i];
        narrow(r.lo, r.hi, s.gain, s.gain, 0, 255);
        if (s.hasSf)
            narrow(r.lo, r.hi, s.sfMin, s.sfMax, 0, 255);
        if (s.hasNoise)
            narrow(r.lo, r.hi, s.noiseMin, s.noiseMax, -100, 155);
    }
    return r;
}

int clampGainDelta(const FrameWalk &walk, int delta)
{
    const GainRange r = gainDeltaRange(walk);
    return std::clamp(delta, r.lo, r.hi);
}

void applyGainDelta(uint8_t *frame, const FrameWalk &walk, int delta)
{
    for (int i = 0; i < walk.streams; ++i)
        putBitsAt(frame, walk.stream[i].gainBit, 8, uint32_t(walk.stream[i].gain + delta));
}

GainResult changeFrameGain(uint8_t *frame, size_t size, const AacConfig &cfg, int delta)
{
    GainResult r;
    if (delta == 0)
        return r;
    FrameWalk walk;
    r.error = walkRawFrame(frame, size, cfg, WalkDepth::Gains, &walk);
    if (r.error != WalkOk)
        return r;
    r.applied = clampGainDelta(walk, delta);
    applyGainDelta(frame, walk, r.applied);
    return r;
}

void FrameGainIndex::add(int walkResult, const FrameWalk &walk)
{
    Frame f{0, 0, uint32_t(m_sites.size()), 0, int16_t(walkResult)};
    if (walkResult == WalkOk) {
        const GainRange r = gainDeltaRange(walk);
        f.lo = r.lo;
        f.hi = r.hi;
        f.sites = uint16_t(walk.streams);
        for (int i = 0; i < walk.streams; ++i) {
            m_sites.push_back(walk.stream[i].gainBit);
            m_gains.push_back(walk.stream[i].gain);
        }
    }
    m_frames.push_back(f);
}

void FrameGainIndex::append(const FrameGainIndex &other)
{
    const uint32_t base = uint32_t(m_sites.size());
    m_sites.insert(m_sites.end(), other.m_sites.begin(), other.m_sites.end());
    m_gains.insert(m_gains.end(), other.m_gains.begin(), other.m_gains.end());
    for (Frame f : other.m_frames) {
        f.firstSite += base;
        m_frames.push_back(f);
    }
}

void FrameGainIndex::reserve(size_t frames, size_t sites)
{
    m_frames.reserve(frames);
    m_sites.reserve(sites);
    m_gains.reserve(sites);
}

void FrameGainIndex::clear()
{
    m_frames.clear();
    m_sites.clear();
    m_gains.clear();
}

void FrameGainIndex::truncate(size_t frames)
{
    if (frames >= m_frames.size())
        return;
    m_sites.resize(m_frames[frames].firstSite);
    m_gains.resize(m_frames[frames].firstSite);
    m_frames.resize(frames);
}

GainResult FrameGainIndex::change(size_t i, uint8_t *frame, size_t size, int delta) const
{
    GainResult r;
    if (delta == 0)
        return r;
    const Frame &f = m_frames[i];
    if (f.walkResult != WalkOk) {
        r.error = f.walkResult;
        return r;
    }
    const uint32_t *site = m_sites.data() + f.firstSite;
    for (int s = 0; s < f.sites; ++s) {
        if (size_t(site[s]) + 8 > size * 8) {
            r.error = WalkOverrun; // not the bytes that were walked
            return r;
        }
    }
    r.applied = std::clamp(delta, int(f.lo), int(f.hi));
    for (int s = 0; s < f.sites; ++s) {
        BitReader br(frame, size);
        br.skip(site[s]);
        putBitsAt(frame, site[s], 8, br.read(8) + uint32_t(r.applied));
    }
    return r;
}

bool FrameGainIndex::holdsWalkedGains(size_t i, const uint8_t *frame, size_t size) const
{
    const Frame &f = m_frames[i];
    if (f.walkResult != WalkOk)
        return true;
    for (uint32_t s = f.firstSite; s < f.firstSite + f.sites; ++s) {
        if (size_t(m_sites[s]) + 8 > size * 8)
            return false;
        BitReader br(frame, size);
        br.skip(m_sites[s]);
        if (br.read(8) != m_gains[s])
            return false;
    }
    return true;
}

std::vector<uint8_t> silentFrame(const AacConfig &cfg)
{
    // Element order of channel configurations 1..7: S = single, C = pair, L = LFE.
    static const char *const kLayouts[8] = {"", "S", "C", "SC", "SCS", "SCC", "SCCL", "SCCCL"};
    int config = cfg.channelConfig;
    if (config < 1 || config > 7)
        config = configOfChannels(cfg.channels);
    if (config < 1 || config > 7)
        return {};
    BitWriter bw;
    auto stream = [&bw] {
        bw.put(0, 8); // global_gain
        bw.put(0, 1); // reserved
        bw.put(0, 2); // ONLY_LONG_SEQUENCE
        bw.put(0, 1); // sine window
        bw.put(0, 6); // max_sfb = 0: no sections, scalefactors or spectra
        bw.put(0, 1); // no predictor / LTP data
        bw.put(0, 3); // no pulse, TNS or gain control data
    };
    int tags[3] = {0, 0, 0};
    for (const char *p = kLayouts[config]; *p; ++p) {
        switch (*p) {
        case 'S':
            bw.put(0, 3);
            bw.put(uint32_t(tags[0]++), 4);
            stream();
            break;
        case 'C':
            bw.put(1, 3);
            bw.put(uint32_t(tags[1]++), 4);
            bw.put(0, 1); // separate windows
            stream();
            stream();
            break;
        case 'L':
            bw.put(3, 3);
            bw.put(uint32_t(tags[2]++), 4);
            stream();
            break;
        }
    }
    bw.put(7, 3); // END
    bw.alignByte();
    return bw.bytes();
}

} // namespace kvaac
