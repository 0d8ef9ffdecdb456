// The entry points of the cipher module, the one place that calls Crypto++. Each returns 0 on
// success, or the step that failed: 1 hashing the key, 2 setting the key, 3 running the cipher.
// Buffers may overlap only as `out` == `in`.
//
// Thread-safety: the functions keep no state.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

int KorvalisRc4WithMd5Key(const uint8_t* key_material, size_t key_length, const uint8_t* in,
                          uint8_t* out, size_t length);
// `key` has 16 bytes, `iv` 8.
int KorvalisDes2Cfb(int encrypt, const uint8_t* key, const uint8_t* iv, const uint8_t* in,
                    uint8_t* out, size_t length);
// `digest` has 16 bytes.
int KorvalisMd5(const uint8_t* in, size_t length, uint8_t* digest);
}
