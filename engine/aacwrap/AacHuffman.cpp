#include "AacHuffman.h"

#include "AacHuffmanTables.h"

#include <algorithm>
#include <array>
#include <map>

namespace kvaac {

HuffDecoder::HuffDecoder(const HuffBook &book, const uint8_t *aux, const uint8_t *extra,
                         int rootBits)
    : m_rootBits(rootBits)
{
    std::vector<Code> codes;
    codes.reserve(size_t(book.count));
    for (int i = 0; i < book.count; ++i)
        codes.push_back({book.codes[i].code, book.codes[i].len, i});
    m_table.resize(size_t(1) << rootBits);
    build(0, rootBits, codes, aux, extra);
}

void HuffDecoder::build(size_t offset, int bits, const std::vector<Code> &codes, const uint8_t *aux,
                        const uint8_t *extra)
{
    std::map<uint32_t, std::vector<Code>> longer; // by prefix of `bits` bits
    for (const Code &c : codes) {
        if (c.len <= bits) {
            const uint32_t first = c.code << (bits - c.len);
            const uint32_t n = 1u << (bits - c.len);
            for (uint32_t j = 0; j < n; ++j) {
                Entry &e = m_table[offset + first + j];
                e.sym = int16_t(c.sym);
                e.len = int8_t(c.len + (extra ? extra[c.sym] : 0));
                e.aux = aux ? aux[c.sym] : 0;
            }
        } else {
            const int rest = c.len - bits;
            longer[c.code >> rest].push_back({c.code & ((1u << rest) - 1u), rest, c.sym});
        }
    }
    for (const auto &[prefix, sub] : longer) {
        int subBits = 0;
        for (const Code &c : sub)
            subBits = std::max(subBits, c.len);
        subBits = std::min(subBits, m_rootBits);
        const size_t subOffset = m_table.size();
        m_table.resize(subOffset + (size_t(1) << subBits));
        Entry &link = m_table[offset + prefix];
        link.sym = int16_t(subOffset);
        link.len = int8_t(-subBits);
        link.aux = 0;
        build(subOffset, subBits, sub, aux, extra);
    }
}

namespace {

struct SpectralBooks {
    std::array<uint8_t, 289> aux[12]{};
    std::array<uint8_t, 289> signs[12]{};
    std::vector<HuffDecoder> decoders;
    std::vector<SpectralRun> runs[12];

    SpectralBooks()
    {
        decoders.reserve(12);
        decoders.emplace_back(kHuffBooks[0], nullptr, nullptr, 9); // placeholder for index 0
        for (int b = 1; b <= 11; ++b) {
            const bool unsignedBook = b >= 3 && b != 5 && b != 6;
            const int dim = b <= 4 ? 4 : 2;
            const int mod = b <= 2 ? 3 : b <= 4 ? 3 : b <= 6 ? 9 : b <= 8 ? 8 : b <= 10 ? 13 : 17;
            for (int i = 0; i < kHuffBooks[b].count; ++i) {
                int v = i, nsign = 0, esc = 0;
                for (int k = dim - 1; k >= 0; --k) {
                    const int digit = v % mod;
                    v /= mod;
                    if (unsignedBook && digit != 0)
                        ++nsign;
                    if (b == 11 && digit == 16)
                        esc |= 1 << k;
                }
                aux[b][size_t(i)] = uint8_t(esc);
                signs[b][size_t(i)] = uint8_t(nsign);
            }
            decoders.emplace_back(kHuffBooks[b], aux[b].data(), signs[b].data(), 9);
            buildRuns(b);
        }
    }

    void buildRuns(int b)
    {
        constexpr uint32_t n = 1u << kSpectralRunBits;
        runs[b].resize(n);
        for (uint32_t v = 0; v < n; ++v) {
            const uint32_t top = v << (32 - kSpectralRunBits);
            const uint8_t bytes[4] = {uint8_t(top >> 24), uint8_t(top >> 16), uint8_t(top >> 8), uint8_t(top)};
            BitReader br(bytes, sizeof bytes);
            SpectralRun run{0, 0};
            for (;;) {
                uint8_t esc = 0;
                // The books are complete codes: every bit pattern decodes. What the window
                // cuts short is read on in zeros and refused by its length.
                decoders.back().decode(br, &esc);
                if (br.pos() > size_t(kSpectralRunBits) || esc)
                    break;
                ++run.units;
                run.bits = uint8_t(br.pos());
            }
            runs[b][v] = run;
        }
    }
};

const SpectralBooks &spectralBooks()
{
    static const SpectralBooks books;
    return books;
}

} // namespace

const HuffDecoder &scalefactorDecoder()
{
    static const HuffDecoder dec(kHuffBooks[0], nullptr, nullptr, 9);
    return dec;
}

const HuffDecoder &spectralDecoder(int book) { return spectralBooks().decoders[size_t(book)]; }

const SpectralRun *spectralRuns(int book) { return spectralBooks().runs[size_t(book)].data(); }

} // namespace kvaac
