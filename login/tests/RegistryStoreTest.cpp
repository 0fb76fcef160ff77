#include "login/RegistryStore.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <set>

#include <gtest/gtest.h>

namespace login {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Utf16(std::u16string_view text, bool terminated = true) {
  Bytes bytes;
  for (char16_t c : text) {
    bytes.push_back(std::uint8_t(c & 0xFF));
    bytes.push_back(std::uint8_t(c >> 8));
  }
  if (terminated) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

class RegistryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tessary-registry-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
    file_ = root_ / "config" / "tessary" / "registry.ini";
  }
  void TearDown() override { fs::remove_all(root_); }

  void WriteFile(const std::string& text) {
    fs::create_directories(file_.parent_path());
    std::ofstream(file_, std::ios::binary) << text;
  }
  std::string ReadFile() const {
    std::ifstream in(file_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::set<std::string> FolderEntries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(file_.parent_path())) names.insert(entry.path().filename());
    return names;
  }
  RegistryKey Open(std::u16string_view path, std::uint32_t access = KEY_READ | KEY_WRITE) {
    RegistryKey key;
    EXPECT_EQ(store_.OpenKey(RegistryRoot::CurrentUser, path, access, key), RegistryResult::Success);
    return key;
  }
  RegistryValue Query(std::u16string_view path, std::u16string_view name,
                      RegistryResult expected = RegistryResult::Success) {
    RegistryStore fresh(file_);
    RegistryKey key;
    RegistryValue value;
    if (fresh.OpenKey(RegistryRoot::CurrentUser, path, KEY_READ, key) != RegistryResult::Success) {
      ADD_FAILURE() << "key did not open";
      return value;
    }
    EXPECT_EQ(fresh.QueryValue(key, name, value), expected);
    return value;
  }

  fs::path root_;
  fs::path file_;
  RegistryStore store_{fs::path()};
  RegistryStore& Store() { return store_ = RegistryStore(file_); }
};

TEST(RegistryStorePath, FollowsTheBaseDirectoryRules) {
  EXPECT_EQ(RegistryStore::FilePathFor("/x/cfg", "/home/u"), fs::path("/x/cfg/tessary/registry.ini"));
  EXPECT_EQ(RegistryStore::FilePathFor(nullptr, "/home/u"), fs::path("/home/u/.config/tessary/registry.ini"));
  EXPECT_EQ(RegistryStore::FilePathFor("", "/home/u"), fs::path("/home/u/.config/tessary/registry.ini"));
  // A relative XDG_CONFIG_HOME is ignored, as the base directory rules say.
  EXPECT_EQ(RegistryStore::FilePathFor("cfg", "/home/u"), fs::path("/home/u/.config/tessary/registry.ini"));
}

