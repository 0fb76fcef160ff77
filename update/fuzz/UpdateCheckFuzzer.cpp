// Feeds arbitrary bytes to what judges a downloaded program and its
// signature: the whole-program check, the public key and the .minisig
// reader. Nothing may crash or read outside the bytes.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "update/ExecutableCheck.h"
#include "update/Signature.h"

namespace {

// A key and a small signed file, so signature texts reach every check.
const std::filesystem::path& SignedFile() {
  static const std::filesystem::path file = [] {
    const auto path = std::filesystem::temp_directory_path() / "tessary-update-fuzz-file";
    std::ofstream(path, std::ios::binary) << "hello\n";
    return path;
  }();
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  update::IsWholeProgramForThisPlatform(bytes);
  static const auto key = update::ParsePublicKey("RWQO7sQ3PQUkapa86Uaz+42Aky2bbK9k99Om2l9Vsp6Ru5xeWR6qtrq2");
  if (key) update::VerifySignature(SignedFile(), bytes, *key);
  update::ParsePublicKey(bytes.substr(0, 128));
  return 0;
}
