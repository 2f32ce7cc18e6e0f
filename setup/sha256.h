// SHA-256 (FIPS 180-4) of data given in pieces: how setup checks the files of its package. Our
// own, as Windows 95 and NT 4.0 have no SHA-2 in CryptoAPI.
#pragma once

#include <windows.h>

enum { kSha256Size = 32 };

struct Sha256 {
    DWORD state[8];
    DWORD length;    // bytes added so far: a file of setup's package is below 4 GiB
    BYTE block[64];  // the bytes of the block not yet compressed
};

void Sha256Start(Sha256* hash);
void Sha256Add(Sha256* hash, const BYTE* data, DWORD size);
// The digest of everything added; the hash must be started again before it is used once more.
void Sha256Finish(Sha256* hash, BYTE digest[kSha256Size]);
