// SHA-256 in its plain form: one message schedule and 64 rounds per block of 64 bytes.
#include "sha256.h"

#include <string.h>

namespace {

const DWORD kInitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

const DWORD kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

DWORD RotateRight(DWORD value, int bits)
{
    return (value >> bits) | (value << (32 - bits));
}

void Compress(DWORD state[8], const BYTE block[64])
{
    DWORD schedule[64];
    for (int i = 0; i < 16; i++)
        schedule[i] = static_cast<DWORD>(block[4 * i]) << 24 |
                      static_cast<DWORD>(block[4 * i + 1]) << 16 |
                      static_cast<DWORD>(block[4 * i + 2]) << 8 | block[4 * i + 3];
    for (int i = 16; i < 64; i++) {
        DWORD w15 = schedule[i - 15];
        DWORD w2 = schedule[i - 2];
        schedule[i] = schedule[i - 16] + (RotateRight(w15, 7) ^ RotateRight(w15, 18) ^ (w15 >> 3)) +
                      schedule[i - 7] + (RotateRight(w2, 17) ^ RotateRight(w2, 19) ^ (w2 >> 10));
    }
    // v[0..7] are the working variables a..h.
    DWORD v[8];
    for (int i = 0; i < 8; i++)
        v[i] = state[i];
    for (int i = 0; i < 64; i++) {
        DWORD t1 = v[7] + (RotateRight(v[4], 6) ^ RotateRight(v[4], 11) ^ RotateRight(v[4], 25)) +
                   ((v[4] & v[5]) ^ (~v[4] & v[6])) + kRoundConstants[i] + schedule[i];
        DWORD t2 = (RotateRight(v[0], 2) ^ RotateRight(v[0], 13) ^ RotateRight(v[0], 22)) +
                   ((v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]));
        for (int j = 7; j > 0; j--)
            v[j] = v[j - 1];
        v[4] += t1;
        v[0] = t1 + t2;
    }
    for (int i = 0; i < 8; i++)
        state[i] += v[i];
}

}  // namespace

void Sha256Start(Sha256* hash)
{
    memcpy(hash->state, kInitialState, sizeof kInitialState);
    hash->length = 0;
}

void Sha256Add(Sha256* hash, const BYTE* data, DWORD size)
{
    for (DWORD i = 0; i < size; i++) {
        hash->block[hash->length++ & 63] = data[i];
        if ((hash->length & 63) == 0)
            Compress(hash->state, hash->block);
    }
}

void Sha256Finish(Sha256* hash, BYTE digest[kSha256Size])
{
    // The message, a 1 bit, zeros up to 56 bytes into a block, and the length in bits as 64 bits.
    const DWORD length = hash->length;
    BYTE padding[64 + 8] = {0x80};
    BYTE* bits = padding + 1 + ((55 - length) & 63);
    bits[3] = static_cast<BYTE>(length >> 29);
    for (int i = 0; i < 4; i++)
        bits[4 + i] = static_cast<BYTE>((length << 3) >> (24 - 8 * i));
    Sha256Add(hash, padding, static_cast<DWORD>(bits + 8 - padding));
    for (int i = 0; i < kSha256Size; i++)
        digest[i] = static_cast<BYTE>(hash->state[i / 4] >> (24 - 8 * (i % 4)));
}
