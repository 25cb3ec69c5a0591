// The MOF reader: compiles MOF text (DMTF DSP0221 as Microsoft's mofcomp
// accepts it) into a repository transaction.
//
// The whole input, includes and all, is read and parsed before anything is
// applied. On any failure a MofError (a WbemError) is thrown with the file,
// line and column; the caller then drops the transaction, so a bad file never
// leaves anything half-loaded.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "../repository/repository.h"
#include "mof_error.h"

namespace wbem::mof {

// The text of a file, or nullopt when it cannot be read.
using FileLoader = std::function<std::optional<std::string>(const std::string& path)>;

// Reads files from the file system.
FileLoader diskLoader();

struct Options {
    std::string defaultNamespace = "root\\cimv2";
    FileLoader loader;  // null: diskLoader()
};

// Compiles the file at `path`; includes are found relative to the including file.
void compileFile(Repository::Transaction& tx, const std::string& path, const Options& = {});

// Compiles `text`, reported in messages as `name`; includes are found relative
// to the folder part of `name`.
void compileText(Repository::Transaction& tx, std::string_view text, const std::string& name,
                 const Options& = {});

}  // namespace wbem::mof
