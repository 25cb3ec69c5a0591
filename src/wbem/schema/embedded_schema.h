// The MOF files of our own schema, compiled into the program. The entry file
// is "cimscope.mof"; it includes the others in the order they must load.
#pragma once

#include <span>
#include <string_view>

namespace wbem {

struct EmbeddedFile {
    std::string_view name;
    std::string_view text;
};

std::span<const EmbeddedFile> embeddedSchemaFiles();

}  // namespace wbem
