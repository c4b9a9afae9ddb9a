// SPDX-License-Identifier: ISC
// The INI profile store against real files, each test in a fresh folder of
// its own: parsing, the read and write calls, the file as written back, the
// cache's view of files changed behind its back, failed write-backs, and
// writers in several threads and processes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/swell_ini.h"

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// Writes in place (the same file, truncated), as an editor would.
void put(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  ASSERT_TRUE(out.good()) << path;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string get(const char* section, const char* key, const std::string& file, const char* fallback = "(none)",
                size_t size = 4096) {
  std::vector<char> out(size);
  const int n = GetPrivateProfileString(section, key, fallback, out.data(), static_cast<int>(size), file.c_str());
  EXPECT_EQ(n, static_cast<int>(std::strlen(out.data())));
  return out.data();
}

Names splitList(const char* p) {
  Names names;
  while (*p) {
    names.emplace_back(p);
    p += names.back().size() + 1;
  }
  return names;
}

Names sectionNames(const std::string& file) {
  std::vector<char> out(1 << 16);
  GetPrivateProfileString(nullptr, nullptr, nullptr, out.data(), static_cast<int>(out.size()), file.c_str());
  return splitList(out.data());
}

Names keyNames(const char* section, const std::string& file) {
  std::vector<char> out(1 << 16);
  GetPrivateProfileString(section, nullptr, nullptr, out.data(), static_cast<int>(out.size()), file.c_str());
  return splitList(out.data());
}

Names entries(const char* section, const std::string& file) {
  std::vector<char> out(1 << 16);
  GetPrivateProfileSection(section, out.data(), static_cast<int>(out.size()), file.c_str());
  return splitList(out.data());
}

bool writeKey(const char* section, const char* key, const char* value, const std::string& file) {
  return WritePrivateProfileString(section, key, value, file.c_str());
}

void setMtime(const std::string& path, time_t seconds, long nanoseconds) {
  const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

struct stat statOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st;
}

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

Names folderContent(const std::string& dir) {
  Names names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A moment long past, so that a file the store rewrites gets a new time.
constexpr time_t kPast = 1'000'000'000;

class IniFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/wobblytone-ini-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    path = dir + "/wobblytone.ini";
    temp = dir + "/.wobblytone.ini.new";
    swellIniResetCacheForTests();
  }
  void TearDown() override {
    swellIniResetCacheForTests();
    chmod(dir.c_str(), 0700);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }

  std::string dir, path, temp;
};

class IniParse : public IniFolder {};
class IniRead : public IniFolder {};
class IniWrite : public IniFolder {};
class IniWriteFailure : public IniFolder {};
class IniCache : public IniFolder {};
class IniConcurrency : public IniFolder {};

// --- Parsing ----------------------------------------------------------------

TEST_F(IniParse, TrimsBlanksAroundHeadersKeysAndValuesAndMatchesNamesInAnyCase) {
  put(path, " [Editor] \n Scale =  0.5 \n");
  EXPECT_EQ(get("Editor", "Scale", path), "0.5");
  EXPECT_EQ(get("EDITOR", "scale", path), "0.5");
  EXPECT_EQ(get("eDiToR", "SCALE", path), "0.5");
  EXPECT_EQ(sectionNames(path), Names{"Editor"});
  // The value is stored as it stands after the '='; only reading trims it.
  EXPECT_EQ(entries("editor", path), Names{"Scale=  0.5"});
}

TEST_F(IniParse, RemovesOnePairOfEnclosingQuotesOnly) {
  put(path,
      "[Q]\n"
      "both=\"a b\"\n"
      "open=\"a\n"
      "single='x y'\n"
      "mixed=\"a'\n"
      "lone=\"\n"
      "padded=  \" a \"  \n"
      "nested=\"\"b\"\"\n");
  EXPECT_EQ(get("Q", "both", path), "a b");
  EXPECT_EQ(get("Q", "open", path), "\"a");
  EXPECT_EQ(get("Q", "single", path), "x y");
  EXPECT_EQ(get("Q", "mixed", path), "\"a'");
  EXPECT_EQ(get("Q", "lone", path), "\"");
  EXPECT_EQ(get("Q", "padded", path), " a ");
  EXPECT_EQ(get("Q", "nested", path), "\"b\"");
}

TEST_F(IniParse, IgnoresKeysBeforeTheFirstSectionAndLinesWithoutEquals) {
  put(path, "x=1\n; a note\nplain words\n[A]\n;k=v\n#h=1\ny=2\n");
  EXPECT_EQ(sectionNames(path), Names{"A"});
  EXPECT_EQ(get("A", "x", path), "(none)");
  // No comment syntax: a marked line with '=' is a key like any other.
  EXPECT_EQ(keyNames("A", path), (Names{"#h", ";k", "y"}));
}

