// The registry-file reader on the Shell Folders keys as Wine saves them.
#include <gtest/gtest.h>

#include "platform/shell/registry_file.h"

namespace act {
namespace {

const char* const kKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

const char* const kUserReg =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
    "\n"
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1796675865\n"
    "#time=1dd868ad0e332d8\n"
    "\"AppData\"=\"C:\\\\users\\\\ana\\\\AppData\\\\Roaming\"\n"
    "\"StartUp\"=\"C:\\\\users\\\\ana\\\\Men\\xfa Inicio\\\\Programas\\\\Inicio\"\n"
    "\n"
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\User Shell Folders] 1796675865\n"
    "\"StartUp\"=str(2):\"%USERPROFILE%\\\\Start Menu\\\\Programs\\\\StartUp\"\n";

TEST(RegistryFile, FindsAValueIgnoringLetterCaseAndUnescapesIt) {
  auto value = FindRegistryString(kUserReg, kKey, "Startup");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(*value, "C:\\users\\ana\\Men\xC3\xBA Inicio\\Programas\\Inicio");
}

TEST(RegistryFile, LooksOnlyInsideTheNamedKey) {
  EXPECT_FALSE(FindRegistryString(kUserReg, kKey, "Common Startup").has_value());
  // The same value name under another key is not taken, nor a non-string.
  auto other = FindRegistryString(
      kUserReg, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
      "StartUp");
  EXPECT_FALSE(other.has_value());
  EXPECT_FALSE(FindRegistryString("", kKey, "StartUp").has_value());
  EXPECT_FALSE(FindRegistryString("[Software\\\\Microsoft\n\"StartUp\"=\"broken", kKey, "StartUp"));
}

}  // namespace
}  // namespace act
