// frmPrincipal: the updater's one window. Its load sequence presets the
// drive list and shows folder.jpg; "Actualizar" runs the update inside the
// click; "Salir" and the close box end the program.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/file_system.h"
#include "ui/window/drive_combo.h"
#include "ui/window/message_boxes.h"
#include "ui/window/picture.h"

namespace act {

class FrmPrincipal {
 public:
  // Creates the window hidden, runs the load sequence and shows it. Throws
  // act::Error from the load sequence; the window is then never shown.
  void Load(HINSTANCE instance);
  HWND hwnd() const { return hwnd_; }

  // The installation drive discovery: presets the drive list.
  void buscaUnidadPrograma();

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);

  void CreateControls(HINSTANCE instance);
  HWND AddControl(const wchar_t* window_class, const wchar_t* text, DWORD style, int id,
                  int left, int top, int width, int height);
  void cmdActualizar_Click();
  void cmdSalir_Click();

  HWND hwnd_ = nullptr;
  HWND cmd_salir_ = nullptr;
  HWND lbl_drive_ = nullptr;
  HWND img_tipo_ = nullptr;
  HWND focus_ = nullptr;  // the control to give the focus back to
  HWND image1_ = nullptr;
  DriveCombo drive1_;
  Picture tipo_picture_;
  Picture logo_picture_;
  WindowBoxes boxes_;
  HBRUSH white_ = nullptr;
  HFONT font_ = nullptr;  // every control's
  int dpi_x_ = 96;
  int dpi_y_ = 96;
  // The run's file-system service, created anew by each press.
  std::unique_ptr<FileSystem> fs_;
};

}  // namespace act
