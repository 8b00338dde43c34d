// Passwords as stored in the INI files, counted byte blocks with a check
// byte, their Base64 form and their MD5 digest: what the logon and the
// login scripts use for challenge data. Portable.
#pragma once
#include <cstddef>
#include <cstdint>

#include "commkit/bp/bp_system.h"

constexpr int kPasswordField = 24;

// A heap block of `length` data bytes followed by their check byte.
struct Block {
  uint8_t* data;
  uint16_t length;
};

// Base64 read results.
enum : uint32_t {
  kBase64Ok = 0,
  kBase64NoText = 1,  // or no memory
  kBase64Malformed = 2,
  kBase64BadCheck = 3,
};

// Where random bytes come from; the default asks the system's cryptographic
// source. False when it cannot give them.
struct EncodingHooks {
  bool (*randomBytes)(uint8_t* buffer, size_t count);
};
extern EncodingHooks g_encodingHooks;
extern const EncodingHooks kDefaultEncodingHooks;

// XOR with the key, in place; its own inverse.
void ZrtScramblePassword(uint8_t field[kPasswordField]);

extern "C" {
void BP_CALL PasswordToHex(const char* password, char* out);  // 483: 48 digits and a zero
void BP_CALL PasswordFromHex(const char* text, char* out);    // 484: up to 24 characters and a zero
}

// Lengths of 64 to 512 bytes of random data. The seed is kept for the
// callers' sake; the bytes come from the cryptographic source.
Block* BlockRandom(uint16_t seed);
Block* BlockFromBytes(const uint8_t* bytes, uint16_t length);
Block* BlockConcat(const Block* a, const Block* b);
Block* BlockNew(uint16_t length);
void BlockFree(Block* block);
uint8_t BlockCheck(const Block* block);
// Data and check byte in Base64; a CR after every `lineLength` characters
// that more characters follow (0: one line). A heap text.
char* BlockToBase64(const Block* block, uint16_t lineLength);
Block* BlockFromBase64(const char* text, uint32_t* status);
void BlockDigest(const Block* block, uint8_t digest[16]);

// MD5 of any bytes.
void Md5(const uint8_t* data, size_t length, uint8_t digest[16]);
