// One CIM-XML connection to one namespace of one WBEM server: the HTTP
// client with its kept-alive connection and credentials, the class
// definitions already fetched (per session), and the operations the
// services are built from. Safe to share between threads; one exchange runs
// at a time.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "endpoint.h"
#include "messages.h"
#include "wbem/remote/http/http_client.h"
#include "wbem/repository/class_def.h"
#include "wbem/repository/instance.h"
#include "wbem/repository/object_path.h"

namespace wbem::cimxml {

class Session;

// Instances arriving one batch at a time: a pull enumeration (Open, then
// PullInstancesWithPath) or the whole reply of an older operation. Dropping
// it before the end closes the enumeration on the server.
class InstanceStream {
  public:
    // An open pull enumeration whose first batch is `first`.
    InstanceStream(std::shared_ptr<Session> session, std::string nspace, Response first);
    ~InstanceStream();
    InstanceStream(const InstanceStream&) = delete;
    InstanceStream& operator=(const InstanceStream&) = delete;

    // The next instance, or null at the end. Throws WbemError.
    std::shared_ptr<const Instance> next();

  private:
    void take(Response r);

    std::shared_ptr<Session> session_;
    std::string nspace_;
    std::optional<Response> batch_;
    std::vector<const xmlNode*> items_;
    size_t pos_ = 0;
    std::string context_;
    bool ended_ = true;
};

class Session : public std::enable_shared_from_this<Session> {
  public:
    // Nothing is sent yet; `nspace` as the user wrote it ("root\cimv2").
    Session(Endpoint endpoint, http::ClientOptions options, std::string nspace);

    const std::string& nspace() const { return nspace_; }  // root\cimv2
    std::string serverName() const { return endpoint_.serverName(); }
    const Endpoint& endpoint() const { return endpoint_; }

    // One intrinsic operation in `nspace` (this session's when empty).
    Response call(std::string_view method, const std::vector<Param>& params,
                  std::string_view nspace = {});

    // The class names of the namespace (EnumerateClassNames): every one, or
    // the top-level ones only.
    std::vector<std::string> classNames(bool deep = true);
    // Every class of the namespace in one EnumerateClasses, derivations
    // filled in; kept in the class cache.
    std::vector<std::shared_ptr<const ClassDef>> allClasses();
    // The class's definition (GetClass with qualifiers and class origins,
    // inherited members included), fetched once per session, its derivation
    // filled in from its superclasses. Throws what the server reports.
    std::shared_ptr<const ClassDef> classDef(std::string_view name);
    // The same, or null when the server does not have it.
    std::shared_ptr<const ClassDef> classDefIfAny(std::string_view name);

    // The instances of a class and its subclasses: a pull enumeration where
    // the server has them, else EnumerateInstances.
    std::unique_ptr<InstanceStream> instances(std::string_view className,
                                              std::string_view nspace = {});
    // ExecQuery in WQL; nullopt when the server does not take WQL (then
    // never asked again in this session).
    std::optional<std::vector<std::shared_ptr<const Instance>>> serverQuery(std::string_view wql);
    std::shared_ptr<const Instance> getInstance(const ObjectPath& path);
    // Associators (or References) of an instance path; the ASSOCIATORS OF
    // keywords as parameters.
    std::vector<std::shared_ptr<const Instance>> associated(bool references, const ObjectPath& path,
                                                            const std::vector<Param>& filters);
    // Class objects of Associators/References of a class (ClassDefsOnly, or a class path).
    std::vector<std::shared_ptr<const ClassDef>> associatedClasses(
        bool references, const ObjectPath& path, const std::vector<Param>& filters);
    // The server's namespaces with '/' ("root/cimv2"), from its interop
    // namespace's CIM_Namespace (or __Namespace) instances.
    std::vector<std::string> namespaces();
    // InvokeMethod; the out-parameters as an instance of METHOD_OUTPUT
    // (ReturnValue first, then the output parameters).
    std::shared_ptr<const Instance> invoke(
        const ObjectPath& path, std::string_view method,
        const std::vector<std::pair<std::string, std::string>>& in);

    // Instances of a reply: VALUE.NAMEDINSTANCE, VALUE.INSTANCEWITHPATH,
    // VALUE.OBJECTWITHPATH holding an instance, or INSTANCE. Typed by the
    // classes this session knows; keys marked from the path when not.
    std::shared_ptr<const Instance> readObject(const xmlNode* item);

    void cancel() { client_.cancel(); }
    uint32_t maxObjectCount() const { return 100; }

  private:
    unsigned nextId();
    [[noreturn]] void unreadable(const xml::XmlError& e) const;

    Endpoint endpoint_;
    std::string nspace_;
    std::mutex mutex_;  // one exchange at a time on the one connection
    http::Client client_;
    unsigned id_ = 0;

    std::mutex cacheMutex_;
    std::unordered_map<std::string, std::shared_ptr<const ClassDef>, IHash, IEqual> classes_;
    std::unordered_map<std::string, bool, IHash, IEqual> missing_;
    bool noPull_ = false;
    bool noQuery_ = false;
};

}  // namespace wbem::cimxml
