// Resource ids of actualizador.exe, shared by the .rc and the window code.
#pragma once

#define IDI_APP 100
#define IDR_LOGO 101
