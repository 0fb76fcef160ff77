#include "update/Signature.h"

#include <sodium.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace update {

namespace {

constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";
constexpr size_t kSignatureBytes = 2 + 8 + crypto_sign_BYTES;
constexpr size_t kKeyBytes = 2 + 8 + crypto_sign_PUBLICKEYBYTES;

bool SodiumReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

// Exactly size bytes from a base64 text, or nothing.
std::optional<std::vector<uint8_t>> Base64(std::string_view text, size_t size) {
  std::vector<uint8_t> bytes(size + 1);
  size_t length = 0;
  const char* end = nullptr;
  if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length, &end,
                        sodium_base64_VARIANT_ORIGINAL) != 0 ||
      end != text.data() + text.size() || length != size)
    return std::nullopt;
  bytes.resize(size);
  return bytes;
}

// The next line without its line ending (LF or CRLF).
std::string_view NextLine(std::string_view& text) {
  const size_t end = text.find('\n');
  std::string_view line = text.substr(0, end);
  text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool ReadWhole(int fd, std::vector<uint8_t>& content) {
  uint8_t buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) return false;
    if (got == 0) return true;
    content.insert(content.end(), buffer, buffer + got);
  }
}

bool HashWhole(int fd, std::array<uint8_t, crypto_generichash_BYTES_MAX>& hash) {
  crypto_generichash_state state;
  crypto_generichash_init(&state, nullptr, 0, hash.size());
  uint8_t buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) return false;
    if (got == 0) break;
    crypto_generichash_update(&state, buffer, static_cast<size_t>(got));
  }
  return crypto_generichash_final(&state, hash.data(), hash.size()) == 0;
}

}  // namespace

std::optional<PublicKey> ParsePublicKey(std::string_view base64Line) {
  if (!SodiumReady()) return std::nullopt;
  const auto bytes = Base64(base64Line, kKeyBytes);
  if (!bytes || (*bytes)[0] != 'E' || (*bytes)[1] != 'd') return std::nullopt;
  PublicKey key;
  std::copy(bytes->begin() + 2, bytes->begin() + 10, key.id.begin());
  std::copy(bytes->begin() + 10, bytes->end(), key.key.begin());
  return key;
}

std::string VerifySignature(const std::filesystem::path& file, std::string_view minisig, const PublicKey& key) {
  if (!SodiumReady()) return "the signature library cannot start";
  std::string_view rest = minisig;
  const std::string_view untrusted = NextLine(rest);
  const std::string_view signatureLine = NextLine(rest);
  const std::string_view trusted = NextLine(rest);
  const std::string_view globalLine = NextLine(rest);
  if (untrusted.substr(0, kUntrustedPrefix.size()) != kUntrustedPrefix ||
      trusted.substr(0, kTrustedPrefix.size()) != kTrustedPrefix)
    return "the signature file is not in minisign's format";
  const auto signature = Base64(signatureLine, kSignatureBytes);
  const auto global = Base64(globalLine, crypto_sign_BYTES);
  if (!signature || !global) return "the signature file is not in minisign's format";

  const bool prehashed = (*signature)[0] == 'E' && (*signature)[1] == 'D';
  const bool legacy = (*signature)[0] == 'E' && (*signature)[1] == 'd';
  if (!prehashed && !legacy) return "the signature uses an unknown algorithm";
  if (!std::equal(key.id.begin(), key.id.end(), signature->begin() + 2))
    return "the signature was made with another key";
  const uint8_t* signatureBytes = signature->data() + 10;

  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return "the downloaded program cannot be read";
  bool valid = false;
  bool read = false;
  if (prehashed) {
    std::array<uint8_t, crypto_generichash_BYTES_MAX> hash{};
    read = HashWhole(fd, hash);
    valid = read && crypto_sign_verify_detached(signatureBytes, hash.data(), hash.size(), key.key.data()) == 0;
  } else {
    std::vector<uint8_t> content;
    read = ReadWhole(fd, content);
    valid = read && crypto_sign_verify_detached(signatureBytes, content.data(), content.size(), key.key.data()) == 0;
  }
  ::close(fd);
  if (!read) return "the downloaded program cannot be read";
  if (!valid) return "the signature does not match the downloaded program";

  // The trusted comment is signed together with the signature itself.
  std::vector<uint8_t> signedComment(signatureBytes, signatureBytes + crypto_sign_BYTES);
  const std::string_view comment = trusted.substr(kTrustedPrefix.size());
  signedComment.insert(signedComment.end(), comment.begin(), comment.end());
  if (crypto_sign_verify_detached(global->data(), signedComment.data(), signedComment.size(), key.key.data()) != 0)
    return "the signature's trusted comment does not match";
  return {};
}

}  // namespace update
