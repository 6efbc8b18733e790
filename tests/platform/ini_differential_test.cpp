// Our own profile code (the posix build's profile functions, and those of a
// dry run on Windows) against the real kernel32 profile functions: a few
// hundred profile files, hand-picked and generated, each read and written
// through both; the values read, the write results and the files' final
// bytes must be the same. kernel32 answers through ini_oracle.exe under
// Wine; without Wine the suite is skipped.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <optional>
#include <random>
#include <sstream>

#include "platform/cp1252.h"
#include "platform/file_system.h"
#include "platform/profile_store.h"
#include "tests/support/bytes.h"

namespace act {
namespace {

struct Op {
  bool write;
  std::string section, key, value;  // Windows-1252 bytes
};

struct Case {
  std::string name;
  std::optional<std::string> file;  // absent: no file at the start
  std::vector<Op> ops;
  bool read_only = false;
  bool missing_folder = false;
};

Op Read(std::string section, std::string key) { return {false, std::move(section), std::move(key), ""}; }
Op Write(std::string section, std::string key, std::string value) {
  return {true, std::move(section), std::move(key), std::move(value)};
}

std::string Repeat(const std::string& piece, size_t length) {
  std::string text;
  while (text.size() < length) text += piece;
  return text.substr(0, length);
}

// The oracle's script writes an empty text as "-".
std::string Hex(const std::string& bytes) { return bytes.empty() ? "-" : act::test::Hex(bytes); }

std::string Printable(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n\n";
    else if (c < 0x20 || c >= 0x7F) { char b[8]; std::snprintf(b, sizeof b, "\\x%02x", c); out += b; }
    else out += static_cast<char>(c);
  }
  return out;
}

std::vector<Case> HandPickedCases() {
  const std::string v300 = Repeat("0123456789", 300);
  std::vector<Case> cases = {
      {"absent file, reads only", std::nullopt, {Read("s", "k"), Read("", "k")}},
      {"absent file, write creates it", std::nullopt, {Write("SECCIONES", "num", "3"), Read("secciones", "NUM")}},
      {"missing folder", std::nullopt, {Write("s", "k", "v"), Read("s", "k")}, false, true},
      {"plain", std::string("[General]\r\nminimo=1.0.0.5\r\nBDminimo=2\r\n"),
       {Read("General", "minimo"), Read("GENERAL", "bdMINIMO"), Read(" General ", " minimo "), Read("General", "none")}},
      {"same value written changes nothing", std::string("[s]\nk = v\n\n; note\n"), {Write("s", "k", "v"), Read("s", "k")}},
      {"new key and new section", std::string("[a]\r\nx=1\r\n\r\n[b]\r\ny=2"), {Write("a", "z", "3"), Write("c", "w", "4"), Read("a", "z"), Read("c", "w")}},
      {"long value", "[s]\r\nk=" + v300 + "\r\n", {Read("s", "k")}},
      {"quoted long values", "[s]\r\na=\"" + Repeat("x", 252) + "\"\r\nb=\"" + Repeat("x", 253) + "\"\r\nc=\"" + Repeat("x", 254) + "\"\r\nd='" + Repeat("y", 255) + "'\r\n",
       {Read("s", "a"), Read("s", "b"), Read("s", "c"), Read("s", "d")}},
      {"write long value", std::string("[s]\r\n"), {Write("s", "k", v300), Read("s", "k")}},
      {"quotes", std::string("[q]\r\na=\"x\"\r\nb='y'\r\nc=\"z'\r\nd=\"\r\ne=\"\"\r\nf='\"'\r\ng= \" spaced \" \r\n"),
       {Read("q", "a"), Read("q", "b"), Read("q", "c"), Read("q", "d"), Read("q", "e"), Read("q", "f"), Read("q", "g")}},
      {"duplicates", std::string("[s]\r\nk=first\r\nK=second\r\n[S]\r\nk=third\r\nj=only in second\r\n"),
       {Read("s", "k"), Read("s", "j"), Write("s", "j", "added"), Read("s", "j")}},
      {"blanks around brackets", std::string("  [ spaced ]  \r\nk=1\r\n\t[tabbed]\t\r\nk=2\r\n[x] trailing text\r\nk=3\r\n"),
       {Read("spaced", "k"), Read(" spaced ", "k"), Read("tabbed", "k"), Read("x", "k"), Write("spaced", "k", "9")}},
      {"lines without equals and comments", std::string("; top comment\r\n[s]\r\n;k=hidden\r\nlonely\r\n# hash=1\r\nk=v\r\n=novalue\r\n=again\r\n"),
       {Read("s", ";k"), Read("s", "lonely"), Read("s", "# hash"), Read("s", "k"), Write("s", "lonely", "now"), Read("s", "lonely")}},
      {"accented Windows-1252", std::string("[M\xFAsica]\r\nA\xF1o=Canci\xF3n \x80 \x85\r\n\xC9LITE=s\xED\r\n"),
       {Read("M\xDAsica", "A\xD1O"), Read("m\xFAsica", "\xE9lite"), Write("M\xFAsica", "\xC9LITE", "\x8A\x9A\x8C\x9C\x8E\x9E\x9F\xFF"), Read("M\xFAsica", "\xE9LITE")}},
      {"undefined code page bytes", std::string("[s]\r\nk=\x81\x8D\x8F\x90\x9D\r\n"), {Read("s", "k"), Write("s", "j", "\x81"), Read("s", "j")}},
      {"LF only, no final newline", std::string("[a]\nk=1\n[b]\nk=2"), {Read("a", "k"), Read("b", "k"), Write("b", "k", "3")}},
      {"CR only lines", std::string("[a]\rk=1\rj=2\r"), {Read("a", "k"), Read("a", "j"), Write("a", "k", "5")}},
      {"blank values", std::string("[s]\r\ne=\r\nf=   \r\n"), {Read("s", "e"), Read("s", "f"), Write("s", "e", "1"), Write("s", "f", "")}},
      {"leading blanks written", std::string("[s]\r\n"), {Write("s", "k", "   x  "), Write("  s  ", "  j  ", "y"), Read("s", "k"), Read("s", "j")}},
      {"nbsp and tabs", std::string("[s]\r\n\xA0k\xA0=\xA0v\xA0\r\n\tt\t=\tw\t\r\n"), {Read("s", "k"), Read("s", "\xA0k"), Read("s", "t"), Write("s", "t", "z")}},
      {"keys before any section", std::string("loose=1\r\n[s]\r\nk=v\r\n"), {Read("", "loose"), Write("s", "k", "w")}},
      {"empty key name", std::string("[s]\r\nk=v\r\n"), {Read("s", ""), Write("s", "", "x"), Read("s", "")}},
      {"ctrl-z end", std::string("[s]\r\nk=v\r\n\x1A"), {Read("s", "k"), Write("s", "k", "w")}},
      {"equals in value", std::string("[s]\r\nk=a=b=c\r\n"), {Read("s", "k"), Write("s", "k", "d=e")}},
      {"empty file", std::string(""), {Read("s", "k"), Write("s", "k", "v")}},
      {"UTF-8 with byte order mark", std::string("\xEF\xBB\xBF[s]\r\nk=A\xC3\xB1o \xE2\x82\xAC \xC5\xA0\r\n"),
       {Read("s", "k"), Write("s", "j", "Canci\xF3n"), Read("s", "j")}},
      {"UTF-16 with byte order mark", std::string("\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\xF1\0\xAC\x20\r\0\n\0", 24),
       {Read("s", "k"), Write("s", "j", "\xE9"), Read("s", "j")}},
      {"many writes before one save", std::string("; top\r\n[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n[A]\r\nz=dup\r\n[c]\r\n"),
       {Write("a", "x", "10"), Write("B", "Y", "20"), Write("a", "new", "n1"), Read("a", "NEW"), Write("c", "w", "30"),
        Write("d", "v", "40"), Write("D", "V", "41"), Read("d", "v"), Write("a", "z", "az"), Read("A", "z"),
        Write(" e ", "k", "e1"), Read("e", "k"), Write("e", "k", "e2"), Write("b", "y", "20"), Read("b", "y"),
        Write("a", "new", "n2"), Read("a", "new"), Read("c", "w")}},
      {"line break in a written value", std::string("[s]\r\n"),
       {Write("s", "k", "a\r\nb=1"), Read("s", "k"), Read("s", "b"), Write("s", "j", "2"), Read("s", "b")}},
      {"section without closing bracket", std::string("[open\r\nk=1\r\n[ok]\r\nk=2\r\n"), {Read("open", "k"), Read("[open", "k"), Read("ok", "k"), Write("open", "k", "3")}},
  };
  // Which control characters count as blanks around names and values.
  Case blanks{"blank characters", std::string("[s]\r\n"), {}};
  for (int c = 1; c <= 0xA0; c = c == 0x20 ? 0x7F : c == 0x7F ? 0xA0 : c + 1) {
    if (c == '\n' || c == '\r') continue;
    char hex[8];
    std::snprintf(hex, sizeof hex, "k%02x", c);
    std::string ch(1, static_cast<char>(c));
    *blanks.file += ch + hex + ch + "=" + ch + "v" + ch + "\r\n";
    blanks.ops.push_back(Read("s", hex));
  }
  blanks.ops.push_back(Write("s", "k09", "new"));
  cases.push_back(blanks);
  return cases;
}

// Random profile files from the kinds of line the product's files and
// their hand-edited copies hold.
std::vector<Case> GeneratedCases(size_t count) {
  const std::vector<std::string> sections = {"General", "general", "SECCIONES", "Datos Usuario", "M\xFAsica",
                                             "\xC0\xC9\xCE\xD5\xDC", "a=b", "x"};
  const std::vector<std::string> keys = {"clave", "Clave", "KEY1", "num 2", "A\xF1o", "\xC9LITE", "x", ";x", "1"};
  const std::vector<std::string> values = {"", "1", "valor", "  spaced  ", "\"quoted\"", "'single'", "\"unbalanced",
                                           "'mixed\"", "a=b=c", "; not comment", "Canci\xF3n \xF1" "and\xFA \x80",
                                           "\"\"", "'", Repeat("abc", 300), "\"" + Repeat("q", 253) + "\"",
                                           "\ttab", "\xA0nbsp\xA0", "\x85", "x\x1A"};
  const std::vector<std::string> endings = {"\r\n", "\n", "\r\n", "\r\n", "\r"};
  std::mt19937 random(20261207);
  auto pick = [&](const auto& pool) { return pool[random() % pool.size()]; };
  auto vary = [&](std::string name) {
    switch (random() % 6) {
      case 0: for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c))); break;
      case 1: name = " " + name + "  "; break;
      case 2: name = "\t" + name; break;
      default: break;
    }
    return name;
  };

  std::vector<Case> cases;
  for (size_t n = 0; n < count; ++n) {
    Case c;
    c.name = "generated " + std::to_string(n);
    std::string ending = pick(endings);
    std::string text;
    size_t preamble = random() % 3;
    for (size_t i = 0; i < preamble; ++i) text += (random() % 2 ? "; comment" : "loose=1") + ending;
    size_t section_count = 1 + random() % 4;
    for (size_t s = 0; s < section_count; ++s) {
      std::string name = pick(sections);
      switch (random() % 5) {
        case 0: text += "  [" + name + "]  " + ending; break;
        case 1: text += "[" + name + "] x" + ending; break;
        case 2: text += "[ " + name + " ]" + ending; break;
        default: text += "[" + name + "]" + ending; break;
      }
      size_t lines = random() % 6;
      for (size_t l = 0; l < lines; ++l) {
        std::string key = pick(keys), value = pick(values);
        switch (random() % 8) {
          case 0: text += key + " = " + value + ending; break;
          case 1: text += "  " + key + "\t=\t" + value + "  " + ending; break;
          case 2: text += key + ending; break;
          case 3: text += ending; break;
          case 4: text += "=" + value + ending; break;
          default: text += key + "=" + value + ending; break;
        }
      }
    }
    if (random() % 4 == 0 && text.size() >= ending.size()) text.resize(text.size() - ending.size());
    c.file = text;
    for (int i = 0; i < 6; ++i) c.ops.push_back(Read(vary(pick(sections)), vary(pick(keys))));
    for (int i = 0; i < 3; ++i) c.ops.push_back(Write(vary(pick(sections)), vary(pick(keys)), pick(values)));
    for (int i = 0; i < 3; ++i) c.ops.push_back(Read(pick(sections), pick(keys)));
    cases.push_back(std::move(c));
  }
  return cases;
}

