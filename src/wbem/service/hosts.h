// The hosts the embedded service answers for: the local machine, and
// in-process test hosts with their own repository and credentials.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "wbem/repository/repository.h"

namespace wbem {

// ".", "localhost", this machine's host names and addresses, 127.x.x.x, ::1.
bool isLocalHost(std::string_view host);

// This machine's name as WMI reports it in __SERVER (upper case).
const std::string& localServerName();

// The local machine's repository: our compiled-in schema with the live
// providers, built on first use. Throws WbemError when the schema fails to load.
std::shared_ptr<Repository> localRepository();

// A repository holding root with the system classes and an empty root\cimv2.
std::shared_ptr<Repository> newRepository();

// Compiles a MOF file into `nspace` (created when missing), replacing classes
// of the same name; all or nothing.
void compileMofFile(Repository& repo, const std::string& path, std::string_view nspace);

// --- Test seam ---------------------------------------------------------------
// A host that answers only inside this process. Connections must give exactly
// this user (ignoring case) and password, else they fail with Access denied.
void registerTestHost(const std::string& name, std::shared_ptr<Repository> repo,
                      const std::string& user = {}, const std::string& password = {});
// The same, with a fresh repository (see newRepository) filled from MOF text
// whose default namespace is root\cimv2. Returns the repository.
std::shared_ptr<Repository> registerTestHost(const std::string& name, std::string_view mofText,
                                             const std::string& user = {},
                                             const std::string& password = {});
void unregisterTestHost(const std::string& name);
// When false, CreateLocator fails with 0x80040154 as on a system without the
// scripting component.
void setLocatorAvailable(bool available);

struct HostEntry {
    std::shared_ptr<Repository> repository;
    std::string serverName;
    std::string user;
    std::string password;
    bool local = false;
};

// The entry for a host, or null when nothing answers there.
std::shared_ptr<const HostEntry> findHost(std::string_view host);
bool locatorAvailable();

}  // namespace wbem
