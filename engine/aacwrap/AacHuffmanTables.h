#pragma once
#include <cstdint>

namespace kvaac {

// One codeword: `code` right-aligned in `len` bits, sent MSB first.
struct HuffCode {
    uint32_t code;
    uint8_t len;
};

struct HuffBook {
    const HuffCode *codes;
    int count;
};

// [0] is the scalefactor book (index - 60 = delta), [1..11] the spectral books.
extern const HuffBook kHuffBooks[12];

} // namespace kvaac
