// The static Huffman look-up tables on their own: built from complete sets
// of code lengths of every shape (codes shorter than the root, ending at
// its last entry, or sharing root prefixes with longer ones), every code
// must decode to its own symbol and length whatever bits follow it, and
// any set that does not fill the code space exactly must be refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "codec/huffman_decoder.h"
#include "tests/codec/codec_test_support.h"

namespace lzh::test {
namespace {

constexpr unsigned kSymbols = 510;

// A complete set of `leaves` code lengths (at most 16) placed at random
// among kSymbols symbols: leaves of a binary tree split at random, deepest
// first when `deep` so that long codes crowd a few root prefixes.
std::vector<unsigned> RandomCompleteLengths(unsigned leaves, bool deep, std::mt19937& random) {
  std::vector<unsigned> tree = {1, 1};
  while (tree.size() < leaves) {
    size_t pick = random() % tree.size();
    if (deep)
      for (size_t i = 0; i < tree.size(); ++i)
        if (tree[i] > tree[pick] && tree[i] < 16 && random() % 2) pick = i;
    if (tree[pick] == 16) continue;
    ++tree[pick];
    tree.push_back(tree[pick]);
  }
  std::vector<unsigned> lengths(kSymbols, 0);
  std::vector<unsigned> slots(kSymbols);
  for (unsigned s = 0; s < kSymbols; ++s) slots[s] = s;
  std::shuffle(slots.begin(), slots.end(), random);
  for (size_t i = 0; i < tree.size(); ++i) lengths[slots[i]] = tree[i];
  return lengths;
}

// Builds `table` as a block header gives the lengths: with the list of the
// symbols that have a code.
template <typename Table, typename MakeEntry>
Status Build(Table& table, const std::vector<uint8_t>& lengths, MakeEntry make_entry) {
  std::vector<uint16_t> coded;
  for (unsigned s = 0; s < lengths.size(); ++s)
    if (lengths[s] != 0) coded.push_back(static_cast<uint16_t>(s));
  return table.Build(lengths.data(), coded.data(), static_cast<unsigned>(coded.size()), make_entry);
}

template <unsigned kRootBits>
void ExpectEveryCodeDecodes(const std::vector<unsigned>& lengths, std::mt19937& random) {
  auto table = std::make_unique<HuffmanDecoder<kSymbols, kRootBits>>();
  std::vector<uint8_t> bytes(lengths.begin(), lengths.end());
  ASSERT_TRUE(Build(*table, bytes, [](unsigned symbol, unsigned length) {
                     return length | symbol << 8;
                   }).ok());
  std::vector<uint32_t> codes = CanonicalCodes(lengths);
  for (unsigned s = 0; s < kSymbols; ++s) {
    if (lengths[s] == 0) continue;
    for (int tail = 0; tail < 3; ++tail) {
      uint64_t after = (uint64_t{random()} << 32 | random()) >> lengths[s];
      if (tail == 1) after = 0;
      if (tail == 2) after = ~uint64_t{0} >> lengths[s];
      uint64_t window = uint64_t{codes[s]} << (64 - lengths[s]) | after;
      uint32_t entry = table->Lookup(window);
      ASSERT_EQ(entry >> 8, s) << "length " << lengths[s];
      ASSERT_EQ(entry & 0x3F, lengths[s]) << "symbol " << s;
    }
  }
}

TEST(HuffmanTable, EveryCodeOfACompleteSetDecodesToItsSymbol) {
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    unsigned leaves = 2 + random() % (kSymbols - 1);
    std::vector<unsigned> lengths = RandomCompleteLengths(leaves, round % 3 == 0, random);
    ExpectEveryCodeDecodes<12>(lengths, random);
    ExpectEveryCodeDecodes<8>(lengths, random);
  }
  // Equal lengths: the root's runs of one, two, four and eight entries end
  // exactly at its last entry, or a single subtable level under each prefix.
  for (unsigned bits : {1u, 8u, 9u, 10u, 11u, 12u, 13u}) {
    std::vector<unsigned> lengths(kSymbols, 0);
    if ((1u << bits) > kSymbols) continue;
    for (unsigned s = 0; s < (1u << bits); ++s) lengths[s] = bits;
    ExpectEveryCodeDecodes<12>(lengths, random);
    ExpectEveryCodeDecodes<8>(lengths, random);
  }
}

TEST(HuffmanTable, IncompleteAndOversubscribedSetsAreRefused) {
  std::mt19937 random(12);
  auto table = std::make_unique<HuffmanDecoder<kSymbols, 12>>();
  auto entry = [](unsigned symbol, unsigned length) { return length | symbol << 8; };
  for (int round = 0; round < 200; ++round) {
    std::vector<unsigned> lengths = RandomCompleteLengths(2 + random() % 300, round % 2, random);
    std::vector<uint8_t> bytes(lengths.begin(), lengths.end());
    ASSERT_TRUE(Build(*table, bytes, entry).ok());
    size_t s = random() % kSymbols;
    while (bytes[s] == 0 || bytes[s] == 16) s = (s + 1) % kSymbols;
    ++bytes[s];  // leaves a hole in the code space
    EXPECT_EQ(Build(*table, bytes, entry).fault(), Fault::kCorrupt);
    bytes[s] -= 2;  // claims more than the code space
    EXPECT_EQ(Build(*table, bytes, entry).fault(), Fault::kCorrupt);
  }
}

}  // namespace
}  // namespace lzh::test