TEST_F(IniParse, ARepeatedSectionKeepsOnlyItsLastOccurrence) {
  put(path, "[A]\nx=1\n[B]\nz=3\n[a]\ny=2\n");
  EXPECT_EQ(keyNames("A", path), Names{"y"});
  EXPECT_EQ(get("A", "x", path), "(none)");
  EXPECT_EQ(get("B", "z", path), "3");
  EXPECT_EQ(sectionNames(path).size(), 2u);
}

TEST_F(IniParse, HeaderLines) {
  // Text after ']' is ignored; a header without ']' is no header and keeps
  // the current section; "[]" drops keys up to the next header.
  put(path, "[A] trailing words\nx=1\n[broken\ny=2\n[]\nlost=1\n[B]\nz=3\n");
  EXPECT_EQ(sectionNames(path), (Names{"A", "B"}));
  EXPECT_EQ(keyNames("A", path), (Names{"x", "y"}));
  EXPECT_EQ(keyNames("B", path), Names{"z"});
}

TEST_F(IniParse, LinesEndAtALineFeedOrACarriageReturn) {
  put(path, "[A]\r\nx=1\r\n[B]\ry=2\rz=3");  // the last line has no end
  EXPECT_EQ(get("A", "x", path), "1");
  EXPECT_EQ(get("B", "y", path), "2");
  EXPECT_EQ(get("B", "z", path), "3");
}

TEST_F(IniParse, AKeyRepeatedInASectionKeepsOneOfItsValues) {
  put(path, "[A]\nk=1\nK=2\n");
  EXPECT_EQ(keyNames("A", path).size(), 1u);
  const std::string v = get("A", "k", path);
  EXPECT_TRUE(v == "1" || v == "2") << v;
}

TEST_F(IniParse, LongTextBeforeAnySectionMeansTheFileIsNoProfile) {
  std::string filler;
  while (filler.size() < 300 * 1024) filler += "this is not a profile, just some text\n";
  put(path, filler);
  EXPECT_TRUE(sectionNames(path).empty());
  put(path, filler + "[A]\nk=v\n");
  EXPECT_TRUE(sectionNames(path).empty());

  // Less text before the first header is skipped, and after a header there
  // is no limit.
  put(path, filler.substr(0, filler.rfind('\n', 200 * 1024) + 1) + "[A]\nk=v\n");
  EXPECT_EQ(get("A", "k", path), "v");
  put(path, "[A]\n" + filler + "k=w\n");
  EXPECT_EQ(get("A", "k", path), "w");
}

TEST_F(IniParse, ALineIsCutAt32MiBAndItsRestReadAsTheNextLine) {
  const size_t cap = 32u << 20;
  put(path, "[A]\nk=" + std::string(cap - 2, 'x') + "j=tail\n");
  const std::string value = get("A", "k", path, "", cap + 16);
  EXPECT_EQ(value.size(), cap - 2);
  EXPECT_EQ(value.find_first_not_of('x'), std::string::npos);
  EXPECT_EQ(get("A", "j", path), "tail");
}

// --- Reading ----------------------------------------------------------------

