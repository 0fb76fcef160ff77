#pragma once
// Signatures of new programs in minisign's format, checked with libsodium.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace update {

// A minisign public key: the base64 line of the file "minisign -G" writes.
struct PublicKey {
  std::array<uint8_t, 8> id{};
  std::array<uint8_t, 32> key{};
};

// The key from its base64 line; empty when the line is not an Ed25519 key.
std::optional<PublicKey> ParsePublicKey(std::string_view base64Line);

// Checks a ".minisig" text against the file as minisign -V does: the key
// id, the signature over the file's BLAKE2b-512 hash ("ED") or over the
// file itself ("Ed"), and the global signature over the trusted comment.
// Gives an empty text when all of it holds, otherwise the reason.
std::string VerifySignature(const std::filesystem::path& file, std::string_view minisig, const PublicKey& key);

}  // namespace update
