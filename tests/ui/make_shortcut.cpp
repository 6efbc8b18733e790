// Saves a shortcut through the real shell (IShellLinkW + IPersistFile::Save)
// and prints the target that the shell itself reports for the saved file
// (IShellLinkW::GetPath after IPersistFile::Load), so that the tests can
// hold our own shortcut reader against the platform's.
//
//   make_shortcut <file.lnk> <target>   save, then print the shell's target
//   make_shortcut --read <file.lnk>     print the shell's target only
//
// Paths are passed as UTF-8 and printed as UTF-8, on one line.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::wstring Widen(const char* text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring out(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), n);
  return out;
}

std::string Narrow(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

int Fail(const char* what, HRESULT hr) {
  std::fprintf(stderr, "make_shortcut: %s failed (0x%08lx)\n", what, static_cast<unsigned long>(hr));
  return 2;
}

IShellLinkW* NewLink() {
  IShellLinkW* link = nullptr;
  CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                   reinterpret_cast<void**>(&link));
  return link;
}

int Save(const std::wstring& file, const std::wstring& target) {
  IShellLinkW* link = NewLink();
  if (!link) return Fail("CoCreateInstance(ShellLink)", E_FAIL);
  HRESULT hr = target.empty() ? S_OK : link->SetPath(target.c_str());
  if (FAILED(hr)) return Fail("SetPath", hr);
  IPersistFile* persist = nullptr;
  hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
  if (FAILED(hr)) return Fail("QueryInterface(IPersistFile)", hr);
  hr = persist->Save(file.c_str(), TRUE);
  persist->Release();
  link->Release();
  return FAILED(hr) ? Fail("Save", hr) : 0;
}

int PrintTarget(const std::wstring& file) {
  IShellLinkW* link = NewLink();
  if (!link) return Fail("CoCreateInstance(ShellLink)", E_FAIL);
  IPersistFile* persist = nullptr;
  HRESULT hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
  if (FAILED(hr)) return Fail("QueryInterface(IPersistFile)", hr);
  hr = persist->Load(file.c_str(), STGM_READ);
  persist->Release();
  if (FAILED(hr)) return Fail("Load", hr);
  wchar_t path[MAX_PATH + 1] = L"";
  link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH);
  link->Release();
  std::printf("%s\n", Narrow(path).c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (FAILED(CoInitialize(nullptr))) return Fail("CoInitialize", E_FAIL);
  int status;
  if (argc == 3 && std::strcmp(argv[1], "--read") == 0) {
    status = PrintTarget(Widen(argv[2]));
  } else if (argc == 3) {
    std::wstring file = Widen(argv[1]);
    status = Save(file, Widen(argv[2]));
    if (status == 0) status = PrintTarget(file);
  } else {
    std::fprintf(stderr, "usage: make_shortcut <file.lnk> <target> | --read <file.lnk>\n");
    status = 2;
  }
  CoUninitialize();
  return status;
}
