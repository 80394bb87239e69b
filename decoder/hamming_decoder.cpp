// Soft decoding of one extended Hamming word by algebraic correction plus a
// search among the weight-4 neighbours of that decision.
//
// The algebraic decision D is a codeword. Any other codeword that inverts the
// two least reliable positions p1, p2 of D inverts exactly two more, a and b,
// and {p1, p2, a, b} is the support of a weight-4 codeword. Rotating the
// cyclic positions 0 ... n-2 so that p1 lands on 0 maps codewords to
// codewords, so CompletionPairTable row v = rotated p2 lists those (a, b)
// for every choice of (p1, p2) with only n rows. Position n-1 is not cyclic
// and never moves.
#include "decoder/hamming_decoder.h"

#include "decoder/code_tables.h"
#include "decoder/word_steps.h"

namespace tpc {

namespace {

// Larger than any pair score (at most 2 * SoftLimit), so the first pair
// always replaces it.
constexpr int32_t kNoSecondScore = 20001;

constexpr int32_t kMaxLength = 256;

// Word position of rotated position i (n-1 stays put).
int32_t UnrotatedPosition(int32_t n, int32_t i, int32_t origin) {
    return i == n - 1 ? i : (i + origin) % (n - 1);
}

}  // namespace

void RotateSoft(int32_t n, const int32_t* soft, int32_t origin, int32_t* rotated) {
    const int32_t cyclic = n - 1;
    // Positions origin ... n-2 go to 0 ..., then 0 ... origin-1 follow.
    int32_t to = 0;
    for (int32_t i = origin; i < cyclic; ++i) rotated[to++] = soft[i];
    for (int32_t i = 0; i < origin; ++i) rotated[to++] = soft[i];
    rotated[n - 1] = soft[n - 1];
}

void UnrotateSoft(int32_t n, const int32_t* rotated, int32_t origin, int32_t* soft) {
    const int32_t cyclic = n - 1;
    int32_t from = 0;
    for (int32_t i = origin; i < cyclic; ++i) soft[i] = rotated[from++];
    for (int32_t i = 0; i < origin; ++i) soft[i] = rotated[from++];
    soft[n - 1] = rotated[n - 1];
}

// The anchor score t = -(r[0] + r[v]) and a pair score w = r[a] + r[b] are the
// metrics of D and of the competitor relative to D, both shifted by -r[0] -
// r[v]. After the walk every position holds the score of the one examined
// codeword pair it belongs to, so subtracting the best leaves the gap to the
// nearest examined codeword with the other bit there; the winning pair's
// nearest rival is the runner-up.
WinningPair ScoreCompetitors(int32_t n, int32_t v, int32_t* r) {
    const int32_t* row = CompletionPairTable(n) + v * (n - 2);
    const int32_t pairCount = (n - 2) / 2;

    const int32_t anchor = -(r[0] + r[v]);
    r[0] = anchor;
    r[v] = anchor;
    int32_t best = anchor;
    int32_t second = kNoSecondScore;
    WinningPair winner{0, v};

    for (int32_t j = 0; j < pairCount; ++j) {
        const int32_t a = row[2 * j];
        const int32_t b = row[2 * j + 1];
        const int32_t w = r[a] + r[b];
        r[a] = w;
        r[b] = w;
        if (w < second) {
            if (w < best) {
                second = best;
                best = w;
                winner = WinningPair{a, b};
            } else {
                second = w;
            }
        }
    }

    for (int32_t i = 0; i < n; ++i) r[i] -= best;
    r[winner.a] = second - best;
    r[winner.b] = second - best;
    return winner;
}

void DecodeHammingWord(int32_t n, uint8_t* hard, int32_t* soft, uint8_t* decisionKept,
                       uint8_t* correctionMade) {
    const int32_t syndrome = HammingSyndrome(n, hard);
    const int32_t parityHolds = WordParity(hard, n);

    // Algebraic correction: one inversion fixes the syndrome, the parity
    // position then fixes the weight. Inverted positions get negative soft
    // values and so become the least reliable ones.
    const int32_t e = SyndromePositionTable(n)[syndrome];
    hard[e] = static_cast<uint8_t>(1 - hard[e]);
    soft[e] = -soft[e];
    if (parityHolds == 1) {
        hard[n - 1] = static_cast<uint8_t>(1 - hard[n - 1]);
        soft[n - 1] = -soft[n - 1];
    }

    TwoLeast least = FindTwoLeast(soft, n);
    // The rotation origin must be a cyclic position.
    if (least.p1 == n - 1) {
        least.p1 = least.p2;
        least.p2 = n - 1;
    }
    const int32_t p1 = least.p1;
    const int32_t p2 = least.p2;

    int32_t rotated[kMaxLength];
    RotateSoft(n, soft, p1, rotated);
    const int32_t v = p2 == n - 1 ? n - 1 : (p2 - p1 + (n - 1)) % (n - 1);

    const WinningPair winner = ScoreCompetitors(n, v, rotated);
    // Table pairs never contain 0 or v, so the anchor pair is (0, v) exactly
    // when D stays the decision.
    const bool kept = winner.a == 0;
    *decisionKept = kept ? 1 : 0;
    *correctionMade = (syndrome == 0 && kept) ? 0 : 1;

    UnrotateSoft(n, rotated, p1, soft);

    if (!kept) {
        const int32_t a = UnrotatedPosition(n, winner.a, p1);
        const int32_t b = UnrotatedPosition(n, winner.b, p1);
        hard[p1] = static_cast<uint8_t>(1 - hard[p1]);
        hard[p2] = static_cast<uint8_t>(1 - hard[p2]);
        hard[a] = static_cast<uint8_t>(1 - hard[a]);
        hard[b] = static_cast<uint8_t>(1 - hard[b]);
    }
}

}  // namespace tpc
