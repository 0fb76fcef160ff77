#include "login/LoginAddress.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>

#include <gtest/gtest.h>

#include "login/Hosts.h"

namespace login {
namespace {

namespace fs = std::filesystem;

constexpr std::u16string_view kHost = u"portal.test:8123";
constexpr std::u16string_view kBase = u"http://portal.test:8123/lander/zarek";
constexpr std::u16string_view kKey = u"Software\\HollinTessary";

std::string Narrow(std::u16string_view text) {
  std::string narrow;
  for (char16_t c : text) narrow.push_back(c < 0x80 ? char(c) : '?');
  return narrow;
}

// Everything about a file that a rewrite would change.
struct FileState {
  std::string bytes;
  ino_t inode = 0;
  timespec modified{};
  mode_t mode = 0;
  uid_t owner = 0;
  bool operator==(const FileState& o) const {
    return bytes == o.bytes && inode == o.inode && modified.tv_sec == o.modified.tv_sec &&
           modified.tv_nsec == o.modified.tv_nsec && mode == o.mode && owner == o.owner;
  }
};

std::optional<passwd> Nobody() {
  const passwd* entry = ::getpwnam("nobody");
  if (!entry || entry->pw_uid == 0) return std::nullopt;
  return *entry;
}

// Runs `work` in a child process that has become "nobody", and returns what
// it returned. Lets a test run as root observe what permissions do to an
// ordinary user.
std::optional<std::string> RunAsNobody(const std::function<std::string()>& work) {
  const auto nobody = Nobody();
  if (!nobody) return std::nullopt;
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return std::nullopt;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeEnds[0]);
    if (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) ::_exit(2);
    const std::string answer = work();
    const bool written = ::write(pipeEnds[1], answer.data(), answer.size()) == ssize_t(answer.size());
    ::_exit(written ? 0 : 3);
  }
  ::close(pipeEnds[1]);
  std::string answer;
  char buffer[512];
  for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, size_t(got));
  ::close(pipeEnds[0]);
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return std::nullopt;
  return answer;
}

class LoginAddressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tessary-login-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
    file_ = root_ / "tessary" / "registry.ini";
  }
  void TearDown() override { fs::remove_all(root_); }

  void WriteFile(const std::string& text) {
    fs::create_directories(file_.parent_path());
    std::ofstream(file_, std::ios::binary) << text;
  }
  void WriteQid(const std::string& data) { WriteFile("[Software\\HollinTessary]\n\"QID\"=" + data + "\n"); }
  FileState State() const {
    FileState state;
    std::ifstream in(file_, std::ios::binary);
    state.bytes.assign(std::istreambuf_iterator<char>(in), {});
    struct stat info {};
    if (::lstat(file_.c_str(), &info) == 0) {
      state.inode = info.st_ino;
      state.modified = info.st_mtim;
      state.mode = info.st_mode;
      state.owner = info.st_uid;
    }
    return state;
  }
  std::set<std::string> FolderEntries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(file_.parent_path())) names.insert(entry.path().filename());
    return names;
  }
  std::u16string Address() {
    RegistryStore store(file_);
    return BuildLoginAddress(store, kHost);
  }
  bool Read(std::u16string& out, int maxChars = 260) {
    RegistryStore store(file_);
    return ReadRegistryString(store, RegistryRoot::CurrentUser, kKey, u"QID", out, maxChars);
  }
  // Hands the whole temporary tree to "nobody".
  void GiveTreeToNobody() {
    const auto nobody = Nobody();
    ASSERT_TRUE(nobody);
    for (const auto& entry : fs::recursive_directory_iterator(root_))
      ASSERT_EQ(::lchown(entry.path().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(::chown(root_.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  }
  // The address as the user "nobody" gets it (as root), or as we get it.
  std::u16string AddressAsOrdinaryUser() {
    if (::geteuid() != 0) return Address();
    GiveTreeToNobody();
    const fs::path file = file_;
    const auto answer = RunAsNobody([file] {
      RegistryStore store(file);
      return Narrow(BuildLoginAddress(store, kHost));
    });
    EXPECT_TRUE(answer) << "the child process failed";
    return answer ? std::u16string(answer->begin(), answer->end()) : u"";
  }

  fs::path root_;
  fs::path file_;
};

TEST(PromotionKey, ParsesLikeWcstolInBaseTen) {
  const struct {
    std::u16string_view text;
    std::int32_t n;
  } cases[] = {
      {u"", 0},
      {u"0", 0},
      {u"abc", 0},
      {u"12345", 12345},
      {u" 42abc", 42},
      {u"-7", -7},
      {u"+5", 5},
      {u"00012", 12},
      {u"1 2", 1},
      {u"\t\n\v\f\r 8", 8},
      {u"\u3000\u2028\u1680 9", 9},  // Unicode spaces count as white space
      {u"\u00A09", 0},               // a no-break space does not
      {u"+-5", 0},
      {u"- 5", 0},
      {u"-", 0},
      {u"0x1A", 0},
      {u"\uFF11\uFF12", 0},  // full-width digits are not digits
      {u"12\u0663", 12},
      {u"2147483647", INT32_MAX},
      {u"2147483648", INT32_MAX},
      {u"99999999999", INT32_MAX},
      {u"-2147483648", INT32_MIN},
      {u"-2147483649", INT32_MIN},
      {u"-99999999999", INT32_MIN},
      {u"000000000000000000000000000000000000000042", 42},
  };
  for (const auto& c : cases) EXPECT_EQ(ParsePromotionKey(c.text), c.n) << Narrow(c.text);
  EXPECT_EQ(ParsePromotionKey(std::u16string(5000, u'9')), INT32_MAX);
  EXPECT_EQ(ParsePromotionKey(u"-" + std::u16string(5000, u'9')), INT32_MIN);
}

TEST_F(LoginAddressTest, NoKeyCreatesItEmptyAndGivesTheBaseAddress) {
  EXPECT_EQ(Address(), kBase);
  const FileState created = State();
  EXPECT_NE(created.bytes.find("\n[Software\\HollinTessary]\n"), std::string::npos) << created.bytes;
  RegistryStore store(file_);
  RegistryKey key;
  EXPECT_EQ(store.OpenKey(RegistryRoot::CurrentUser, kKey, KEY_READ, key), RegistryResult::Success);

  // Once it exists the key is only read: the file stays as it is.
  EXPECT_EQ(Address(), kBase);
  EXPECT_EQ(State(), created);
}

TEST_F(LoginAddressTest, KeyMissingFromAnExistingStoreIsAddedAndTheRestKept) {
  const std::string mine = "; written by hand\n[Software\\Other]\n\"QID\"=\"99\"\n";
  WriteFile(mine);
  EXPECT_EQ(Address(), kBase);
  EXPECT_EQ(State().bytes, mine + "\n[Software\\HollinTessary]\n");
}

TEST_F(LoginAddressTest, TheValueDecidesTheSuffix) {
  const struct {
    std::string data;
    std::u16string_view suffix;
  } cases[] = {
      {"\"0\"", u""},
      {"\"abc\"", u""},
      {"\"\"", u""},
      {"\"12345\"", u"?adkey=12345"},
      {"\" 42abc\"", u"?adkey=42"},
      {"\"-7\"", u"?adkey=-7"},
      {"\"+5\"", u"?adkey=5"},
      {"\"99999999999\"", u"?adkey=2147483647"},
      {"\"-99999999999\"", u"?adkey=-2147483648"},
      {"expand:\"12345\"", u"?adkey=12345"},
      {"dword:00003039", u""},                                       // 12345 as a number
      {"hex:31,00,32,00,00,00", u""},                                // "12" as binary
      {"hex(7):31,00,32,00,00,00,00,00", u""},                       // "12" as a string list
      {"hex(1):31,00,32,00", u""},                                   // no terminating NUL
      {"hex(1):31,00,32,00,00", u""},                                // odd byte length
      {"hex(1):31,00,32,00,00,00,00", u""},                          // odd length ending in NULs
      {"hex(1):31,00,32,00,00,00,20,00,33,00,00,00", u"?adkey=12"},  // text ends at the first NUL
      {"hex(2):37,00,00,00", u"?adkey=7"},
      {"hex(1):", u""},  // no data at all reads as empty
      {"hex(1):00,00", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.data);
    WriteQid(c.data);
    const FileState before = State();
    EXPECT_EQ(Address(), std::u16string(kBase) + std::u16string(c.suffix));
    EXPECT_EQ(State(), before);
  }
}

TEST_F(LoginAddressTest, ValueNamesAndKeyNamesIgnoreCase) {
  WriteFile("[SOFTWARE\\hollintessary]\n\"qid\"=\"77\"\n");
  const FileState before = State();
  EXPECT_EQ(Address(), std::u16string(kBase) + u"?adkey=77");
  EXPECT_EQ(State(), before);  // no second section was added
}

TEST_F(LoginAddressTest, AMissingValueGivesTheBaseAddress) {
  WriteFile("[Software\\HollinTessary]\n\"Other\"=\"5\"\n");
  EXPECT_EQ(Address(), kBase);
}

// The data must fit 260 characters plus the terminating NUL.
TEST_F(LoginAddressTest, TheBufferHoldsTwoHundredSixtyCharactersAndTheNul) {
  const std::string digits260 = std::string(255, '0') + "12345";
  WriteQid("\"" + digits260 + "\"");
  EXPECT_EQ(Address(), std::u16string(kBase) + u"?adkey=12345");
  WriteQid("\"0" + digits260 + "\"");  // 261 characters
  EXPECT_EQ(Address(), kBase);

  std::u16string out = u"untouched";
  WriteQid("\"" + std::string(260, '7') + "\"");
  EXPECT_TRUE(Read(out));
  EXPECT_EQ(out, std::u16string(260, u'7'));

  out = u"untouched";
  WriteQid("\"" + std::string(261, '7') + "\"");
  EXPECT_FALSE(Read(out));
  EXPECT_EQ(out, u"untouched");

  // It is the data's size that counts, not the text's.
  std::string data = "hex(1):";
  for (int i = 0; i < 259; ++i) data += "37,00,";
  WriteQid(data + "00,00,00,00");  // 259 characters and two NULs: 522 bytes
  EXPECT_TRUE(Read(out));
  EXPECT_EQ(out, std::u16string(259, u'7'));
  out = u"untouched";
  WriteQid(data + "37,00,00,00,00,00");  // 260 characters and two NULs: 524 bytes
  EXPECT_FALSE(Read(out));
  EXPECT_EQ(out, u"untouched");

  WriteQid("\"\"");
  EXPECT_TRUE(Read(out, 0));
  EXPECT_EQ(out, u"");
  out = u"untouched";
  WriteQid("\"1\"");
  EXPECT_FALSE(Read(out, 0));
  EXPECT_FALSE(Read(out, -1));
  EXPECT_EQ(out, u"untouched");
}

TEST_F(LoginAddressTest, FailedReadsLeaveTheOutputAlone) {
  for (const std::string data : {"dword:00000001", "hex(1):31,00", "hex(1):31,00,00", "hex:00,00"}) {
    SCOPED_TRACE(data);
    WriteQid(data);
    std::u16string out = u"untouched";
    EXPECT_FALSE(Read(out));
    EXPECT_EQ(out, u"untouched");
  }
  WriteFile("[Software\\HollinTessary]\n");
  std::u16string out = u"untouched";
  EXPECT_FALSE(Read(out));
  EXPECT_EQ(out, u"untouched");
  WriteQid("\"\"");
  EXPECT_TRUE(Read(out));
  EXPECT_EQ(out, u"");
}

TEST_F(LoginAddressTest, ACorruptStoreIsLeftExactlyAsItWas) {
  for (const std::string text : {"[Software\\HollinTessary]\n\"QID\"=12345\n", "QID=12345\n",
                                 "[Software\\HollinTessary\n\"QID\"=\"12345\"\n", "\xFF\xFE[\0S\0"}) {
    SCOPED_TRACE(text);
    WriteFile(text);
    const FileState before = State();
    EXPECT_EQ(Address(), kBase);
    EXPECT_EQ(State(), before);
    EXPECT_EQ(FolderEntries(), std::set<std::string>{"registry.ini"});
  }
}

TEST_F(LoginAddressTest, AnotherUsersStoreIsNotUsed) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can hand a file to another user";
  const auto nobody = Nobody();
  ASSERT_TRUE(nobody);
  WriteQid("\"12345\"");
  ASSERT_EQ(::chown(file_.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  const FileState before = State();
  EXPECT_EQ(Address(), kBase);
  EXPECT_EQ(State(), before);
  EXPECT_EQ(FolderEntries(), std::set<std::string>{"registry.ini"});
}

TEST_F(LoginAddressTest, AnUnreadableStoreIsNotUsed) {
  WriteQid("\"12345\"");
  ASSERT_EQ(::chmod(file_.c_str(), 0), 0);
  const std::u16string address = AddressAsOrdinaryUser();
  const FileState after = State();
  EXPECT_EQ(address, kBase);
  EXPECT_EQ(after.mode & 07777, 0u);
  ASSERT_EQ(::chmod(file_.c_str(), 0600), 0);
  EXPECT_EQ(State().bytes, "[Software\\HollinTessary]\n\"QID\"=\"12345\"\n");
  EXPECT_EQ(FolderEntries(), std::set<std::string>{"registry.ini"});
}

// The key is opened for reading and writing, as the login address asks; a
// store the user made read-only cannot be opened that way, nor created.
TEST_F(LoginAddressTest, AReadOnlyStoreGivesTheBaseAddress) {
  WriteQid("\"12345\"");
  ASSERT_EQ(::chmod(file_.c_str(), 0400), 0);
  const FileState before = State();
  const std::u16string address = AddressAsOrdinaryUser();
  EXPECT_EQ(address, kBase);
  FileState after = State();
  after.owner = before.owner;  // the tree may have been handed to "nobody"
  EXPECT_EQ(after, before);
}

TEST_F(LoginAddressTest, AFolderThatCannotBeWrittenMeansNoKeyAndNoFile) {
  fs::create_directories(file_.parent_path());
  ASSERT_EQ(::chmod(file_.parent_path().c_str(), 0500), 0);
  EXPECT_EQ(AddressAsOrdinaryUser(), kBase);
  EXPECT_FALSE(fs::exists(file_));
  EXPECT_TRUE(FolderEntries().empty());
}

TEST_F(LoginAddressTest, LinksAndFoldersInPlaceOfTheStoreAreLeftAlone) {
  const fs::path elsewhere = root_ / "elsewhere.ini";
  std::ofstream(elsewhere) << "[Software\\HollinTessary]\n\"QID\"=\"12345\"\n";
  fs::create_directories(file_.parent_path());
  fs::create_symlink(elsewhere, file_);
  EXPECT_EQ(Address(), kBase);
  EXPECT_TRUE(fs::is_symlink(file_));
  EXPECT_EQ(FolderEntries(), std::set<std::string>{"registry.ini"});

  fs::remove(file_);
  fs::create_directory(file_);
  EXPECT_EQ(Address(), kBase);
  EXPECT_TRUE(fs::is_directory(file_));
}

TEST_F(LoginAddressTest, ReadAfreshAtEveryCall) {
  WriteQid("\"1\"");
  RegistryStore store(file_);
  EXPECT_EQ(BuildLoginAddress(store, kHost), std::u16string(kBase) + u"?adkey=1");
  WriteQid("\"2\"");
  EXPECT_EQ(BuildLoginAddress(store, kHost), std::u16string(kBase) + u"?adkey=2");
}

// The convenience forms use the store under $XDG_CONFIG_HOME and the
// compiled-in portal host.
TEST_F(LoginAddressTest, TheUsersStoreAndTheCompiledHost) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string before = saved ? saved : "";
  ::setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
  WriteQid("\"31\"");
  EXPECT_EQ(BuildLoginAddress(), u"http://" + PortalHost() + u"/lander/zarek?adkey=31");
  std::u16string out;
  EXPECT_TRUE(ReadRegistryString(RegistryRoot::CurrentUser, kKey, u"QID", out, 260));
  EXPECT_EQ(out, u"31");
  if (saved)
    ::setenv("XDG_CONFIG_HOME", before.c_str(), 1);
  else
    ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace login
