// A MOF compile failure with the place in the source it was found.
#pragma once

#include <string>

#include "../errors.h"

namespace wbem::mof {

class MofError : public WbemError {
  public:
    // what() is "FILE(LINE,COLUMN): MESSAGE", or "FILE: MESSAGE" when line is 0
    // (a file that cannot be read at all).
    MofError(std::string file, int line, int column, std::string message,
             HResult code = hr::Failed);

    const std::string& file() const { return file_; }
    int line() const { return line_; }
    int column() const { return column_; }
    // The message without the position.
    const std::string& message() const { return message_; }

  private:
    std::string file_;
    int line_;
    int column_;
    std::string message_;
};

}  // namespace wbem::mof