TEST(RegistryStorePath, ForCurrentUserReadsTheEnvironment) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string before = saved ? saved : "";
  ::setenv("XDG_CONFIG_HOME", "/nonexistent-tessary-cfg", 1);
  EXPECT_EQ(RegistryStore::ForCurrentUser().FilePath(), fs::path("/nonexistent-tessary-cfg/tessary/registry.ini"));
  if (saved)
    ::setenv("XDG_CONFIG_HOME", before.c_str(), 1);
  else
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(RegistryStoreTest, CreateKeyMakesFoldersAndAnOwnerOnlyFileOnce) {
  RegistryKey key;
  KeyDisposition disposition{};
  ASSERT_EQ(
      Store().CreateKey(RegistryRoot::CurrentUser, u"Software\\HollinTessary", KEY_READ | KEY_WRITE, key, &disposition),
      RegistryResult::Success);
  EXPECT_EQ(disposition, KeyDisposition::CreatedNewKey);
  EXPECT_TRUE(key.IsOpen());

  const std::string text = ReadFile();
  EXPECT_TRUE(text.starts_with("; ")) << text;
  EXPECT_TRUE(text.ends_with("\n[Software\\HollinTessary]\n")) << text;
  struct stat info {};
  ASSERT_EQ(::stat(file_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat(file_.parent_path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  // The second call finds the key (in any case) and leaves the file alone.
  ASSERT_EQ(Store().CreateKey(RegistryRoot::CurrentUser, u"SOFTWARE\\hollintessary", KEY_READ, key, &disposition),
            RegistryResult::Success);
  EXPECT_EQ(disposition, KeyDisposition::OpenedExistingKey);
  EXPECT_EQ(ReadFile(), text);
  EXPECT_EQ(FolderEntries(), std::set<std::string>{"registry.ini"});
}

TEST_F(RegistryStoreTest, CreateKeyKeepsEveryByteAPersonWrote) {
  // A byte-order mark, CRLF endings, comments, odd spacing and a last line
  // without its line ending.
  WriteFile("\xEF\xBB\xBF# mine\r\n[Other\\Key]\r\n  \"A\" =  \"x\"\r\n\r\n[Last]\r\n\"B\"=dword:1");
  const std::string before = ReadFile();
  RegistryKey key;
  ASSERT_EQ(Store().CreateKey(RegistryRoot::CurrentUser, u"Software\\HollinTessary", KEY_READ, key),
            RegistryResult::Success);
  EXPECT_EQ(ReadFile(), before + "\r\n\r\n[Software\\HollinTessary]\r\n");
  EXPECT_EQ(Query(u"Other\\Key", u"a").data, Utf16(u"x"));
  EXPECT_EQ(Query(u"last", u"B").data, (Bytes{1, 0, 0, 0}));

  // A CRLF file whose last line ends in a lone CR: that CR gets its LF, not
  // a second CR, or the store could not read its own file again.
  WriteFile("[Last]\r\n\"B\"=dword:1\r");
  ASSERT_EQ(Store().CreateKey(RegistryRoot::CurrentUser, u"Software\\HollinTessary", KEY_READ, key),
            RegistryResult::Success);
  EXPECT_EQ(ReadFile(), "[Last]\r\n\"B\"=dword:1\r\n\r\n[Software\\HollinTessary]\r\n");
  EXPECT_EQ(Query(u"last", u"B").data, (Bytes{1, 0, 0, 0}));
}

TEST_F(RegistryStoreTest, KeyNamesCompareWithoutCaseAndParentsExist) {
  WriteFile("[Software\\Ünïcode\\Deep]\n\"Value\"=\"1\"\n");
  Store();
  RegistryKey key;
  for (std::u16string_view path : {u"software\\ÜNÏCODE\\deep", u"SOFTWARE\\ünïcode", u"Software"}) {
    EXPECT_EQ(store_.OpenKey(RegistryRoot::CurrentUser, path, KEY_READ, key), RegistryResult::Success)
        << std::string(path.begin(), path.end());
  }
  for (std::u16string_view path : {u"Soft", u"Software\\Ünïcode\\Dee", u"Software\\Ünïcode\\Deep\\More", u"Other"}) {
    EXPECT_EQ(store_.OpenKey(RegistryRoot::CurrentUser, path, KEY_READ, key), RegistryResult::NotFound);
  }
  for (std::u16string_view path : {u"", u"\\Software", u"Software\\", u"Software\\\\Ünïcode", u"Bad\nName"}) {
    EXPECT_EQ(store_.OpenKey(RegistryRoot::CurrentUser, path, KEY_READ, key), RegistryResult::InvalidName);
  }
  EXPECT_EQ(Query(u"software\\ünïcode\\DEEP", u"VALUE").data, Utf16(u"1"));
}

TEST_F(RegistryStoreTest, EveryValueRoundTripsThroughTheFile) {
  struct Case {
    std::u16string name;
    std::uint32_t type;
    Bytes data;
    std::string line;  // the line the store writes, when it is worth pinning down
  };
  const std::vector<Case> cases = {
      {u"QID", REG_SZ, Utf16(u"12345"), "\"QID\"=\"12345\""},
      {u"Quoted \"name\"", REG_SZ, Utf16(u"C:\\Games \"x\""), "\"Quoted \\\"name\\\"\"=\"C:\\\\Games \\\"x\\\"\""},
      {u"Wide", REG_SZ, Utf16(u"汉字 \U0001F600\tend"), ""},
      {u"Path", REG_EXPAND_SZ, Utf16(u"%HOME%/x"), "\"Path\"=expand:\"%HOME%/x\""},
      {u"Number", REG_DWORD, {0x2a, 0, 0, 0x80}, "\"Number\"=dword:8000002a"},
      {u"Blob", REG_BINARY, {0x01, 0xff}, "\"Blob\"=hex:01,ff"},
      {u"EmptyBlob", REG_BINARY, {}, "\"EmptyBlob\"=hex:"},
      {u"", REG_SZ, Utf16(u"default"), "@=\"default\""},
      // Strings the quoted form cannot hold exactly keep their raw bytes.
      {u"NoNul", REG_SZ, Utf16(u"12", false), "\"NoNul\"=hex(1):31,00,32,00"},
      {u"Odd", REG_SZ, {0x31, 0x00, 0x00}, "\"Odd\"=hex(1):31,00,00"},
      {u"Inner", REG_SZ, Utf16(std::u16string(u"12\0 34", 6)),
       "\"Inner\"=hex(1):31,00,32,00,00,00,20,00,33,00,34,00,00,00"},
      {u"TwoNuls", REG_EXPAND_SZ, Utf16(std::u16string(u"7\0", 2)), "\"TwoNuls\"=hex(2):37,00,00,00,00,00"},
      {u"ZeroBytes", REG_SZ, {}, "\"ZeroBytes\"=hex(1):"},
      {u"Lone", REG_SZ, Utf16(u"\xD800x"), "\"Lone\"=hex(1):00,d8,78,00,00,00"},
      {u"Newline", REG_SZ, Utf16(u"a\nb"), "\"Newline\"=hex(1):61,00,0a,00,62,00,00,00"},
      {u"ShortDword", REG_DWORD, {1, 2}, "\"ShortDword\"=hex(4):01,02"},
      {u"MultiSz", 7, Utf16(std::u16string(u"a\0", 2)), "\"MultiSz\"=hex(7):61,00,00,00,00,00"},
      {u"Biggest", 0xffffffffu, {9}, "\"Biggest\"=hex(ffffffff):09"},
  };
  RegistryKey key;
  ASSERT_EQ(Store().CreateKey(RegistryRoot::CurrentUser, u"K", KEY_READ | KEY_WRITE, key), RegistryResult::Success);
  for (const Case& c : cases) ASSERT_EQ(store_.SetValue(key, c.name, c.type, c.data), RegistryResult::Success);

  const std::string text = ReadFile();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
    const RegistryValue value = Query(u"K", c.name);
    EXPECT_EQ(value.type, c.type);
    EXPECT_EQ(value.data, c.data);
    if (!c.line.empty()) {
      EXPECT_NE(text.find("\n" + c.line + "\n"), std::string::npos) << text;
    }
  }
  EXPECT_EQ(FolderEntries(), std::set<std::string>{"registry.ini"});
}

TEST_F(RegistryStoreTest, HandWrittenFormsAreRead) {
  WriteFile(
      "; comment\n"
      "   [App]   \n"
      "\t\"Tabbed\"\t=\t\"v\" \n"
      "\"Short\"=DWORD:2A\n"
      "\"Spaced\"=hex: 01 , 02,03\n"
      "\"Typed\"=HEX(2):41,00,00,00\n"
      "\"Empty\"=\"\"\n"
      "# also a comment\n"
      "@=expand:\"d\"\n");
  EXPECT_EQ(Query(u"App", u"Tabbed").data, Utf16(u"v"));
  EXPECT_EQ(Query(u"App", u"short").type, REG_DWORD);
  EXPECT_EQ(Query(u"App", u"short").data, (Bytes{0x2a, 0, 0, 0}));
  EXPECT_EQ(Query(u"App", u"Spaced").data, (Bytes{1, 2, 3}));
  EXPECT_EQ(Query(u"App", u"Typed").type, REG_EXPAND_SZ);
  EXPECT_EQ(Query(u"App", u"Typed").data, Utf16(u"A"));
  EXPECT_EQ(Query(u"App", u"Empty").data, Utf16(u""));
  EXPECT_EQ(Query(u"App", u"").type, REG_EXPAND_SZ);
  Query(u"App", u"Missing", RegistryResult::NotFound);
}

TEST_F(RegistryStoreTest, SetValueEditsOnlyItsOwnLine) {
  WriteFile("[A]\n\"x\"=\"1\" \n; keep\n\n[B]\n\"y\"=\"2\"\n\n[C]\n");
  RegistryKey a = (Store(), Open(u"a"));
  RegistryKey b = Open(u"B");
  ASSERT_EQ(store_.SetValue(a, u"X", REG_SZ, Utf16(u"one")), RegistryResult::Success);
  EXPECT_EQ(ReadFile(), "[A]\n\"X\"=\"one\"\n; keep\n\n[B]\n\"y\"=\"2\"\n\n[C]\n");
  ASSERT_EQ(store_.SetValue(b, u"z", REG_DWORD, {3, 0, 0, 0}), RegistryResult::Success);
  EXPECT_EQ(ReadFile(), "[A]\n\"X\"=\"one\"\n; keep\n\n[B]\n\"y\"=\"2\"\n\"z\"=dword:00000003\n\n[C]\n");
}

TEST_F(RegistryStoreTest, SetValueOnAnImpliedKeyGivesItASection) {
  WriteFile("[P\\Child]\n");
  RegistryKey parent = (Store(), Open(u"P"));
  ASSERT_EQ(store_.SetValue(parent, u"v", REG_SZ, Utf16(u"1")), RegistryResult::Success);
  EXPECT_EQ(ReadFile(), "[P\\Child]\n\n[P]\n\"v\"=\"1\"\n");
}

TEST_F(RegistryStoreTest, WritesKeepTheFileMode) {
  WriteFile("[A]\n");
  ASSERT_EQ(::chmod(file_.c_str(), 0640), 0);
  RegistryKey a = (Store(), Open(u"A"));
  ASSERT_EQ(store_.SetValue(a, u"v", REG_SZ, Utf16(u"1")), RegistryResult::Success);
  struct stat info {};
  ASSERT_EQ(::stat(file_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(RegistryStoreTest, HandlesKeepOnlyTheirRights) {
  WriteFile("[A]\n\"v\"=\"1\"\n");
  Store();
  RegistryValue value;
  EXPECT_EQ(store_.QueryValue(Open(u"A", KEY_SET_VALUE), u"v", value), RegistryResult::AccessDenied);
  EXPECT_EQ(store_.SetValue(Open(u"A", KEY_READ), u"v", REG_SZ, Utf16(u"2")), RegistryResult::AccessDenied);
  EXPECT_EQ(store_.QueryValue(RegistryKey(), u"v", value), RegistryResult::InvalidName);
  EXPECT_EQ(ReadFile(), "[A]\n\"v\"=\"1\"\n");
}

TEST_F(RegistryStoreTest, AKeyRemovedByHandAfterOpeningIsGone) {
  WriteFile("[A]\n\"v\"=\"1\"\n");
  RegistryKey a = (Store(), Open(u"A", KEY_READ | KEY_WRITE));
  WriteFile("[B]\n");
  RegistryValue value;
  EXPECT_EQ(store_.QueryValue(a, u"v", value), RegistryResult::NotFound);
  EXPECT_EQ(store_.SetValue(a, u"v", REG_SZ, Utf16(u"1")), RegistryResult::NotFound);
  EXPECT_EQ(ReadFile(), "[B]\n");
}

TEST_F(RegistryStoreTest, CorruptStoresAreNeitherUsedNorRewritten) {
  const std::vector<std::string> corrupt = {
      "garbage\n",
      "\"v\"=\"before any key\"\n[A]\n",
      "[A]\n[a]\n",                       // the same key twice
      "[A]\n\"v\"=\"1\"\n\"V\"=\"2\"\n",  // the same value twice
      "[A\n",
      "[]\n",
      "[A\\\\B]\n",
      "[A]\n\"v\"=\"C:\\Games\"\n",  // backslash not escaped
      "[A]\n\"v\"=\"open\n",
      "[A]\n\"v\"=\"1\" trailing\n",
      "[A]\n\"v\"=dword:123456789\n",
      "[A]\n\"v\"=dword:\n",
      "[A]\n\"v\"=dword:12g\n",
      "[A]\n\"v\"=hex:1\n",
      "[A]\n\"v\"=hex:01,\n",
      "[A]\n\"v\"=hex(1:31\n",
      "[A]\n\"v\"=hex():31\n",
      "[A]\n\"v\"=sz:1\n",
      "[A]\n\"v\"\n",
      "[A]\n\"v\"=\"\xC3\x28\"\n",               // invalid UTF-8
      "[A]\n\"v\"=\"\xED\xA0\x80\"\n",           // an encoded surrogate
      "[A]\n\"v\"=\"\xC0\xAF\"\n",               // an overlong form
      std::string("[A]\n\"v\"=\"a\0b\"\n", 13),  // a NUL byte in the text
  };
  for (const std::string& text : corrupt) {
    SCOPED_TRACE(text);
    WriteFile(text);
    Store();
    RegistryKey key;
    EXPECT_EQ(store_.OpenKey(RegistryRoot::CurrentUser, u"A", KEY_READ, key), RegistryResult::StoreUnusable);
    EXPECT_EQ(store_.CreateKey(RegistryRoot::CurrentUser, u"New", KEY_READ, key), RegistryResult::StoreUnusable);
    EXPECT_EQ(ReadFile(), text);
    EXPECT_EQ(FolderEntries(), std::set<std::string>{"registry.ini"});
  }
}

TEST_F(RegistryStoreTest, OversizedAndNonRegularStoresAreRefused) {
  WriteFile("[A]\n");
  ASSERT_EQ(::truncate(file_.c_str(), 17 * 1024 * 1024), 0);  // sparse, so cheap
  RegistryKey key;
  EXPECT_EQ(Store().OpenKey(RegistryRoot::CurrentUser, u"A", KEY_READ, key), RegistryResult::StoreUnusable);

  fs::remove(file_);
  ASSERT_EQ(::mkfifo(file_.c_str(), 0600), 0);  // must not block waiting for a writer
  EXPECT_EQ(store_.OpenKey(RegistryRoot::CurrentUser, u"A", KEY_READ, key), RegistryResult::StoreUnusable);
  EXPECT_EQ(store_.CreateKey(RegistryRoot::CurrentUser, u"A", KEY_READ, key), RegistryResult::StoreUnusable);
  EXPECT_TRUE(fs::is_fifo(file_));
}

// A write that fails half-way (here: the file size limit) leaves the old
// store whole and no temporary file behind.
TEST_F(RegistryStoreTest, AFailedWriteLosesNothing) {
  const std::string original = "[A]\n\"v\"=\"" + std::string(200, 'x') + "\"\n";
  WriteFile(original);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64, 64};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(2);
    RegistryStore store(file_);
    RegistryKey key;
    ::_exit(store.CreateKey(RegistryRoot::CurrentUser, u"B", KEY_READ, key) == RegistryResult::WriteFailed ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFile(), original);
  EXPECT_EQ(FolderEntries(), std::set<std::string>{"registry.ini"});
}

// Writers in several processes take turns, so none loses another's value.
TEST_F(RegistryStoreTest, ConcurrentWritersLoseNothing) {
  WriteFile("[A]\n");
  constexpr int kWriters = 3;
  constexpr int kValuesEach = 20;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      RegistryStore store(file_);
      RegistryKey key;
      int failures = store.OpenKey(RegistryRoot::CurrentUser, u"A", KEY_WRITE, key) != RegistryResult::Success;
      for (int v = 0; v < kValuesEach; ++v) {
        const std::string name = std::to_string(w) + "-" + std::to_string(v);
        failures += store.SetValue(key, std::u16string(name.begin(), name.end()), REG_DWORD, {1, 0, 0, 0}) !=
                    RegistryResult::Success;
      }
      ::_exit(failures == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int w = 0; w < kWriters; ++w)
    for (int v = 0; v < kValuesEach; ++v) {
      const std::string name = std::to_string(w) + "-" + std::to_string(v);
      Query(u"A", std::u16string(name.begin(), name.end()));
    }
}

}  // namespace
}  // namespace login
