// Our shortcut reader against shortcuts saved by the real shell (Wine's
// IShellLinkW), whose own reading of each file is recorded beside it, and
// against damaged files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/error.h"
#include "platform/lnk/shell_link.h"

namespace act::lnk {
namespace {

const std::filesystem::path kSamples = std::filesystem::path(ACT_SOURCE_DIR) / "tests/ui/data/lnk";

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// (file name, target the shell reported) from a targets.tsv.
std::vector<std::pair<std::string, std::string>> ReadTargets(const std::filesystem::path& tsv) {
  std::vector<std::pair<std::string, std::string>> rows;
  std::ifstream in(tsv);
  std::string line;
  while (std::getline(in, line)) {
    size_t tab = line.find('\t');
    if (tab != std::string::npos) rows.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
  return rows;
}

std::string ReaderTarget(const std::filesystem::path& file) {
  return TargetPath(ParseShellLink(ReadBytes(file), file.string()));
}

TEST(ShellLinkReader, GivesTheShellsTargetForEverySavedSample) {
  auto rows = ReadTargets(kSamples / "targets.tsv");
  ASSERT_GE(rows.size(), 8u);
  for (const auto& [name, shell_target] : rows) {
    EXPECT_EQ(ReaderTarget(kSamples / name), shell_target) << name;
  }
}

// Shortcuts made now by the shell of the Wine on this machine, when there is
// one: guards against the checked-in samples going stale.
TEST(ShellLinkReader, AgreesWithTheLiveShell) {
  const char* helper = std::getenv("ACT_MAKE_SHORTCUT_SAMPLES");
  if (!helper || !*helper) GTEST_SKIP() << "no wine here to make fresh shortcuts";
  auto out = std::filesystem::temp_directory_path() / ("act_lnk_live_" + std::to_string(::getpid()));
  std::filesystem::create_directories(out);
  std::string command = std::string(helper) + " '" + out.string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  auto rows = ReadTargets(out / "targets.tsv");
  ASSERT_GE(rows.size(), 8u);
  for (const auto& [name, shell_target] : rows) {
    EXPECT_EQ(ReaderTarget(out / name), shell_target) << name;
  }
  std::filesystem::remove_all(out);
}

TEST(ShellLinkReader, EveryTruncationFailsCleanlyNamingTheFile) {
  for (const char* name : {"local.lnk", "network.lnk", "empty.lnk"}) {
    auto whole = ReadBytes(kSamples / name);
    ASSERT_FALSE(whole.empty());
    // The last four bytes are the terminal extra-data block, which adds
    // nothing to the target; every cut before the string data must fail.
    for (size_t size = 0; size + 4 < whole.size(); ++size) {
      std::vector<uint8_t> cut(whole.begin(), whole.begin() + size);
      try {
        ParseShellLink(cut, "C:\\Startup\\cut.lnk");
        ADD_FAILURE() << name << " cut to " << size << " bytes was accepted";
      } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("C:\\Startup\\cut.lnk"), std::string::npos) << e.what();
        EXPECT_EQ(e.number(), kErrBadFileNameOrNumber);
      }
    }
  }
}

TEST(ShellLinkReader, RejectsFilesThatAreNoShortcut) {
  std::vector<std::vector<uint8_t>> garbage = {
      {},
      std::vector<uint8_t>(200, 0xFF),
      std::vector<uint8_t>(76, 0),
  };
  std::string text = "[InternetShortcut]\r\nURL=http://example.com/\r\n";
  garbage.emplace_back(text.begin(), text.end());
  for (const auto& bytes : garbage) {
    EXPECT_THROW(ParseShellLink(bytes, "x.lnk"), Error);
  }
}

// Offsets inside a sample pointed far outside the file must be caught.
TEST(ShellLinkReader, SurvivesEverySingleByteCorruption) {
  auto whole = ReadBytes(kSamples / "local.lnk");
  size_t accepted = 0;
  for (size_t i = 0; i < whole.size(); ++i) {
    for (uint8_t value : {uint8_t{0x00}, uint8_t{0x7F}, uint8_t{0xFF}}) {
      auto bytes = whole;
      bytes[i] = value;
      try {
        ParseShellLink(bytes, "x.lnk");
        ++accepted;
      } catch (const Error&) {
      }
    }
  }
  // Most bytes (times, names) change nothing that the reader checks.
  EXPECT_GT(accepted, whole.size());
}

// Hand-built links with the parts that Windows' own shell writes and Wine's
// does not: Unicode LinkInfo strings, a network share with a path suffix,
// and a link that has only an item id list.
class LinkBuilder {
 public:
  explicit LinkBuilder(uint32_t flags) {
    U32(0x4C);
    const uint8_t clsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    bytes_.insert(bytes_.end(), clsid, clsid + 16);
    U32(flags);
    bytes_.resize(0x4C, 0);
  }
  void U16(uint16_t v) { bytes_.push_back(v & 0xFF), bytes_.push_back(v >> 8); }
  void U32(uint32_t v) { U16(v & 0xFFFF), U16(v >> 16); }
  void Ansi(const std::string& s) { bytes_.insert(bytes_.end(), s.begin(), s.end()), bytes_.push_back(0); }
  void Wide(const std::u16string& s) {
    for (char16_t c : s) U16(c);
    U16(0);
  }
  void Raw(const std::vector<uint8_t>& b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

TEST(ShellLinkReader, PrefersTheUnicodeLocalPathAndAppendsTheSuffix) {
  LinkBuilder b(0x02 | 0x80);
  // LinkInfo with a 0x24 header: ANSI path at 0x24, Unicode path after it.
  std::vector<uint8_t> info;
  LinkBuilder body(0);  // used only as a byte sink
  body.bytes().clear();
  const std::string ansi = "C:\\M?sica";
  const std::u16string wide = u"C:\\Música";
  uint32_t ansi_at = 0x24, suffix_at = ansi_at + ansi.size() + 1, wide_at = suffix_at + 1;
  uint32_t wide_suffix_at = wide_at + 2 * (wide.size() + 1);
  uint32_t size = wide_suffix_at + 2 * 13;
  body.U32(size), body.U32(0x24), body.U32(1), body.U32(0), body.U32(ansi_at), body.U32(0),
      body.U32(suffix_at), body.U32(wide_at), body.U32(wide_suffix_at);
  body.Ansi(ansi), body.Ansi(""), body.Wide(wide), body.Wide(u"\\zentaro.exe");
  ASSERT_EQ(body.bytes().size(), size);
  b.Raw(body.bytes()), b.U32(0);
  EXPECT_EQ(TargetPath(ParseShellLink(b.bytes(), "u.lnk")), "C:\\Música\\zentaro.exe");
}

TEST(ShellLinkReader, JoinsANetworkShareAndItsSuffix) {
  LinkBuilder b(0x02);
  LinkBuilder body(0);
  body.bytes().clear();
  const std::string share = "\\\\SERVER\\DATOS";
  uint32_t net_at = 0x1C, net_size = 0x14 + share.size() + 1, suffix_at = net_at + net_size;
  uint32_t size = suffix_at + 16;
  body.U32(size), body.U32(0x1C), body.U32(2), body.U32(0), body.U32(0), body.U32(net_at),
      body.U32(suffix_at);
  body.U32(net_size), body.U32(2), body.U32(0x14), body.U32(0), body.U32(0x20000);
  body.Ansi(share);
  body.Ansi("zentaroDeck.exe");
  ASSERT_EQ(body.bytes().size(), size);
  b.Raw(body.bytes()), b.U32(0);
  EXPECT_EQ(TargetPath(ParseShellLink(b.bytes(), "n.lnk")), "\\\\SERVER\\DATOS\\zentaroDeck.exe");
}

TEST(ShellLinkReader, SpellsThePathOfAnIdListWithoutLinkInfo) {
  // The id list of the Wine sample, alone.
  auto sample = ReadBytes(kSamples / "local.lnk");
  uint16_t list_size = sample[0x4C] | (sample[0x4D] << 8);
  LinkBuilder b(0x01);
  b.Raw(std::vector<uint8_t>(sample.begin() + 0x4C, sample.begin() + 0x4E + list_size));
  b.U32(0);
  EXPECT_EQ(TargetPath(ParseShellLink(b.bytes(), "i.lnk")), "C:\\zentaroDeck\\zentaroDeck.exe");
}

}  // namespace
}  // namespace act::lnk
