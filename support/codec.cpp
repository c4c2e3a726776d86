// The LZSS codec: a binary-tree encoder and the matching decoder.
//
// Every stored text in the system went through this encoder, so its output must stay
// byte-identical to the classic encoder's: the order of insertions, the rule that the first
// node reaching a match length keeps it, the replacement of a node matched over all 18 bytes,
// and even the zero bytes the ring holds past the spaces (read when the look-ahead runs short
// at the end of the input) all shape the stream. Change none of them.
#include "support/codec.h"

#include <array>
#include <cstddef>
#include <vector>

namespace vellum {
namespace {

constexpr int kRingSize = 4096;                // N
constexpr int kMaxMatch = 18;                  // F
constexpr int kThreshold = 2;                  // longer matches become copy items
constexpr int kStart = kRingSize - kMaxMatch;  // 4078, the first write position
constexpr int kNil = kRingSize;                // "no node"
constexpr int kRingMask = kRingSize - 1;

// The encoder's per-call state. The ring carries a mirror of its first 17 bytes past 4095 so
// a string starting near the end compares over 18 bytes without wrapping. Tree nodes are ring
// positions; rightChild[kRingSize + 1 + b] is the root for strings starting with byte b.
// kNil is a valid index of parent and leftChild: links to "no node" are written there
// harmlessly. leftChild is never indexed by a root, because a root's only child hangs to
// its right (a walk leaves a root with cmp still 1).
struct EncoderState {
  std::vector<std::uint8_t> ring = std::vector<std::uint8_t>(kRingSize + kMaxMatch - 1, 0);
  std::vector<int> leftChild = std::vector<int>(kRingSize + 1, kNil);
  std::vector<int> rightChild = std::vector<int>(kRingSize + 257, kNil);
  std::vector<int> parent = std::vector<int>(kRingSize + 1, kNil);
  int matchPosition = 0;
  int matchLength = 0;

  // Inserts the string at r and finds the longest match of it among the strings in the tree.
  void insertNode(int r) {
    const std::uint8_t* key = &ring[static_cast<std::size_t>(r)];
    int cmp = 1;
    int p = kRingSize + 1 + key[0];
    rightChild[r] = leftChild[r] = kNil;
    matchLength = 0;
    for (;;) {
      if (cmp >= 0) {
        if (rightChild[p] == kNil) {
          rightChild[p] = r;
          parent[r] = p;
          return;
        }
        p = rightChild[p];
      } else {
        if (leftChild[p] == kNil) {
          leftChild[p] = r;
          parent[r] = p;
          return;
        }
        p = leftChild[p];
      }
      int i = 1;
      for (; i < kMaxMatch; ++i) {
        cmp = key[i] - ring[static_cast<std::size_t>(p + i)];
        if (cmp != 0) break;
      }
      if (i > matchLength) {
        matchPosition = p;
        matchLength = i;
        if (matchLength >= kMaxMatch) break;
      }
    }
    // A full match: r takes p's place in the tree and p leaves it.
    parent[r] = parent[p];
    leftChild[r] = leftChild[p];
    rightChild[r] = rightChild[p];
    parent[leftChild[p]] = r;
    parent[rightChild[p]] = r;
    if (rightChild[parent[p]] == p) {
      rightChild[parent[p]] = r;
    } else {
      leftChild[parent[p]] = r;
    }
    parent[p] = kNil;
  }

