#include "ui/window/window_font.h"

namespace act {
namespace {

const wchar_t kDesignFace[] = L"MS Sans Serif";
constexpr int kDesignPoints = 8;

// MS Sans Serif 8 pt sets the 52 letters below in 323 pixels at 96 DPI,
// 15 twips to the pixel.
const wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kDesignAlphabetTwips = 323 * 15;

struct Measured {
  wchar_t face[LF_FACESIZE];
  int average_width;
  int alphabet_width;
};

Measured Measure(HDC dc, HFONT font) {
  Measured measured{};
  HGDIOBJ old = SelectObject(dc, font);
  GetTextFaceW(dc, LF_FACESIZE, measured.face);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  measured.average_width = metrics.tmAveCharWidth;
  SIZE alphabet{};
  GetTextExtentPoint32W(dc, kAlphabet, lstrlenW(kAlphabet), &alphabet);
  measured.alphabet_width = alphabet.cx;
  SelectObject(dc, old);
  return measured;
}

}  // namespace

HFONT CreateWindowFont(HDC screen) {
  LOGFONTW design{};
  design.lfHeight = -MulDiv(kDesignPoints, GetDeviceCaps(screen, LOGPIXELSY), 72);
  design.lfWeight = FW_NORMAL;
  design.lfCharSet = DEFAULT_CHARSET;
  design.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  lstrcpynW(design.lfFaceName, kDesignFace, LF_FACESIZE);
  HFONT font = CreateFontIndirectW(&design);
  Measured got = Measure(screen, font);
  if (lstrcmpiW(got.face, kDesignFace) == 0) return font;

  // A substitute keeps the design's height and takes a smaller average
  // character width, one pixel at a time, until it is no wider.
  const int room = MulDiv(kDesignAlphabetTwips, GetDeviceCaps(screen, LOGPIXELSX), 1440);
  LOGFONTW narrowed = design;
  for (narrowed.lfWidth = got.average_width - 1; got.alphabet_width > room && narrowed.lfWidth > 0;
       --narrowed.lfWidth) {
    DeleteObject(font);
    font = CreateFontIndirectW(&narrowed);
    got = Measure(screen, font);
  }
  return font;
}

}  // namespace act
