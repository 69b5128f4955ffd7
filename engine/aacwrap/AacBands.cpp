#include "AacBands.h"

#include <cstddef>

namespace kvaac {

namespace {

const uint16_t kLong96[] = {0,   4,   8,   12,  16,  20,  24,  28,  32,  36,  40,  44,  48,  52,
                            56,  64,  72,  80,  88,  96,  108, 120, 132, 144, 156, 172, 188, 212,
                            240, 276, 320, 384, 448, 512, 576, 640, 704, 768, 832, 896, 960, 1024};
const uint16_t kLong64[] = {0,   4,   8,   12,  16,  20,  24,  28,  32,  36,  40,  44,
                            48,  52,  56,  64,  72,  80,  88,  100, 112, 124, 140, 156,
                            172, 192, 216, 240, 268, 304, 344, 384, 424, 464, 504, 544,
                            584, 624, 664, 704, 744, 784, 824, 864, 904, 944, 984, 1024};
const uint16_t kLong48[] = {0,   4,   8,   12,  16,  20,  24,  28,  32,  36,  40,  48,  56,
                            64,  72,  80,  88,  96,  108, 120, 132, 144, 160, 176, 196, 216,
                            240, 264, 292, 320, 352, 384, 416, 448, 480, 512, 544, 576, 608,
                            640, 672, 704, 736, 768, 800, 832, 864, 896, 928, 1024};
const uint16_t kLong32[] = {0,   4,   8,   12,  16,  20,  24,  28,  32,  36,  40,  48,  56,
                            64,  72,  80,  88,  96,  108, 120, 132, 144, 160, 176, 196, 216,
                            240, 264, 292, 320, 352, 384, 416, 448, 480, 512, 544, 576, 608,
                            640, 672, 704, 736, 768, 800, 832, 864, 896, 928, 960, 992, 1024};
const uint16_t kLong24[] = {0,   4,   8,   12,  16,  20,  24,  28,  32,  36,  40,  44,
                            52,  60,  68,  76,  84,  92,  100, 108, 116, 124, 136, 148,
                            160, 172, 188, 204, 220, 240, 260, 284, 308, 336, 364, 396,
                            432, 468, 508, 552, 600, 652, 704, 768, 832, 896, 960, 1024};
const uint16_t kLong16[] = {0,   8,   16,  24,  32,  40,  48,  56,  64,  72,  80,
                            88,  100, 112, 124, 136, 148, 160, 172, 184, 196, 212,
                            228, 244, 260, 280, 300, 320, 344, 368, 396, 424, 456,
                            492, 532, 572, 616, 664, 716, 772, 832, 896, 960, 1024};
const uint16_t kLong8[] = {0,   12,  24,  36,  48,  60,  72,  84,  96,  108, 120, 132, 144, 156,
                           172, 188, 204, 220, 236, 252, 268, 288, 308, 328, 348, 372, 396, 420,
                           448, 476, 508, 544, 580, 620, 664, 712, 764, 820, 880, 944, 1024};

const uint16_t kShort96[] = {0, 4, 8, 12, 16, 20, 24, 32, 40, 48, 64, 92, 128};
const uint16_t kShort48[] = {0, 4, 8, 12, 16, 20, 28, 36, 44, 56, 68, 80, 96, 112, 128};
const uint16_t kShort24[] = {0, 4, 8, 12, 16, 20, 24, 28, 36, 44, 52, 64, 76, 92, 108, 128};
const uint16_t kShort16[] = {0, 4, 8, 12, 16, 20, 24, 28, 32, 40, 48, 60, 72, 88, 108, 128};
const uint16_t kShort8[] = {0, 4, 8, 12, 16, 20, 24, 28, 36, 44, 52, 60, 72, 88, 108, 128};

template <std::size_t N>
constexpr BandLayout layout(const uint16_t (&t)[N])
{
    return {int(N) - 1, t};
}

const int kRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                        22050, 16000, 12000, 11025, 8000,  7350};

int clampIndex(int i) { return i < 0 ? 0 : i > 11 ? 11 : i; }

} // namespace

BandLayout longBands(int i)
{
    static const BandLayout t[12] = {layout(kLong96), layout(kLong96), layout(kLong64),
                                     layout(kLong48), layout(kLong48), layout(kLong32),
                                     layout(kLong24), layout(kLong24), layout(kLong16),
                                     layout(kLong16), layout(kLong16), layout(kLong8)};
    return t[clampIndex(i)];
}

BandLayout shortBands(int i)
{
    static const BandLayout t[12] = {layout(kShort96), layout(kShort96), layout(kShort96),
                                     layout(kShort48), layout(kShort48), layout(kShort48),
                                     layout(kShort24), layout(kShort24), layout(kShort16),
                                     layout(kShort16), layout(kShort16), layout(kShort8)};
    return t[clampIndex(i)];
}

int predictionSfbMax(int i)
{
    static const int t[12] = {33, 33, 38, 40, 40, 40, 41, 41, 37, 37, 37, 34};
    return t[clampIndex(i)];
}

int samplingRate(int index) { return index >= 0 && index < 13 ? kRates[index] : 0; }

int samplingIndexOf(int rate)
{
    for (int i = 0; i < 13; ++i)
        if (kRates[i] == rate)
            return i;
    return 15;
}

int tableIndexForRate(int rate)
{
    static const int lower[11] = {92017, 75132, 55426, 46009, 37566, 27713,
                                  23004, 18783, 13856, 11502, 9391};
    for (int i = 0; i < 11; ++i)
        if (rate >= lower[i])
            return i;
    return 11;
}

} // namespace kvaac
