#pragma once
// Table-driven decoding of the AAC Huffman books.
#include "AacBits.h"

#include <cstdint>
#include <vector>

namespace kvaac {

// Multi-level lookup table built from a prefix-free code.
class HuffDecoder {
public:
    // aux[i] is handed back with symbol i; extra[i] more bits are consumed after its
    // codeword (both may be null).
    HuffDecoder(const struct HuffBook &book, const uint8_t *aux, const uint8_t *extra,
                int rootBits);

    // Decodes one codeword: symbol index, or -1 for a bit pattern that is no codeword.
    int decode(BitReader &br, uint8_t *aux = nullptr) const
    {
        int bits = m_rootBits;
        const Entry *base = m_table.data();
        for (;;) {
            const Entry e = base[br.peek(bits)];
            if (e.len > 0) {
                br.skip(size_t(e.len));
                if (aux)
                    *aux = e.aux;
                return e.sym;
            }
            if (e.len == 0)
                return -1;
            br.skip(size_t(bits));
            bits = -e.len;
            base = m_table.data() + e.sym;
        }
    }

private:
    struct Entry {
        int16_t sym; // symbol, or offset of the sub-table
        int8_t len;  // >0 leaf consuming len bits (codeword + extra), <0 sub-table, 0 invalid
        uint8_t aux;
    };
    struct Code {
        uint32_t code;
        int len;
        int sym;
    };
    void build(size_t offset, int bits, const std::vector<Code> &codes, const uint8_t *aux,
               const uint8_t *extra);

    std::vector<Entry> m_table;
    int m_rootBits;
};

// Scalefactor book: symbol - 60 is the delta.
const HuffDecoder &scalefactorDecoder();

// Spectral book 1..11. Decoding a symbol also consumes the sign bits that follow its
// codeword; the aux byte says, for book 11, which of the pair are escapes (bit 0: first,
// bit 1: second).
const HuffDecoder &spectralDecoder(int book);

// Spectral data is only skipped while walking, so the next kSpectralRunBits bits tell at once
// how many whole units (a codeword with its sign bits) they hold and how long those are.
// Book 11 units with an escape end a run before them: their escape sequences follow.
struct SpectralRun {
    uint8_t units; // 0: the first unit is longer than the window
    uint8_t bits;
};
constexpr int kSpectralRunBits = 11;
// Book 1..11: a table of 1 << kSpectralRunBits runs.
const SpectralRun *spectralRuns(int book);

} // namespace kvaac