std::string WindowsPath(const std::string& posix) {
  std::string path = "Z:" + posix;
  for (char& ch : path) if (ch == '/') ch = '\\';
  return path;
}

void WriteHostFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::optional<std::string> ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string FilePath(const std::string& folder, size_t index, const Case& c) {
  return folder + (c.missing_folder ? "/nofolder" : "") + "/c" + std::to_string(index) + ".ini";
}

void Prepare(const std::string& folder, const std::vector<Case>& cases) {
  mkdir(folder.c_str(), 0777);
  for (size_t i = 0; i < cases.size(); ++i) {
    if (!cases[i].file) continue;
    std::string path = FilePath(folder, i, cases[i]);
    WriteHostFile(path, *cases[i].file);
    if (cases[i].read_only) chmod(path.c_str(), 0444);
  }
}

TEST(IniDifferentialTest, PosixProfileCodeAnswersAsKernel32) {
  ASSERT_EQ(std::system("command -v wine >/dev/null 2>&1"), 0)
      << "wine is missing: scripts/install-deps.sh installs it";

  std::vector<Case> cases = HandPickedCases();
  for (Case& c : GeneratedCases(280)) cases.push_back(std::move(c));

  char pattern[] = "/tmp/act-inidiff-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string base = pattern, wine_dir = base + "/wine", posix_dir = base + "/posix";
  Prepare(wine_dir, cases);
  Prepare(posix_dir, cases);

  // kernel32's answers.
  std::ofstream script(base + "/script.txt");
  for (size_t i = 0; i < cases.size(); ++i) {
    script << "F " << Hex(WindowsPath(FilePath(wine_dir, i, cases[i]))) << "\n";
    for (const Op& op : cases[i].ops) {
      if (op.write) script << "W " << Hex(op.section) << " " << Hex(op.key) << " " << Hex(op.value) << "\n";
      else script << "R " << Hex(op.section) << " " << Hex(op.key) << "\n";
    }
  }
  script.close();
  std::string command = "WINEDEBUG=-all wine '" ACT_INI_ORACLE "' '" + WindowsPath(base + "/script.txt") +
                        "' > '" + base + "/answers.txt' 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream answers(base + "/answers.txt");
  std::string line;
  ASSERT_TRUE(std::getline(answers, line));
  ASSERT_EQ(line, "ACP 1252") << "the Wine prefix must use the Windows-1252 code page";

  // Ours, on the twin files.
  std::unique_ptr<FileSystem> fs = NewPlatformFileSystem();
  std::unique_ptr<ProfileStore> store = NewPlatformProfileStore(*fs);
  int mismatches = 0;
  for (size_t i = 0; i < cases.size() && mismatches < 10; ++i) {
    const Case& c = cases[i];
    std::string path = FilePath(posix_dir, i, c);
    std::string log;
    bool same = true;
    for (const Op& op : c.ops) {
      std::string ours;
      if (op.write) {
        ours = store->Write(Cp1252ToUtf8(op.section), Cp1252ToUtf8(op.key), Cp1252ToUtf8(op.value), path) ? "1" : "0";
      } else {
        ours = Hex(Utf8ToCp1252(store->Read(Cp1252ToUtf8(op.section), Cp1252ToUtf8(op.key), path)));
      }
      std::string theirs;
      std::getline(answers, theirs);
      log += (op.write ? "W [" : "R [") + Printable(op.section) + "] " + Printable(op.key) +
             (op.write ? " = " + Printable(op.value) : "") + " -> kernel32 " + theirs + ", ours " + ours + "\n";
      same = same && ours == theirs;
    }
    store->Flush();
    std::optional<std::string> their_file = ReadHostFile(FilePath(wine_dir, i, c));
    std::optional<std::string> our_file = ReadHostFile(path);
    if (their_file != our_file) {
      same = false;
      log += "kernel32 file:\n" + (their_file ? Printable(*their_file) : "(none)") + "\nour file:\n" +
             (our_file ? Printable(*our_file) : "(none)") + "\n";
    }
    if (!same) {
      ++mismatches;
      ADD_FAILURE() << "case " << c.name << "\nstarting file:\n"
                    << (c.file ? Printable(*c.file) : "(none)") << "\n" << log;
    }
  }
  EXPECT_EQ(mismatches, 0);
  // Wine may still be winding the oracle down; retry until the folder goes.
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::error_code ignored;
    std::filesystem::remove_all(base, ignored);
    if (!std::filesystem::exists(base)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
}

}  // namespace
}  // namespace act
