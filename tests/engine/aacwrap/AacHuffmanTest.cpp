#include "AacHuffman.h"
#include "AacHuffmanTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace kvaac;

namespace {

std::string bitsOf(const HuffCode &c)
{
    std::string s;
    for (int i = c.len - 1; i >= 0; --i)
        s += ((c.code >> i) & 1) ? '1' : '0';
    return s;
}

const HuffDecoder &decoderFor(int book)
{
    return book == 0 ? scalefactorDecoder() : spectralDecoder(book);
}

} // namespace

TEST(AacHuffman, BooksAreCompletePrefixFreeCodes)
{
    const int sizes[12] = {121, 81, 81, 81, 81, 81, 81, 64, 64, 169, 169, 289};
    for (int b = 0; b < 12; ++b) {
        SCOPED_TRACE(b);
        ASSERT_EQ(kHuffBooks[b].count, sizes[b]);
        uint64_t kraft = 0; // in units of 2^-32
        std::vector<std::string> words;
        for (int i = 0; i < kHuffBooks[b].count; ++i) {
            const HuffCode &c = kHuffBooks[b].codes[i];
            ASSERT_GT(c.len, 0);
            ASSERT_LE(c.len, 19);
            kraft += uint64_t(1) << (32 - c.len);
            words.push_back(bitsOf(c));
        }
        EXPECT_EQ(kraft, uint64_t(1) << 32);
        std::sort(words.begin(), words.end());
        for (size_t i = 1; i < words.size(); ++i)
            EXPECT_NE(words[i].compare(0, words[i - 1].size(), words[i - 1]), 0)
                << words[i - 1] << " is a prefix of " << words[i];
    }
}

TEST(AacHuffman, DecoderReadsBackEveryCodewordInAnyOrder)
{
    for (int b = 0; b < 12; ++b) {
        SCOPED_TRACE(b);
        const HuffBook &book = kHuffBooks[b];
        // Forward, then a stride that mixes long and short words.
        std::vector<int> order;
        for (int i = 0; i < book.count; ++i)
            order.push_back(i);
        for (int i = 0; i < book.count; ++i)
            order.push_back((i * 37 + 11) % book.count);
        BitWriter bw;
        // Spectral symbols take their sign bits with them: write them as zeros.
        std::vector<size_t> ends;
        for (int i : order) {
            bw.put(book.codes[i].code, book.codes[i].len);
            if (b > 0) {
                BitWriter one;
                one.put(book.codes[i].code, book.codes[i].len);
                BitReader probe(one.bytes().data(), one.bytes().size());
                decoderFor(b).decode(probe);
                bw.put(0, int(probe.pos()) - book.codes[i].len);
            }
            ends.push_back(bw.pos());
        }
        BitReader br(bw.bytes().data(), bw.bytes().size());
        for (size_t k = 0; k < order.size(); ++k) {
            ASSERT_EQ(decoderFor(b).decode(br), order[k]);
            ASSERT_EQ(br.pos(), ends[k]);
        }
    }
}

TEST(AacHuffman, SpectralSymbolsCarrySignAndEscapeCounts)
{
    struct Case {
        int book, index, signs, escapes;
    } cases[] = {
        {1, 40, 0, 0},          // signed book: no sign bits
        {2, 0, 0, 0},
        {3, 0, 0, 0},           // (0,0,0,0)
        {3, 80, 4, 0},          // (2,2,2,2)
        {4, 27 * 1 + 2, 2, 0},  // (1,0,0,2)
        {5, 80, 0, 0},
        {7, 5, 1, 0},           // (0,5)
        {10, 13 * 12 + 12, 2, 0},
        {11, 0, 0, 0},
        {11, 17 * 16 + 3, 2, 1},  // (16,3): first is an escape
        {11, 17 * 2 + 16, 2, 2},  // (2,16): second
        {11, 288, 2, 3},          // (16,16)
        {11, 16, 1, 2},           // (0,16)
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "book " << c.book << " index " << c.index);
        const HuffCode &code = kHuffBooks[c.book].codes[c.index];
        BitWriter bw;
        bw.put(code.code, code.len);
        bw.put(0, c.signs);
        bw.put(0x5, 3); // what follows the sign bits must stay unread
        BitReader br(bw.bytes().data(), bw.bytes().size());
        uint8_t aux = 0xff;
        ASSERT_EQ(spectralDecoder(c.book).decode(br, &aux), c.index);
        EXPECT_EQ(br.pos(), size_t(code.len + c.signs));
        EXPECT_EQ(aux, c.escapes);
    }
}
