// ini_oracle.exe: runs a script of profile reads and writes through the real
// kernel32 functions, the way the product calls them, and prints what they
// answer. The posix profile code is compared against it, under Wine.
//
// Script lines (every text hex-encoded Windows-1252 bytes, "-" for empty):
//   F <path>                  following lines work on this file
//   R <section> <key>         prints the value read (hex, "-" when empty)
//   W <section> <key> <value> prints 1 or 0, the write's result
// The first output line is "ACP <code page>".
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

std::string FromHex(const std::string& hex) {
  if (hex == "-") return "";
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

std::string ToHex(const std::string& bytes) {
  if (bytes.empty()) return "-";
  std::string hex;
  char two[3];
  for (unsigned char c : bytes) {
    std::snprintf(two, sizeof(two), "%02x", c);
    hex += two;
  }
  return hex;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ini_oracle <script>\n");
    return 2;
  }
  _setmode(_fileno(stdout), _O_BINARY);  // plain \n line ends for the reader
  std::ifstream script(argv[1]);
  std::cout << "ACP " << GetACP() << "\n";
  std::string line, path;
  while (std::getline(script, line)) {
    std::istringstream fields(line);
    std::string op, a, b, c;
    fields >> op >> a >> b >> c;
    if (op == "F") {
      path = FromHex(a);
    } else if (op == "R") {
      char buffer[255] = {};
      GetPrivateProfileStringA(FromHex(a).c_str(), FromHex(b).c_str(), "", buffer, 255, path.c_str());
      std::cout << ToHex(buffer) << "\n";
    } else if (op == "W") {
      BOOL ok = WritePrivateProfileStringA(FromHex(a).c_str(), FromHex(b).c_str(),
                                           FromHex(c).c_str(), path.c_str());
      std::cout << (ok ? "1" : "0") << "\n";
    }
  }
  return 0;
}
