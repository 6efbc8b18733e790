// Run-time errors as the operator sees them.
//
// The updater handles no failure: the first operation that fails ends the
// program with the platform's error report. Every layer therefore reports a
// failure by throwing act::Error, which carries the run-time error number that
// Windows users of such programs know (53 File not found, 76 Path not found,
// ...) and a text that names the file or statement involved. Only the front
// ends catch it, to print or show the report and end the program.
#pragma once

#include <stdexcept>
#include <string>

namespace act {

// Error numbers of the Visual Basic run time and of the Jet engine that the
// system reports. Jet's own numbers (3000 and up) are used by db/.
enum ErrorNumber : int {
  kErrOverflow = 6,
  kErrOutOfMemory = 7,
  kErrBadFileNameOrNumber = 52,
  kErrFileNotFound = 53,
  kErrBadFileMode = 54,
  kErrFileAlreadyOpen = 55,
  kErrDeviceIO = 57,
  kErrFileAlreadyExists = 58,
  kErrDiskFull = 61,
  kErrInputPastEnd = 62,
  kErrTooManyFiles = 67,
  kErrDeviceUnavailable = 68,
  kErrPermissionDenied = 70,
  kErrDiskNotReady = 71,
  kErrPathFileAccess = 75,
  kErrPathNotFound = 76,
  kErrInvalidProcedureCall = 5,
  kErrTypeMismatch = 13,
  kErrInternal = 51,
};

// The standard text of a run-time error number ("File not found", ...), or
// "Application-defined or object-defined error" for numbers it does not know.
const char* ErrorText(int number);

class Error : public std::runtime_error {
 public:
  // what() is the full report: "<text>: <detail>" (detail names the file,
  // the page or the statement), or just the text when detail is empty.
  Error(int number, std::string detail);
  Error(int number, std::string text, std::string detail);

  int number() const { return number_; }
  const std::string& text() const { return text_; }
  const std::string& detail() const { return detail_; }

 private:
  int number_;
  std::string text_;
  std::string detail_;
};

// The report of any failure a front end catches: an act::Error as it is,
// running out of memory as 7, and anything else the C++ library throws as
// 51 Internal error with its own text.
Error AsError(const std::exception& e);

}  // namespace act
