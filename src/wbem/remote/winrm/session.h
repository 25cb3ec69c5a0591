// One WinRM connection to one namespace of one host: the transport with its
// kept-alive connection and credentials, the class definitions already
// fetched, and the WS-Management operations the services are built from.
// Safe to share between threads; one exchange runs at a time.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "soap.h"
#include "transport.h"
#include "wbem/repository/object_path.h"
#include "wsman_objects.h"

namespace wbem::winrm {

class Session;

// A query or class listing in progress: objects arrive one Pull batch at a
// time. Dropping it before the end releases the enumeration on the server.
class Enumeration {
  public:
    Enumeration(std::shared_ptr<Session> session, std::string resourceUri, Reply first);
    ~Enumeration();
    Enumeration(const Enumeration&) = delete;
    Enumeration& operator=(const Enumeration&) = delete;

    // The next object, or nullopt at the end. Throws WbemError.
    std::optional<WsmanObject> next();
    // For class listings: the next CLASS element as a definition.
    std::shared_ptr<const ClassDef> nextClass();

  private:
    // The next item element of the batch in hand, pulling the next batch
    // when it is used up; null at the end. `epr` gets its endpoint reference.
    const xmlNode* nextItem(const xmlNode** epr);
    void take(Reply reply, bool pulled);

    std::shared_ptr<Session> session_;
    std::string resourceUri_;
    Reply batch_;
    const xmlNode* cursor_ = nullptr;  // the next child of Items to look at
    std::string context_;
    bool ended_ = false;
    ObjectReader reader_;
};

class Session : public std::enable_shared_from_this<Session> {
  public:
    // Nothing is sent yet; `nspace` as the user wrote it ("root\cimv2").
    Session(Endpoint endpoint, TransportOptions options, std::string nspace);

    // Identify: tells a WS-Management service from anything else. Returns
    // its product vendor and version ("Microsoft Corporation OS: 10.0...").
    std::string identify();

    const std::string& nspace() const { return nspace_; }
    std::string serverName() const { return endpoint_.serverName(); }

    // The class's definition, fetched once per session. Throws NotFound for a
    // class the server does not know, NotSupported when the server publishes
    // no class definitions.
    std::shared_ptr<const ClassDef> classDef(std::string_view name);
    // The same, or null when the class cannot be had (used to type objects).
    std::shared_ptr<const ClassDef> classDefIfAny(std::string_view name);
    // Every class of the namespace, without qualifiers.
    std::unique_ptr<Enumeration> enumerateClasses();

    // Starts a WQL query; the first batch is in hand when this returns, so a
    // bad query or class fails here.
    std::unique_ptr<Enumeration> query(std::string_view wql);
    // One object by its path (class and keys).
    WsmanObject get(const ObjectPath& path);
    // A method of a class (static) or of the object `path` names; returns
    // the method's out-parameters object (ReturnValue and out parameters).
    WsmanObject invoke(const ObjectPath& path, std::string_view method,
                       const std::vector<std::pair<std::string, std::string>>& inParameters);

    // One exchange: builds the request, posts it, reads the reply.
    Reply call(RequestHeader header, std::string_view body);
    RequestHeader header(std::string resourceUri, std::string_view action) const;
    std::string wmiResource(std::string_view className) const;
    ObjectReader newReader();

    int maxElements() const { return 100; }

  private:
    // The out-parameters object's class of `method`, a method of `cls`:
    // built once per method and kept with the session.
    std::shared_ptr<const ClassDef> outParametersClass(const std::shared_ptr<const ClassDef>& cls,
                                                       const MethodDef& method);
    std::string namespaceWithSlashes() const;
    [[noreturn]] void noMetadata() const;

    Endpoint endpoint_;
    std::string nspace_;
    std::mutex mutex_;  // one exchange at a time on the one connection
    Transport transport_;
    int operationTimeoutSeconds_;

    std::mutex cacheMutex_;
    std::unordered_map<std::string, std::shared_ptr<const ClassDef>, IHash, IEqual> classes_;
    std::unordered_set<std::string, IHash, IEqual> missing_;  // classes the server does not know
    // By the method's declaration, which its class (held here) keeps at one
    // address for as long as it lives.
    struct OutParameters {
        std::shared_ptr<const ClassDef> owner;
        std::shared_ptr<const ClassDef> outParameters;
    };
    std::unordered_map<const MethodDef*, OutParameters> outClasses_;
    bool noMetadata_ = false;
    std::string noMetadataReason_;
};

}  // namespace wbem::winrm
