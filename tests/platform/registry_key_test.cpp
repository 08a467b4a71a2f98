#include "platform/registry/registry_key.h"

#include <random>
#include <set>

#include <gtest/gtest.h>

#include "tests/support/temp_profile.h"

namespace platform {
namespace {

constexpr char kKey[] = "Software\\Quillmark\\Sonorell\\Options";
constexpr char kSubKey[] = "Software\\Quillmark\\Sonorell\\Options\\MP3Tag";

class RegistryKeyTest : public sonorell::testing::TempProfileTest {
 protected:
  // A well-formed store file holding a few values, as the key itself writes it.
  std::string WriteSampleStore() {
    {
      auto key = RegistryKey::Create(kKey);
      EXPECT_TRUE(key.has_value());
      key->SetDword("Number", 42);
      key->SetString("Text", "hello \"world\"\nline two\\");
      key->SetString("Other", "x");
      EXPECT_TRUE(key->Flush());
    }
    return ReadBytes(OptionsFile());
  }

  // Puts bytes in place of the options file and checks the store treats them as damage:
  // the key reads as absent, the bytes are kept under a ".bad-" name, the original name is
  // free, and a fresh key can be written afterwards.
  void ExpectSetAside(const std::string& bytes) {
    WriteBytes(OptionsFile(), bytes);
    EXPECT_FALSE(RegistryKey::Open(kKey).has_value());
    EXPECT_FALSE(std::filesystem::exists(OptionsFile()));
    const auto bad = FilesStartingWith(StoreFolder(), "Options.reg.bad-");
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_EQ(ReadBytes(StoreFolder() + "/" + bad.front()), bytes);

    auto key = RegistryKey::Create(kKey);
    ASSERT_TRUE(key.has_value());
    EXPECT_FALSE(key->QueryDword("Number").has_value());
    key->SetDword("Number", 7);
    ASSERT_TRUE(key->Flush());
    EXPECT_EQ(RegistryKey::Open(kKey)->QueryDword("Number"), 7u);
    std::filesystem::remove(StoreFolder() + "/" + bad.front());
  }
};

// --- where keys live -------------------------------------------------------------------

TEST_F(RegistryKeyTest, KeyAndSubKeyFilesSitSideBySide) {
  EXPECT_EQ(RegistryKey::FileFor(kKey), OptionsFile());
  EXPECT_EQ(RegistryKey::FileFor(kSubKey), StoreFolder() + "/Options/MP3Tag.reg");
  {
    auto key = RegistryKey::Create(kKey);
    auto sub = RegistryKey::Create(kSubKey);
    ASSERT_TRUE(key && sub);
    key->SetDword("A", 1);
    sub->SetDword("A", 2);
  }
  EXPECT_TRUE(std::filesystem::is_regular_file(OptionsFile()));
  EXPECT_TRUE(std::filesystem::is_regular_file(StoreFolder() + "/Options/MP3Tag.reg"));
  EXPECT_EQ(RegistryKey::Open(kKey)->QueryDword("A"), 1u);
  EXPECT_EQ(RegistryKey::Open(kSubKey)->QueryDword("A"), 2u);
}

TEST_F(RegistryKeyTest, FallsBackToDotConfigAndRereadsTheEnvironment) {
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(RegistryKey::FileFor(kKey), home_ + "/.config/Quillmark/Sonorell/Options.reg");
  RegistryKey::Create(kKey)->SetDword("Where", 1);
  EXPECT_TRUE(std::filesystem::exists(home_ + "/.config/Quillmark/Sonorell/Options.reg"));

  setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
  EXPECT_FALSE(RegistryKey::Open(kKey).has_value());
  RegistryKey::Create(kKey)->SetDword("Where", 2);
  EXPECT_EQ(RegistryKey::Open(kKey)->QueryDword("Where"), 2u);
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(RegistryKey::Open(kKey)->QueryDword("Where"), 1u);
}

TEST_F(RegistryKeyTest, RejectsPathsThatWouldEscapeTheStore) {
  for (const std::string& path : std::vector<std::string>{
           "", "Software", "Software\\", "Software\\..\\x", "Software\\a\\.\\b", "a\\\\b",
           "Software\\a/b", std::string("a\0b", 3)}) {
    EXPECT_FALSE(RegistryKey::FileFor(path).has_value()) << path;
    EXPECT_FALSE(RegistryKey::Create(path).has_value()) << path;
  }
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("HOME");
  EXPECT_FALSE(RegistryKey::Create(kKey).has_value());
}

TEST_F(RegistryKeyTest, CreateFailsWhereNothingCanBeStored) {
  WriteBytes(root_ + "/plainfile", "x");
  setenv("XDG_CONFIG_HOME", (root_ + "/plainfile").c_str(), 1);
  EXPECT_FALSE(RegistryKey::Create(kKey).has_value());
  setenv("XDG_CONFIG_HOME", "/proc/sonorell-test", 1);
  EXPECT_FALSE(RegistryKey::Create(kKey).has_value());
  EXPECT_FALSE(RegistryKey::Open(kKey).has_value());
}

// --- values ----------------------------------------------------------------------------

TEST_F(RegistryKeyTest, OpenOfAMissingKeyIsAbsentAndCreateMakesIt) {
  EXPECT_FALSE(RegistryKey::Open(kKey).has_value());
  EXPECT_FALSE(std::filesystem::exists(OptionsFile()));
  { ASSERT_TRUE(RegistryKey::Create(kKey).has_value()); }
  auto key = RegistryKey::Open(kKey);
  ASSERT_TRUE(key.has_value());
  EXPECT_FALSE(key->QueryDword("Anything").has_value());
}

TEST_F(RegistryKeyTest, ValuesKeepTheirType) {
  {
    auto key = RegistryKey::Create(kKey);
    key->SetDword("Zero", 0);
    key->SetDword("Max", 0xFFFFFFFFu);
    key->SetString("Text", "128");
    key->SetString("Empty", "");
  }
  auto key = RegistryKey::Open(kKey);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->QueryDword("Zero"), 0u);
  EXPECT_EQ(key->QueryDword("Max"), 0xFFFFFFFFu);
  EXPECT_EQ(key->QueryString("Text"), "128");
  EXPECT_EQ(key->QueryString("Empty"), "");
  EXPECT_FALSE(key->QueryDword("Text").has_value());
  EXPECT_FALSE(key->QueryString("Max").has_value());
  EXPECT_FALSE(key->QueryString("Missing").has_value());
}

TEST_F(RegistryKeyTest, AwkwardTextsRoundTripByteForByte) {
  std::string everyByte;
  for (int b = 1; b < 256; ++b) everyByte += static_cast<char>(b);
  const std::vector<std::pair<std::string, std::string>> values = {
      {"Newlines", "one\ntwo\r\nthree\n"},
      {"Quotes", "\"quoted\" and 'single' \""},
      {"Backslashes", "C:\\Music\\\\x41\\n\\"},
      {"Utf8", "Straße – Ünïcødé 名前 🎵"},
      {"Long", std::string(10000, 'q') + "end"},
      {"EveryByte", everyByte},
      {"Looks like syntax\" 1\nend\n", "end\nsz \"x\" \"y\"\n"},
      {"", "the unnamed value"},
  };
  {
    auto key = RegistryKey::Create(kKey);
    for (const auto& [name, text] : values) EXPECT_TRUE(key->SetString(name, text));
  }
  auto key = RegistryKey::Open(kKey);
  ASSERT_TRUE(key.has_value());
  for (const auto& [name, text] : values) EXPECT_EQ(key->QueryString(name), text) << name;
  EXPECT_TRUE(FilesStartingWith(StoreFolder(), "Options.reg.bad-").empty());
}

TEST_F(RegistryKeyTest, RefusesZeroBytesAndWritesOnReadOnlyKeys) {
  {
    auto key = RegistryKey::Create(kKey);
    EXPECT_FALSE(key->SetString("Nul", std::string("a\0b", 3)));
    EXPECT_FALSE(key->SetDword(std::string("n\0", 2), 1));
    EXPECT_TRUE(key->SetDword("Kept", 1));
  }
  auto key = RegistryKey::Open(kKey);
  EXPECT_FALSE(key->QueryString("Nul").has_value());
  EXPECT_FALSE(key->SetDword("Kept", 2));
  EXPECT_FALSE(key->SetString("New", "x"));
  EXPECT_TRUE(key->Flush());
  EXPECT_EQ(RegistryKey::Open(kKey)->QueryDword("Kept"), 1u);
}

TEST_F(RegistryKeyTest, MovedKeysWriteOnceAndFromTheirNewOwner) {
  std::optional<RegistryKey> moved;
  {
    auto key = RegistryKey::Create(kKey);
    key->SetDword("A", 1);
    moved.emplace(std::move(*key));
  }
  EXPECT_FALSE(std::filesystem::exists(OptionsFile()));  // The moved-from key wrote nothing.
  moved->SetDword("B", 2);
  moved.reset();
  auto key = RegistryKey::Open(kKey);
  EXPECT_EQ(key->QueryDword("A"), 1u);
  EXPECT_EQ(key->QueryDword("B"), 2u);
}

// --- failing writes --------------------------------------------------------------------

TEST_F(RegistryKeyTest, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  const std::string before = WriteSampleStore();
  {
    auto key = RegistryKey::Create(kKey);
    ASSERT_TRUE(key.has_value());
    key->SetString("Big", std::string(4096, 'b'));
    {
      sonorell::testing::FileSizeLimit limit(64);
      EXPECT_FALSE(key->Flush());
    }
    EXPECT_EQ(ReadBytes(OptionsFile()), before);
    EXPECT_TRUE(FilesStartingWith(StoreFolder(), "Options.reg.tmp").empty());
    EXPECT_TRUE(key->Flush());  // The change was not lost; it goes out once writing works.
  }
  EXPECT_EQ(RegistryKey::Open(kKey)->QueryString("Big"), std::string(4096, 'b'));
}

TEST_F(RegistryKeyTest, ADestructorWriteThatFailsLeavesTheOldFile) {
  const std::string before = WriteSampleStore();
  {
    sonorell::testing::FileSizeLimit limit(64);
    auto key = RegistryKey::Create(kKey);
    ASSERT_TRUE(key.has_value());
    key->SetString("Big", std::string(4096, 'b'));
  }
  EXPECT_EQ(ReadBytes(OptionsFile()), before);
  EXPECT_TRUE(FilesStartingWith(StoreFolder(), "Options.reg.tmp").empty());
}

// --- damaged files ---------------------------------------------------------------------

TEST_F(RegistryKeyTest, TruncatedFilesAreSetAside) {
  const std::string good = WriteSampleStore();
  for (const size_t cut : {size_t{0}, size_t{3}, good.size() / 2, good.size() - 5}) {
    SCOPED_TRACE(cut);
    ExpectSetAside(good.substr(0, cut));
  }
}

TEST_F(RegistryKeyTest, GarbageAndBinaryFilesAreSetAside) {
  ExpectSetAside("this is not a store at all\n");
  ExpectSetAside(std::string("REGKEY 1\n\0\0\0\xff\xfe binary", 22));
  ExpectSetAside("REGKEY 1\ndword \"a\" 4294967296\nend\n");
  ExpectSetAside("REGKEY 1\ndword \"a\" -1\nend\n");
  ExpectSetAside("REGKEY 1\ndword \"a\" \nend\n");
  ExpectSetAside("REGKEY 1\nsz \"a\" \"bad \\q escape\"\nend\n");
  ExpectSetAside("REGKEY 1\nsz \"a\" \"short \\x4\"\nend\n");
  ExpectSetAside("REGKEY 1\nsz \"a\" \"hex \\xZZ\"\nend\n");
  ExpectSetAside("REGKEY 1\nsz \"a\" \"zero \\x00\"\nend\n");
  ExpectSetAside("REGKEY 1\nsz \"a\" \"raw\ttab\"\nend\n");
  ExpectSetAside("REGKEY 1\nsz \"a\" \"unterminated\nend\n");
  ExpectSetAside("REGKEY 1\nsz \"a\" \"ends in backslash\\");
  ExpectSetAside("REGKEY 1\nend\ntrailing\n");
  ExpectSetAside("REGKEY 1\r\nend\r\n");
  ExpectSetAside("REGKEY 1\nsz \"a\" \"" + std::string(5u << 20, 'a'));  // a 5 MB line
}

TEST_F(RegistryKeyTest, AMissingFinalNewlineIsStillAWholeFile) {
  WriteBytes(OptionsFile(), "REGKEY 1\ndword \"a\" 3\nsz \"b\" \"x\"\nend");
  auto key = RegistryKey::Open(kKey);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->QueryDword("a"), 3u);
  EXPECT_EQ(key->QueryString("b"), "x");
}

