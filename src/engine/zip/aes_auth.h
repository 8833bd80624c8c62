#pragma once
// The authentication code of a WinZip-AES entry, checked on its encrypted
// bytes. libzip checks it too, but reports a failure the same way as a CRC
// mismatch, and for stored entries of the second AES form (no CRC) it always
// reports one; this check tells the two apart.
//
// Encrypted data:  salt (8, 12 or 16 bytes) | password verifier (2) |
//                  cipher text | authentication code (10)
// Keys: PBKDF2-HMAC-SHA1(password, salt, 1000 rounds) gives the AES key, the
// HMAC key and the verifier, in that order; the code is the first 10 bytes of
// HMAC-SHA1(HMAC key, cipher text).
//
// Calling thread only (reads through the archive's libzip handle).
#include <string>

#include <zip.h>

#include "engine/result_codes.h"

namespace kx {

// rc::Ok when the code matches; rc::WrongPassword when the verifier does not;
// rc::CrcError when the data was changed; rc::UnknownMethod for no AES entry.
Result CheckAesAuthentication(zip_t* za, zip_uint64_t index, int aesMethod, const std::string& password);

}  // namespace kx