TEST_F(IniRead, CopiesAtMostSizeMinusOneCharacters) {
  put(path, "[A]\nk=hello\n");
  char out[8];
  EXPECT_EQ(GetPrivateProfileString("A", "k", "", out, 4, path.c_str()), 3);
  EXPECT_STREQ(out, "hel");
  std::strcpy(out, "junk");
  EXPECT_EQ(GetPrivateProfileString("A", "k", "", out, 1, path.c_str()), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(GetPrivateProfileString("A", "missing", "default", out, 4, path.c_str()), 3);
  EXPECT_STREQ(out, "def");
  std::strcpy(out, "junk");
  EXPECT_EQ(GetPrivateProfileString("A", "missing", nullptr, out, sizeof out, path.c_str()), 0);
  EXPECT_STREQ(out, "");
  // The usual idiom passes the buffer as its own default.
  std::strcpy(out, "same");
  EXPECT_EQ(GetPrivateProfileString("A", "missing", out, out, sizeof out, path.c_str()), 4);
  EXPECT_STREQ(out, "same");
}

TEST_F(IniRead, AMissingFileReadsAsEmpty) {
  const std::string missing = dir + "/missing.ini";
  EXPECT_EQ(get("A", "k", missing, "fallback"), "fallback");
  EXPECT_TRUE(sectionNames(missing).empty());
  EXPECT_TRUE(keyNames("A", missing).empty());
  EXPECT_FALSE(exists(missing));
}

TEST_F(IniRead, ListsSectionAndKeyNamesSortedIgnoringCase) {
  put(path, "[b]\nz=1\nY=2\nx=3\n[A]\n[C]\n");
  char out[32];
  EXPECT_EQ(GetPrivateProfileString(nullptr, "ignored", nullptr, out, sizeof out, path.c_str()), 6);
  EXPECT_EQ(std::string(out, 7), std::string("A\0b\0C\0\0", 7));
  EXPECT_EQ(GetPrivateProfileString("B", nullptr, nullptr, out, sizeof out, path.c_str()), 6);
  EXPECT_EQ(std::string(out, 7), std::string("x\0Y\0z\0\0", 7));
  EXPECT_EQ(GetPrivateProfileString("A", nullptr, nullptr, out, sizeof out, path.c_str()), 0);
  EXPECT_EQ(out[0], '\0');
  EXPECT_TRUE(keyNames("missing", path).empty());
}

TEST_F(IniRead, ACutListStaysAListWithinItsBuffer) {
  put(path, "[Editor]\n[MIDI]\n");
  struct Case {
    int size;
    std::string list;
  };
  const Case cases[] = {
      {1, std::string("\0", 1)},
      {2, std::string("\0", 1)},
      {4, std::string("Ed\0\0", 4)},
      {8, std::string("Editor\0\0", 8)},
      {9, std::string("Editor\0\0", 8)},
      {10, std::string("Editor\0M\0\0", 10)},
      {13, std::string("Editor\0MIDI\0\0", 13)},
  };
  for (const Case& c : cases) {
    char out[32];
    std::memset(out, '#', sizeof out);
    const int n = GetPrivateProfileString(nullptr, nullptr, nullptr, out, c.size, path.c_str());
    EXPECT_EQ(std::string(out, c.list.size()), c.list) << "size " << c.size;
    EXPECT_EQ(n, static_cast<int>(c.list.size()) - 1) << "size " << c.size;
    for (size_t i = c.size; i < sizeof out; ++i) ASSERT_EQ(out[i], '#') << "size " << c.size << " byte " << i;
  }
}

TEST_F(IniRead, GetsASectionAsKeyEqualsValueEntries) {
  put(path, "[S]\nb = 2\na=  1\n[T]\nc=3\n");
  EXPECT_EQ(entries("s", path), (Names{"a=  1", "b= 2"}));
  EXPECT_TRUE(entries("missing", path).empty());
  char out[8];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(GetPrivateProfileSection("S", out, 7, path.c_str()), 6);
  EXPECT_EQ(std::string(out, 8), std::string("a=  1\0\0#", 8));
}

TEST_F(IniRead, GetPrivateProfileIntReadsTheLeadingInteger) {
  put(path,
      "[I]\nletters=x\nzero=0\nmixed=12abc\nnegative=-7\nempty=\nquoted=\"42\"\n"
      "huge=99999999999\nhugeNegative=-99999999999\nsignedZero=+0\nleadingZeros=007\n");
  const auto i = [&](const char* key) { return GetPrivateProfileInt("I", key, 5, path.c_str()); };
  EXPECT_EQ(i("letters"), 5);
  EXPECT_EQ(i("zero"), 0);
  EXPECT_EQ(i("mixed"), 12);
  EXPECT_EQ(i("negative"), -7);
  EXPECT_EQ(i("empty"), 5);
  EXPECT_EQ(i("missing"), 5);
  EXPECT_EQ(i("quoted"), 42);
  EXPECT_EQ(i("huge"), INT_MAX);
  EXPECT_EQ(i("hugeNegative"), INT_MIN);
  EXPECT_EQ(i("signedZero"), 5);
  EXPECT_EQ(i("leadingZeros"), 7);
}

TEST_F(IniRead, AStructIsStoredAsHexadecimalPairsWithAChecksum) {
  EXPECT_TRUE(WritePrivateProfileStruct("S", "abc", "abc", 3, path.c_str()));
  EXPECT_EQ(get("S", "abc", path), "61626326");
  char data[4] = {};
  EXPECT_TRUE(GetPrivateProfileStruct("S", "abc", data, 3, path.c_str()));
  EXPECT_STREQ(data, "abc");

  const unsigned char high[] = {0xAB, 0xCD};  // sum 0x178
  EXPECT_TRUE(WritePrivateProfileStruct("S", "high", high, 2, path.c_str()));
  EXPECT_EQ(get("S", "high", path), "ABCD78");
  EXPECT_TRUE(WritePrivateProfileStruct("S", "none", high, 0, path.c_str()));
  EXPECT_EQ(get("S", "none", path), "00");
  EXPECT_TRUE(GetPrivateProfileStruct("S", "none", data, 0, path.c_str()));
  EXPECT_FALSE(WritePrivateProfileStruct("S", "negative", high, -1, path.c_str()));
  EXPECT_EQ(get("S", "negative", path), "(none)");

  put(path, "[S]\nlower=abcd78\n");
  unsigned char back[2] = {};
  EXPECT_TRUE(GetPrivateProfileStruct("S", "lower", back, 2, path.c_str()));
  EXPECT_EQ(back[0], 0xAB);
  EXPECT_EQ(back[1], 0xCD);
}

TEST_F(IniRead, AStructReadFailsOnAWrongLengthDigitOrChecksum) {
  put(path, "[S]\nabc=61626326\nsum=61626327\ndigit=61G26326\nempty=\n");
  char data[4];
  std::strcpy(data, "xyz");
  EXPECT_FALSE(GetPrivateProfileStruct("S", "abc", data, 2, path.c_str()));
  EXPECT_FALSE(GetPrivateProfileStruct("S", "abc", data, 4, path.c_str()));
  EXPECT_FALSE(GetPrivateProfileStruct("S", "missing", data, 3, path.c_str()));
  EXPECT_FALSE(GetPrivateProfileStruct("S", "empty", data, 0, path.c_str()));
  EXPECT_STREQ(data, "xyz");
  // What was decoded before the fault stays.
  EXPECT_FALSE(GetPrivateProfileStruct("S", "digit", data, 3, path.c_str()));
  EXPECT_STREQ(data, "ayz");
  EXPECT_FALSE(GetPrivateProfileStruct("S", "sum", data, 3, path.c_str()));
  EXPECT_STREQ(data, "abc");
}

TEST_F(IniRead, AStructWriteWithoutKeyOrDataDeletes) {
  put(path, "[S]\na=00\nb=00\n[T]\nc=00\n");
  EXPECT_TRUE(WritePrivateProfileStruct("S", "a", nullptr, 3, path.c_str()));
  EXPECT_EQ(keyNames("S", path), Names{"b"});
  EXPECT_TRUE(WritePrivateProfileStruct("S", nullptr, "abc", 3, path.c_str()));
  EXPECT_EQ(slurp(path), "[T]\nc=00\n\n");
}

// --- Writing ----------------------------------------------------------------

TEST_F(IniWrite, WritesSortedSectionsAndKeysWithAnEmptyLineAfterEachSection) {
  EXPECT_TRUE(writeKey("b", "z", "1", path));
  EXPECT_TRUE(writeKey("A", "y", "2", path));
  EXPECT_TRUE(writeKey("B", "X", "3", path));  // the section b, spelled as first written
  EXPECT_TRUE(writeKey("C", "w", "4", path));
  EXPECT_TRUE(writeKey("b", "a", "", path));
  EXPECT_EQ(slurp(path), "[A]\ny=2\n\n[b]\na=\nX=3\nz=1\n\n[C]\nw=4\n\n");
  EXPECT_EQ(folderContent(dir), Names{"wobblytone.ini"});  // no temporary file left
}

TEST_F(IniWrite, RewritingKeepsStoredValuesAndDropsLinesThatAreNoEntries) {
  put(path, "; note\n[A]\n  k =  v w\t \n[B]\n");
  EXPECT_TRUE(writeKey("A", "new", "1", path));
  EXPECT_EQ(slurp(path), "[A]\nk=  v w\nnew=1\n\n[B]\n\n");
}

TEST_F(IniWrite, RefusesAMissingSectionOrAnEmptyKey) {
  EXPECT_FALSE(writeKey(nullptr, "k", "v", path));
  EXPECT_FALSE(writeKey("A", "", "v", path));
  EXPECT_FALSE(WritePrivateProfileSection(nullptr, "k=v\0", path.c_str()));
  EXPECT_FALSE(exists(path));
  EXPECT_TRUE(sectionNames(path).empty());
}

// Names and values that would change the file's structure are refused, and
// the file stays as it was.
TEST_F(IniWrite, RefusesWhatWouldChangeTheFilesStructure) {
  ASSERT_TRUE(writeKey("A", "k", "1", path));
  const std::string before = slurp(path);
  EXPECT_FALSE(writeKey("A", "k", "x\n[B]\nj=2", path));
  EXPECT_FALSE(writeKey("A", "k", "x\ry", path));
  EXPECT_FALSE(writeKey("A", "k", "tab\there", path));
  EXPECT_FALSE(writeKey("A", "j=2", "1", path));
  EXPECT_FALSE(writeKey("A", "[B]", "1", path));
  EXPECT_FALSE(writeKey("A]\n[B", "k", "1", path));
  EXPECT_FALSE(writeKey("A]", "k", "1", path));
  EXPECT_FALSE(WritePrivateProfileSection("A", "k=1\nj=2\0", path.c_str()));
  EXPECT_FALSE(WritePrivateProfileSection("A", "j=2=3\0k\x01=1\0", path.c_str()));
  EXPECT_EQ(slurp(path), before);
  // What keeps the structure still goes in: brackets and '=' in a value,
  // any printable text.
  EXPECT_TRUE(writeKey("A", "k", "a=b [c] \"d\" ~ é", path));
  EXPECT_EQ(get("A", "k", path), "a=b [c] \"d\" ~ é");
}

TEST_F(IniWrite, DeletesKeysAndSections) {
  put(path, "[A]\nx=1\ny=2\n[B]\nz=3\n");
  EXPECT_TRUE(writeKey("a", "X", nullptr, path));
  EXPECT_EQ(slurp(path), "[A]\ny=2\n\n[B]\nz=3\n\n");
  EXPECT_TRUE(writeKey("b", nullptr, nullptr, path));
  EXPECT_EQ(slurp(path), "[A]\ny=2\n\n");
  EXPECT_TRUE(writeKey("A", "y", nullptr, path));  // the section stays, empty
  EXPECT_EQ(slurp(path), "[A]\n\n");
}

TEST_F(IniWrite, AChangeThatChangesNothingLeavesTheFileUntouched) {
  put(path, "[A]\nx=abc\n");
  setMtime(path, kPast, 123);
  const struct stat before = statOf(path);
  const auto untouched = [&](const char* what) {
    const struct stat now = statOf(path);
    EXPECT_EQ(now.st_ino, before.st_ino) << what;
    EXPECT_EQ(now.st_mtim.tv_sec, before.st_mtim.tv_sec) << what;
    EXPECT_EQ(now.st_mtim.tv_nsec, before.st_mtim.tv_nsec) << what;
    EXPECT_EQ(folderContent(dir), Names{"wobblytone.ini"}) << what;
  };
  EXPECT_TRUE(writeKey("A", "x", "abc", path));
  untouched("the same value");
  EXPECT_TRUE(writeKey("a", "X", "abc", path));
  untouched("the same value, names in other cases");
  EXPECT_TRUE(writeKey("A", "missing", nullptr, path));
  untouched("deleting a missing key");
  EXPECT_TRUE(writeKey("missing", nullptr, nullptr, path));
  untouched("deleting a missing section");
  EXPECT_TRUE(WritePrivateProfileSection("missing", "\0", path.c_str()));
  untouched("emptying a missing section");
  EXPECT_EQ(slurp(path), "[A]\nx=abc\n");

  // Values compare with their case.
  EXPECT_TRUE(writeKey("A", "x", "ABC", path));
  EXPECT_NE(statOf(path).st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(slurp(path), "[A]\nx=ABC\n\n");
}

TEST_F(IniWrite, EmptyingASectionLeavesItsHeaderAndAnEmptyLine) {
  put(path, "[Editor]\nScale=0.5\n[MIDI Control]\nCC7=12\nCC1=3\n");
  EXPECT_TRUE(WritePrivateProfileSection("MIDI Control", "\0", path.c_str()));
  EXPECT_EQ(slurp(path), "[Editor]\nScale=0.5\n\n[MIDI Control]\n\n");
  EXPECT_EQ(sectionNames(path), (Names{"Editor", "MIDI Control"}));
  EXPECT_TRUE(WritePrivateProfileSection("Editor", nullptr, path.c_str()));
  EXPECT_EQ(slurp(path), "[Editor]\n\n[MIDI Control]\n\n");
}

TEST_F(IniWrite, ReplacesASectionWithAnEntryList) {
  put(path, "[M]\nold=1\n");
  const std::string list("CC7=12\0cc1=3\0=skipped\0no equals\0a==b\0CC7=13\0", 45);
  EXPECT_TRUE(WritePrivateProfileSection("M", list.c_str(), path.c_str()));
  EXPECT_EQ(entries("M", path), (Names{"a==b", "cc1=3", "CC7=13"}));
  EXPECT_EQ(slurp(path), "[M]\na==b\ncc1=3\nCC7=13\n\n");

  // A missing section is created; an entry is cut after 8191 characters.
  const std::string longEntry = "k=" + std::string(9000, 'v') + '\0';
  EXPECT_TRUE(WritePrivateProfileSection("New", longEntry.c_str(), path.c_str()));
  EXPECT_EQ(get("New", "k", path, "", 16384), std::string(8189, 'v'));
}

TEST_F(IniWrite, NamesAndValuesOfAnyLengthRoundTrip) {
  const std::string section(3000, 's'), key(5000, 'k'), value(200000, 'v');
  EXPECT_TRUE(writeKey(section.c_str(), key.c_str(), value.c_str(), path));
  swellIniResetCacheForTests();
  EXPECT_EQ(get(section.c_str(), key.c_str(), path, "", value.size() + 1), value);
  EXPECT_EQ(sectionNames(path), Names{section});
  EXPECT_EQ(keyNames(section.c_str(), path), Names{key});
}

TEST_F(IniWrite, NeverChangesTheFileCreationMask) {
  const mode_t saved = umask(007);
  EXPECT_TRUE(writeKey("A", "k", "v", path));
  EXPECT_TRUE(WritePrivateProfileSection("B", "x=1\0", path.c_str()));
  const mode_t during = umask(saved);
  EXPECT_EQ(during, 007);
  // The file is created for anyone, then narrowed by the user's own mask.
  EXPECT_EQ(statOf(path).st_mode & 0777, 0660u);
}

// --- Failed write-backs -----------------------------------------------------

TEST_F(IniWriteFailure, ATemporaryFileThatCannotBeCreatedLeavesTheFileWhole) {
  // A folder where the temporary file should go: not even root can open it
  // for writing.
  const std::string original = "[A]\nx=old\n";
  put(path, original);
  ASSERT_EQ(mkdir(temp.c_str(), 0700), 0);
  EXPECT_TRUE(writeKey("A", "x", "new", path));
  EXPECT_EQ(slurp(path), original);
  EXPECT_EQ(get("A", "x", path), "new");  // kept in memory

  // The change is written with the next write-back that works.
  ASSERT_EQ(rmdir(temp.c_str()), 0);
  EXPECT_TRUE(writeKey("A", "y", "1", path));
  EXPECT_EQ(slurp(path), "[A]\nx=new\ny=1\n\n");
}

TEST_F(IniWriteFailure, AReadOnlyFolderLeavesTheFileWhole) {
  const std::string original = "[A]\nx=old\n";
  put(path, original);
  ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
  if (access(dir.c_str(), W_OK) == 0) GTEST_SKIP() << "this user can write into read-only folders";
  EXPECT_TRUE(writeKey("A", "x", "new", path));
  EXPECT_EQ(slurp(path), original);
  EXPECT_EQ(get("A", "x", path), "new");
  EXPECT_FALSE(exists(temp));
}

TEST_F(IniWriteFailure, AShortTemporaryFileIsRemovedAndNotRenamed) {
  // A child process whose files may not grow past 1 KiB writes a longer one.
  const std::string original = "[A]\nx=old\n";
  put(path, original);
  const std::string big(8000, 'b');
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const struct rlimit limit = {1024, 1024};
    signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(2);
    WritePrivateProfileString("A", "big", big.c_str(), path.c_str());
    char back[8192];
    GetPrivateProfileString("A", "big", "", back, sizeof back, path.c_str());
    const bool ok = slurp(path) == original && !exists(temp) && back == big;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the file was changed, the temporary file left, or the value lost";
  EXPECT_EQ(slurp(path), original);
  EXPECT_FALSE(exists(temp));
}

TEST_F(IniWriteFailure, AMissingFolderKeepsTheChangeInMemory) {
  const std::string nowhere = dir + "/missing/wobblytone.ini";
  EXPECT_TRUE(writeKey("A", "k", "v", nowhere));
  EXPECT_EQ(get("A", "k", nowhere), "v");
  EXPECT_FALSE(exists(dir + "/missing"));
}

// --- The cache and other writers --------------------------------------------

TEST_F(IniCache, ReadsAFileAgainWhenAnotherWriterChangedItsSize) {
  put(path, "[A]\nk=1\n");
  setMtime(path, kPast, 0);
  EXPECT_EQ(get("A", "k", path), "1");
  put(path, "[A]\nk=22\n");
  setMtime(path, kPast, 0);  // only the size tells
  EXPECT_EQ(get("A", "k", path), "22");

  const std::string other = dir + "/other.ini";
  put(other, "[A]\nk=333\n");
  setMtime(other, kPast, 0);
  ASSERT_EQ(rename(other.c_str(), path.c_str()), 0);
  EXPECT_EQ(get("A", "k", path), "333");
}

TEST_F(IniCache, ReadsAFileAgainWhenItsModificationSecondChanged) {
  put(path, "[A]\nk=1\n");
  setMtime(path, kPast, 0);
  EXPECT_EQ(get("A", "k", path), "1");
  put(path, "[A]\nk=2\n");
  setMtime(path, kPast + 1, 0);
  EXPECT_EQ(get("A", "k", path), "2");
}

// Another writer may rewrite the file within one second and to the same
// length: the nanoseconds of its time, or its identity when it was
// replaced, still tell.
TEST_F(IniCache, ARewriteWithinTheSameSecondAndSizeIsReadAgain) {
  put(path, "[A]\nk=1\n");
  setMtime(path, kPast, 100);
  EXPECT_EQ(get("A", "k", path), "1");
  put(path, "[A]\nk=2\n");
  setMtime(path, kPast, 900'000'000);
  EXPECT_EQ(get("A", "k", path), "2");

  EXPECT_TRUE(writeKey("A", "k", "3", path));
  const struct stat written = statOf(path);
  put(path, "[A]\nk=4\n");
  setMtime(path, written.st_mtim.tv_sec, written.st_mtim.tv_nsec);
  EXPECT_EQ(get("A", "k", path), "4") << "a file put in place of the one written back";
}

TEST_F(IniCache, AFileThatDisappearedReadsEmpty) {
  put(path, "[A]\nk=1\n");
  EXPECT_EQ(get("A", "k", path), "1");
  ASSERT_EQ(unlink(path.c_str()), 0);
  EXPECT_EQ(get("A", "k", path), "(none)");
  EXPECT_TRUE(writeKey("A", "j", "2", path));
  EXPECT_EQ(slurp(path), "[A]\nj=2\n\n");
}

TEST_F(IniCache, PathsDifferingInCaseAreDifferentFiles) {
  const std::string upper = dir + "/A.ini", lower = dir + "/a.ini";
  put(upper, "[S]\nk=upper\n");
  put(lower, "[S]\nk=lower\n");
  setMtime(upper, kPast, 0);
  setMtime(lower, kPast, 0);
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(get("S", "k", upper), "upper");
    EXPECT_EQ(get("S", "k", lower), "lower");
  }
}

TEST_F(IniCache, KeepsThe32MostRecentlyUsedFiles) {
  // f0 is used after every other file; f1 is used once, first. After 40
  // further files f0 is still cached and f1 is not. A rewrite the cache
  // cannot see (same second, same size) tells which is which.
  std::vector<std::string> files;
  for (int i = 0; i <= 40; ++i) {
    files.push_back(dir + "/f" + std::to_string(i) + ".ini");
    put(files.back(), "[S]\nk=old" + std::to_string(i % 10) + "\n");
    setMtime(files.back(), kPast, 0);
  }
  EXPECT_EQ(get("S", "k", files[0]), "old0");
  for (int i = 1; i <= 40; ++i) {
    EXPECT_EQ(get("S", "k", files[i]), "old" + std::to_string(i % 10));
    EXPECT_EQ(get("S", "k", files[0]), "old0");
  }
  for (int i : {0, 1}) {
    put(files[i], "[S]\nk=new" + std::to_string(i) + "\n");
    setMtime(files[i], kPast, 0);
  }
  EXPECT_EQ(get("S", "k", files[0]), "old0");
  EXPECT_EQ(get("S", "k", files[1]), "new1");
  EXPECT_EQ(get("S", "k", files[40]), "old0");  // the most recent of the others
}

// --- File names ---------------------------------------------------------------

// Saves and restores what the default profile is made from.
class IniFileNames : public IniFolder {
 protected:
  void SetUp() override {
    IniFolder::SetUp();
    const char* home = std::getenv("HOME");
    hadHome = home != nullptr;
    if (home) savedHome = home;
  }
  void TearDown() override {
    g_swell_defini = nullptr;
    if (hadHome)
      setenv("HOME", savedHome.c_str(), 1);
    else
      unsetenv("HOME");
    IniFolder::TearDown();
  }

  bool hadHome = false;
  std::string savedHome;
};

TEST_F(IniFileNames, ANameWithoutSlashIsNextToTheSetDefaultProfile) {
  const std::string profile = dir + "/prof.ini";
  g_swell_defini = profile.c_str();
  EXPECT_TRUE(WritePrivateProfileString("A", "k", "foo", "foo"));
  EXPECT_TRUE(WritePrivateProfileString("A", "k", "bar", "bar.INI"));
  EXPECT_TRUE(WritePrivateProfileString("A", "k", "none", nullptr));
  EXPECT_TRUE(WritePrivateProfileString("A", "j", "empty", ""));
  EXPECT_EQ(folderContent(dir), (Names{"prof.ini", "prof_bar.INI", "prof_foo.ini"}));
  EXPECT_EQ(slurp(dir + "/prof_foo.ini"), "[A]\nk=foo\n\n");
  EXPECT_EQ(slurp(dir + "/prof_bar.INI"), "[A]\nk=bar\n\n");
  EXPECT_EQ(slurp(profile), "[A]\nj=empty\nk=none\n\n");
  char out[16];
  GetPrivateProfileString("a", "K", "", out, sizeof out, "FOO");
  EXPECT_STREQ(out, "");  // another name, another file (prof_FOO.ini)

  // Only an extension of the file name itself is replaced.
  ASSERT_EQ(mkdir((dir + "/x.d").c_str(), 0700), 0);
  const std::string plain = dir + "/x.d/prof";
  g_swell_defini = plain.c_str();
  EXPECT_TRUE(WritePrivateProfileString("A", "k", "v", "foo"));
  EXPECT_EQ(folderContent(dir + "/x.d"), Names{"prof_foo.ini"});
}

TEST_F(IniFileNames, WithoutADefaultProfileTheHomeFolderIsUsed) {
  g_swell_defini = nullptr;
  setenv("HOME", dir.c_str(), 1);
  EXPECT_TRUE(WritePrivateProfileString("A", "k", "foo", "foo"));
  EXPECT_TRUE(WritePrivateProfileString("A", "k", "default", nullptr));
  EXPECT_EQ(folderContent(dir), (Names{".libSwell.ini", ".libSwell_foo.ini"}));
  EXPECT_EQ(slurp(dir + "/.libSwell_foo.ini"), "[A]\nk=foo\n\n");
}

// --- Several writers ----------------------------------------------------------

TEST_F(IniConcurrency, TwoProcessesWritingAtOnceLoseNoKey) {
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  const auto writeKeys = [&](char prefix) {
    for (int i = 0; i < 200; ++i) {
      char key[16];
      std::snprintf(key, sizeof key, "%c%03d", prefix, i);
      WritePrivateProfileString("Keys", key, "1", path.c_str());
    }
  };
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(go[1]);
    char c;
    if (read(go[0], &c, 1) != 1) _exit(2);
    writeKeys('c');
    _exit(0);
  }
  close(go[0]);
  ASSERT_EQ(::write(go[1], "g", 1), 1);  // both start together
  close(go[1]);
  writeKeys('p');
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  swellIniResetCacheForTests();
  const Names keys = keyNames("Keys", path);
  const std::set<std::string> unique(keys.begin(), keys.end());
  EXPECT_EQ(keys.size(), 400u);
  EXPECT_EQ(unique.size(), 400u);
  for (char prefix : {'c', 'p'})
    for (int i = 0; i < 200; ++i) {
      char key[16];
      std::snprintf(key, sizeof key, "%c%03d", prefix, i);
      EXPECT_TRUE(unique.count(key)) << key;
    }
  EXPECT_EQ(folderContent(dir), Names{"wobblytone.ini"});
}

