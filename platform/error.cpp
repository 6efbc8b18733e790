#include "platform/error.h"

#include <new>

namespace act {

const char* ErrorText(int number) {
  switch (number) {
    case kErrInvalidProcedureCall: return "Invalid procedure call or argument";
    case kErrOverflow: return "Overflow";
    case kErrOutOfMemory: return "Out of memory";
    case kErrTypeMismatch: return "Type mismatch";
    case kErrInternal: return "Internal error";
    case kErrBadFileNameOrNumber: return "Bad file name or number";
    case kErrFileNotFound: return "File not found";
    case kErrBadFileMode: return "Bad file mode";
    case kErrFileAlreadyOpen: return "File already open";
    case kErrDeviceIO: return "Device I/O error";
    case kErrFileAlreadyExists: return "File already exists";
    case kErrDiskFull: return "Disk full";
    case kErrInputPastEnd: return "Input past end of file";
    case kErrTooManyFiles: return "Too many files";
    case kErrDeviceUnavailable: return "Device unavailable";
    case kErrPermissionDenied: return "Permission denied";
    case kErrDiskNotReady: return "Disk not ready";
    case kErrPathFileAccess: return "Path/File access error";
    case kErrPathNotFound: return "Path not found";
    default: return "Application-defined or object-defined error";
  }
}

static std::string Compose(const std::string& text, const std::string& detail) {
  return detail.empty() ? text : text + ": " + detail;
}

Error::Error(int number, std::string detail)
    : Error(number, ErrorText(number), std::move(detail)) {}

Error::Error(int number, std::string text, std::string detail)
    : std::runtime_error(Compose(text, detail)),
      number_(number),
      text_(std::move(text)),
      detail_(std::move(detail)) {}

Error AsError(const std::exception& e) {
  if (auto* error = dynamic_cast<const Error*>(&e)) return *error;
  if (dynamic_cast<const std::bad_alloc*>(&e)) return Error(kErrOutOfMemory, "");
  return Error(kErrInternal, e.what());
}

}  // namespace act