  void deleteNode(int p) {
    if (parent[p] == kNil) return;  // not in the tree
    int q;
    if (rightChild[p] == kNil) {
      q = leftChild[p];
    } else if (leftChild[p] == kNil) {
      q = rightChild[p];
    } else {
      q = leftChild[p];
      if (rightChild[q] != kNil) {
        do {
          q = rightChild[q];
        } while (rightChild[q] != kNil);
        rightChild[parent[q]] = leftChild[q];
        parent[leftChild[q]] = parent[q];
        leftChild[q] = leftChild[p];
        parent[leftChild[p]] = q;
      }
      rightChild[q] = rightChild[p];
      parent[rightChild[p]] = q;
    }
    parent[q] = parent[p];
    if (rightChild[parent[p]] == p) {
      rightChild[parent[p]] = q;
    } else {
      leftChild[parent[p]] = q;
    }
    parent[p] = kNil;
  }
};

}  // namespace

void Encode(std::uint8_t* out, int* outLength, const std::uint8_t* input, int inputLength) {
  *outLength = 0;
  if (inputLength <= 0) return;

  EncoderState state;
  std::vector<std::uint8_t>& ring = state.ring;
  for (int i = 0; i < kStart; ++i) ring[static_cast<std::size_t>(i)] = ' ';

  int inputPosition = 0;
  int s = 0;
  int r = kStart;
  int len = 0;
  while (len < kMaxMatch && inputPosition < inputLength) {
    ring[static_cast<std::size_t>(r + len++)] = input[inputPosition++];
  }
  for (int i = 1; i <= kMaxMatch; ++i) state.insertNode(r - i);
  state.insertNode(r);

  // A group is built in place: the flag byte's slot is reserved and filled once the group
  // closes. Each item takes no more output than the input it stands for (a copy item 2 bytes
  // for at least 3), and there is one flag byte per 8 items, so the stream never exceeds
  // encodeBound(inputLength).
  int written = 0;
  int flagSlot = written++;
  std::uint8_t flags = 0;
  std::uint8_t mask = 1;
  do {
    if (state.matchLength > len) state.matchLength = len;
    if (state.matchLength <= kThreshold) {
      state.matchLength = 1;
      flags |= mask;
      out[written++] = ring[static_cast<std::size_t>(r)];
    } else {
      out[written++] = static_cast<std::uint8_t>(state.matchPosition & 0xFF);
      out[written++] = static_cast<std::uint8_t>(((state.matchPosition >> 4) & 0xF0) |
                                                 (state.matchLength - (kThreshold + 1)));
    }
    mask = static_cast<std::uint8_t>(mask << 1);
    if (mask == 0) {
      out[flagSlot] = flags;
      flagSlot = written++;
      flags = 0;
      mask = 1;
    }

    const int lastMatchLength = state.matchLength;
    int i = 0;
    for (; i < lastMatchLength && inputPosition < inputLength; ++i) {
      const std::uint8_t c = input[inputPosition++];
      state.deleteNode(s);
      ring[static_cast<std::size_t>(s)] = c;
      if (s < kMaxMatch - 1) ring[static_cast<std::size_t>(s + kRingSize)] = c;
      s = (s + 1) & kRingMask;
      r = (r + 1) & kRingMask;
      state.insertNode(r);
    }
    // Input exhausted: the look-ahead shrinks.
    for (; i < lastMatchLength; ++i) {
      state.deleteNode(s);
      s = (s + 1) & kRingMask;
      r = (r + 1) & kRingMask;
      if (--len != 0) state.insertNode(r);
    }
  } while (len > 0);

  if (mask != 1) {
    out[flagSlot] = flags;
  } else {
    --written;  // the reserved slot of a group that got no item
  }
  *outLength = written;
}

void Decode(std::uint8_t* out, int* outLength, int capacity, const std::uint8_t* encoded,
            int encodedLength) {
  *outLength = 0;
  if (capacity <= 0 || encodedLength <= 0) return;

  // Positions 4078..4095 hold zeros until written, as the classic decoder's did; a stream
  // may in principle copy from them.
  std::array<std::uint8_t, kRingSize> ring{};
  for (int i = 0; i < kStart; ++i) ring[static_cast<std::size_t>(i)] = ' ';

  int r = kStart;
  int count = 0;
  int inputPosition = 0;
  unsigned flags = 0;  // the high byte counts the flag bits left
  for (;;) {
    flags >>= 1;
    if ((flags & 0x100) == 0) {
      if (inputPosition >= encodedLength) break;
      flags = encoded[inputPosition++] | 0xFF00u;
    }
    if (flags & 1) {
      if (inputPosition >= encodedLength) break;
      const std::uint8_t c = encoded[inputPosition++];
      out[count++] = c;
      ring[static_cast<std::size_t>(r)] = c;
      r = (r + 1) & kRingMask;
      if (count >= capacity) break;
    } else {
      if (encodedLength - inputPosition < 2) break;
      const int b1 = encoded[inputPosition++];
      const int b2 = encoded[inputPosition++];
      const int position = b1 | ((b2 & 0xF0) << 4);
      const int length = (b2 & 0x0F) + kThreshold + 1;
      for (int k = 0; k < length; ++k) {
        const std::uint8_t c = ring[static_cast<std::size_t>((position + k) & kRingMask)];
        out[count++] = c;
        ring[static_cast<std::size_t>(r)] = c;
        r = (r + 1) & kRingMask;
        if (count >= capacity) {
          *outLength = count;
          return;
        }
      }
    }
  }
  *outLength = count;
}

}  // namespace vellum