// Two processes, each changing one key of its own again and again (values
// of the same length, so the file's size never changes): neither loses the
// other's last value, in any of twenty runs.
TEST_F(IniConcurrency, TwoProcessesChangingAKeyEachLoseNothing) {
  for (int run = 0; run < 20; ++run) {
    put(path, "[Keys]\na=000\nb=000\n");
    swellIniResetCacheForTests();
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    const auto count = [&](const char* key) {
      for (int i = 1; i <= 300; ++i) {
        char value[8];
        std::snprintf(value, sizeof value, "%03d", i);
        WritePrivateProfileString("Keys", key, value, path.c_str());
      }
    };
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(go[1]);
      char c;
      if (read(go[0], &c, 1) != 1) _exit(2);
      count("b");
      _exit(0);
    }
    close(go[0]);
    ASSERT_EQ(::write(go[1], "g", 1), 1);
    close(go[1]);
    count("a");
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    swellIniResetCacheForTests();
    EXPECT_EQ(get("Keys", "a", path), "300") << "run " << run;
    EXPECT_EQ(get("Keys", "b", path), "300") << "run " << run;
  }
}

TEST_F(IniConcurrency, ThreadsWritingAndReadingLoseNoKey) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        const std::string key = "t" + std::to_string(t) + "_" + std::to_string(i);
        WritePrivateProfileString("Keys", key.c_str(), "1", path.c_str());
        char out[8];
        GetPrivateProfileString("Keys", key.c_str(), "", out, sizeof out, path.c_str());
        if (std::strcmp(out, "1") != 0) ADD_FAILURE() << key;
        // Another file in between, so the cache switches between entries.
        WritePrivateProfileString("Keys", key.c_str(), "1", (dir + "/other.ini").c_str());
      }
    });
  for (std::thread& t : threads) t.join();
  swellIniResetCacheForTests();
  EXPECT_EQ(keyNames("Keys", path).size(), 200u);
  EXPECT_EQ(keyNames("Keys", dir + "/other.ini").size(), 200u);
}

}  // namespace

namespace {

// Runs `body` in a child process that must end within ten seconds; false if
// it hung (then it is killed) or failed.
template <class Body>
bool finishesInTime(Body body) {
  const pid_t child = fork();
  if (child == 0) {
    alarm(10);
    _exit(body() ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

// A named pipe (or any other non-file) where the configuration file should
// be: it reads as a missing file at once, and nothing is written through it
// or put in its place.
TEST_F(IniCache, ANamedPipeReadsAsMissingAndIsNeverWritten) {
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  EXPECT_TRUE(finishesInTime([&] {
    char out[16];
    GetPrivateProfileString("A", "k", "default", out, sizeof out, path.c_str());
    WritePrivateProfileString("A", "k", "1", path.c_str());
    return std::string(out) == "default";
  }));
  struct stat st {};
  ASSERT_EQ(lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(folderContent(dir), Names{"wobblytone.ini"});

  const std::string folder = dir + "/folder.ini";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  EXPECT_EQ(get("A", "k", folder), "(none)");
  WritePrivateProfileString("A", "k", "1", folder.c_str());
  ASSERT_EQ(lstat(folder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}
