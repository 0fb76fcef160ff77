// Signed updates: the check with a built-in minisign key, against
// signatures the minisign tool makes in the test.
#include "update/CheckForUpdate.h"
#include "update/Signature.h"

#include "update/tests/LoopbackHttpServer.h"
#include "update/tests/RecordingEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace update {
namespace {

namespace fs = std::filesystem;
using namespace testing;  // the loopback server, the recording environment, folders
using Files = std::map<std::string, std::string>;

const std::string kOldProgram = "the running zarek";

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

std::string SecondLine(const std::string& text) {
  const size_t start = text.find('\n') + 1;
  return text.substr(start, text.find('\n', start) - start);
}

// A key pair made with "minisign -G" (no password).
struct KeyPair {
  fs::path secret;
  std::string publicLine;
};

class SignedUpdateTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!Shell("command -v minisign >/dev/null 2>&1")) return;
    keys = new TemporaryFolder;
    for (const char* name : {"publisher", "stranger"}) {
      const fs::path base = keys->Path() / name;
      if (!Shell("minisign -G -W -f -p " + Quoted(base.string() + ".pub") + " -s " + Quoted(base.string() + ".key") +
                 " >/dev/null"))
        return;
      (name[0] == 'p' ? publisher : stranger) =
          KeyPair{base.string() + ".key", SecondLine(testing::ReadFile(base.string() + ".pub"))};
    }
  }
  static void TearDownTestSuite() {
    delete keys;
    keys = nullptr;
  }

  void SetUp() override {
    if (publisher.publicLine.empty() || stranger.publicLine.empty()) GTEST_SKIP() << "the minisign tool is needed";
    testing::WriteFile(folder.Path() / "zarek.exe", kOldProgram);
    options.stallTimeout = std::chrono::milliseconds(400);
    server.Serve(
        "/derodoz/hollinzarek/zarekupdate.ini",
        Reply{.body = "[LoginUpdate]\nVersionId=1002\ndownloadUrl=" + server.Address("/files/zarek.exe") + "\n"});
  }

  // The .minisig text of the bytes, made by the tool with the given key.
  std::string Sign(const std::string& bytes, const KeyPair& key, bool legacy = false) {
    const fs::path file = signing.Path() / "zarek.exe";
    testing::WriteFile(file, bytes);
    const fs::path signature = signing.Path() / "zarek.exe.minisig";
    EXPECT_TRUE(Shell("minisign -S " + std::string(legacy ? "-l " : "") + "-s " + Quoted(key.secret) + " -m " +
                      Quoted(file) + " -x " + Quoted(signature) + " -t 'zarek 1002' >/dev/null"));
    return testing::ReadFile(signature);
  }

  void Serve(const std::string& program, const std::optional<std::string>& signature) {
    server.Serve("/files/zarek.exe", Reply{.body = program});
    if (signature)
      server.Serve("/files/zarek.exe.minisig", Reply{.body = *signature});
    else
      server.Serve("/files/zarek.exe.minisig", Reply{.status = 404, .body = "missing"});
  }

  UpdateOutcome Check(const std::string& key) {
    environment.warnings.clear();
    environment.messages.clear();
    return UpdateCheck(environment, server.Host(), 1001, options, key).Run();
  }

  static inline TemporaryFolder* keys = nullptr;
  static inline KeyPair publisher;
  static inline KeyPair stranger;

  TemporaryFolder folder;
  TemporaryFolder signing;
  LoopbackHttpServer server;
  RecordingEnvironment environment{folder.Path()};
  DownloadOptions options;
  const std::string program = testing::SmallProgram("version 1002", 16384);
};

std::string FlipAt(std::string text, size_t at) {
  text[at] = text[at] == 'A' ? 'B' : 'A';
  return text;
}

