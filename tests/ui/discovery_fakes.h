// Recording stand-ins for the shell, the message boxes and the drive list.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/message_box.h"
#include "platform/error.h"
#include "platform/shell/shell.h"
#include "ui/discovery/drive_discovery.h"

namespace act {

class FakeShell : public Shell {
 public:
  std::map<int, std::string> folders;
  std::map<std::string, std::string> targets;  // shortcut path -> target
  std::vector<std::string> opened;
  std::string unreadable;  // a shortcut path that fails to read

  std::string SpecialFolderPath(int csidl) override {
    auto it = folders.find(csidl);
    return it == folders.end() ? "" : it->second;
  }
  std::string ShortcutTarget(const std::string& path) override {
    opened.push_back(path);
    if (path == unreadable) throw Error(kErrPermissionDenied, path);
    auto it = targets.find(path);
    return it == targets.end() ? "" : it->second;
  }
  std::vector<std::string> Drives() override { return {"c:\\", "d:\\"}; }
  std::string DriveLabel(const std::string&) override { return ""; }
};

struct ShownBox {
  std::string text;
  int style;
  std::string title;
};

class RecordingBoxes : public MessageBoxes {
 public:
  std::vector<ShownBox> shown;
  void Show(const std::string& text, int style, const std::string& title) override {
    shown.push_back({text, style, title});
  }
};

class RecordingDriveList : public DriveList {
 public:
  std::vector<std::string> set;
  void SetDrive(const std::string& text) override { set.push_back(text); }
};

}  // namespace act
