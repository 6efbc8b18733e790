// What caption_probe.dll reports from inside a program: each child window's
// text measured with the control's own font, beside the control's client
// size. A font belongs to the process that made it, so only code running
// in the program can measure with it; the test hooks the DLL into the
// program's thread and reads the answer from shared memory.
#pragma once

#include <windows.h>

#include <string>

namespace act::test {

struct CaptionMeasure {
  wchar_t text[64];
  wchar_t face[LF_FACESIZE];  // the face the font mapper gave the control
  SIZE extent;                // of the text, in that face
  SIZE client;
};

struct CaptionProbeResults {
  int count;
  CaptionMeasure captions[16];
};

// Sent to a top-level window of the program: the hook measures its
// children into the shared memory of the program's process id.
inline const wchar_t* const kCaptionProbeMessage = L"act-caption-probe";
inline std::wstring CaptionProbeMemoryName(DWORD pid) {
  return L"act-caption-probe-" + std::to_wstring(pid);
}

}  // namespace act::test
