// What actualizador-cli needs from the operating system, one file per
// platform (its arguments come from platform/command_line.h): its own
// folder, a console that shows UTF-8 and how wide it is, its log file, the
// signals that stop it and the memory it used.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace act {

// The folder of the running executable: no trailing separator except at a
// drive root ("e:\"). On posix a native path starting with '/'.
std::string ExecutableFolder();

// Makes the console show the UTF-8 the program writes.
void PrepareConsole();

// Whether standard error is a terminal (a console on Windows) rather than a
// file or a pipe.
bool StandardErrorIsTerminal();

// The columns of the terminal (console) the stream writes to; 0 when it is
// none or cannot tell.
int TerminalColumns(std::FILE* terminal);

// A file that text is appended to: a descriptor on posix, a HANDLE on
// Windows.
using AppendFile = intptr_t;
constexpr AppendFile kNoFile = -1;
// How a line of text ends in this system's own files.
#ifdef _WIN32
constexpr char kLineEnd[] = "\r\n";
#else
constexpr char kLineEnd[] = "\n";
#endif

// Opens the file (a path of this machine, UTF-8) for appending, making it
// when missing; kNoFile when it cannot be opened.
AppendFile OpenForAppending(const std::string& path);
// Appends the text with one write, which the system keeps whole against
// other appends to the file, and which is in the file (though maybe not yet
// on the disk) when it returns: a process killed next loses none of it.
// Safe in a signal handler.
void Append(AppendFile file, const char* text, size_t size);
void Close(AppendFile file);

// From now on Ctrl+C and SIGTERM (posix, and SIGHUP: the terminal gone), or
// the console's Ctrl+C, Ctrl+Break and close events (Windows), first call
// `stopped` with the signal's name, then end the program as the signal
// would have without it. `stopped` runs in a signal handler on posix and on
// a thread of its own on Windows: it may use only what is safe there.
void CatchInterruptions(void (*stopped)(const char* signal));

// The most memory the process has held in RAM so far, as the system's own
// tools show it (peak resident set, peak working set); nothing when the
// system cannot tell.
std::optional<uint64_t> PeakResidentBytes();

}  // namespace act
