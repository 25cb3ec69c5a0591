#include "mof_error.h"

namespace wbem::mof {

namespace {

std::string formatted(const std::string& file, int line, int column, const std::string& message) {
    if (line <= 0) return file + ": " + message;
    return file + "(" + std::to_string(line) + "," + std::to_string(column) + "): " + message;
}

}  // namespace

MofError::MofError(std::string file, int line, int column, std::string message, HResult code)
    : WbemError(code, formatted(file, line, column, message)),
      file_(std::move(file)),
      line_(line),
      column_(column),
      message_(std::move(message)) {}

}  // namespace wbem::mof