TEST_F(SignedUpdateTest, OnlyAValidSignatureWithTheBuiltInKeyInstalls) {
  const std::string good = Sign(program, publisher);
  const size_t signatureLine = good.find('\n') + 1;
  const size_t trusted = good.find("trusted comment: ", signatureLine);
  std::string otherComment = good;
  otherComment.replace(trusted, 27, "trusted comment: zarek 9999");

  const struct {
    const char* what;
    std::string served;
    std::optional<std::string> signature;
    std::string key;
    const char* cause;  // empty: installed
  } cases[] = {
      {"good signature", program, good, publisher.publicLine, ""},
      {"legacy signature", program, Sign(program, publisher, true), publisher.publicLine, ""},
      {"flipped byte in the file", FlipAt(program, program.size() / 2), good, publisher.publicLine,
       "does not match the downloaded program"},
      {"flipped byte in the signature", program, FlipAt(good, signatureLine + 40), publisher.publicLine,
       "does not match the downloaded program"},
      {"another key", program, Sign(program, stranger), publisher.publicLine, "made with another key"},
      {"changed trusted comment", program, otherComment, publisher.publicLine, "trusted comment does not match"},
      {"missing signature", program, std::nullopt, publisher.publicLine, "was not downloaded"},
      {"HTML page", program, "<!DOCTYPE html>\n<html><body>Sign in</body></html>\n", publisher.publicLine,
       "not in minisign's format"},
      {"signature cut short", program, good.substr(0, good.size() - 20), publisher.publicLine,
       "not in minisign's format"},
      {"malformed built-in key", program, good, "RWQnotakey", "public key is malformed"},
  };
  for (const auto& example : cases) {
    SCOPED_TRACE(example.what);
    testing::WriteFile(folder.Path() / "zarek.exe", kOldProgram);
    fs::remove(folder.Path() / "zarek_.exe");
    Serve(example.served, example.signature);
    const size_t requestsBefore = server.Requests().size();
    const UpdateOutcome outcome = Check(example.key);
    if (*example.cause == '\0') {
      EXPECT_EQ(outcome, UpdateOutcome::Installed);
      EXPECT_EQ(testing::FolderContents(folder.Path()),
                (Files{{"zarek.exe", example.served}, {"zarek_.exe", kOldProgram}}));
      EXPECT_TRUE(environment.warnings.empty());
      const auto requests = server.Requests();
      ASSERT_EQ(requests.size(), requestsBefore + 3);
      EXPECT_EQ(requests.back().target, "/files/zarek.exe.minisig?4321");
      continue;
    }
    EXPECT_EQ(outcome, UpdateOutcome::SignatureRefused);
    EXPECT_EQ(testing::FolderContents(folder.Path()), (Files{{"zarek.exe", kOldProgram}}));
    ASSERT_EQ(environment.warnings.size(), 1u);
    EXPECT_NE(environment.warnings[0].find(example.cause), std::string::npos) << environment.warnings[0];
    // Only a missing file answers with an error status, which the
    // user is told about as for any download.
    EXPECT_EQ(environment.messages.size(), example.signature ? 0u : 1u);
  }
  EXPECT_EQ(environment.startedPrograms.size(), 2u);
}

TEST_F(SignedUpdateTest, WithoutAKeyNoSignatureIsAskedFor) {
  Serve(program, std::nullopt);
  EXPECT_EQ(Check(""), UpdateOutcome::Installed);
  for (const auto& request : server.Requests()) EXPECT_EQ(request.target.find(".minisig"), std::string::npos);
}

TEST(SignatureTest, PublicKeyLinesAreChecked) {
  // From "minisign -G": "Ed", the key id and the Ed25519 key.
  const std::string line = "RWQO7sQ3PQUkapa86Uaz+42Aky2bbK9k99Om2l9Vsp6Ru5xeWR6qtrq2";
  const auto key = ParsePublicKey(line);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->id[0], 0x0e);
  EXPECT_EQ(key->id[7], 0x6a);
  for (const std::string& bad :
       {std::string(), line.substr(0, 40), line + "AAAA", line + " ",
        std::string("untrusted comment: minisign public key"), std::string("RUQO") + line.substr(4)}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParsePublicKey(bad));
  }
}

}  // namespace
}  // namespace update