TEST_F(RegistryKeyTest, EarlierDamagedCopiesAreNeverOverwritten) {
  for (int i = 0; i < 3; ++i) {
    WriteBytes(OptionsFile(), "garbage " + std::to_string(i));
    EXPECT_FALSE(RegistryKey::Open(kKey).has_value());
  }
  const auto bad = FilesStartingWith(StoreFolder(), "Options.reg.bad-");
  ASSERT_EQ(bad.size(), 3u);
  std::set<std::string> contents;
  for (const auto& name : bad) contents.insert(ReadBytes(StoreFolder() + "/" + name));
  EXPECT_EQ(contents, (std::set<std::string>{"garbage 0", "garbage 1", "garbage 2"}));
}

TEST_F(RegistryKeyTest, ADirectoryInPlaceOfTheFileIsNotTouched) {
  std::filesystem::create_directories(OptionsFile());
  EXPECT_FALSE(RegistryKey::Open(kKey).has_value());
  EXPECT_FALSE(RegistryKey::Create(kKey).has_value());
  EXPECT_TRUE(std::filesystem::is_directory(OptionsFile()));
}

TEST_F(RegistryKeyTest, RandomlyDamagedFilesNeverCrashTheReader) {
  const std::string good = WriteSampleStore();
  std::mt19937 random(1234);
  for (int round = 0; round < 400; ++round) {
    std::string bytes = good;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const size_t at = random() % bytes.size();
      switch (random() % 3) {
        case 0:
          bytes[at] = static_cast<char>(random());
          break;
        case 1:
          bytes.erase(at, 1 + random() % 8);
          break;
        default:
          bytes.insert(at, 1, static_cast<char>(random()));
          break;
      }
      if (bytes.empty()) bytes = "x";
    }
    WriteBytes(OptionsFile(), bytes);
    const auto key = RegistryKey::Open(kKey);
    // Either it still reads, or it was moved aside; never both, never neither.
    EXPECT_EQ(key.has_value(), std::filesystem::exists(OptionsFile()));
    for (const auto& name : FilesStartingWith(StoreFolder(), "Options.reg.bad-")) {
      std::filesystem::remove(StoreFolder() + "/" + name);
    }
  }
}

}  // namespace
}  // namespace platform
