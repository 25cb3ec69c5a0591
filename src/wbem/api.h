// The WMI scripting object model: locator, services, object sets with their
// enumerators, objects, properties and methods. Abstract, so that back ends
// other than the embedded service can stand behind the same calls.
//
// Calls throw WbemError on failure, except an enumerator's Next and Reset,
// which return a status code as their COM counterparts do.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "errors.h"
#include "repository/cim_value.h"
#include "variant.h"

namespace wbem {

// Flags of the scripting API that callers pass.
namespace flags {
inline constexpr int32_t ReturnImmediately = 16;
inline constexpr int32_t ForwardOnly = 32;
inline constexpr int32_t ConnectUseMaxWait = 128;
}  // namespace flags

// Base of everything an enumerator can deliver; callers ask an element for the
// interface they want with std::dynamic_pointer_cast, as COM callers ask
// QueryInterface.
class IDispatchLike {
  public:
    virtual ~IDispatchLike() = default;
};

using ElementPtr = std::shared_ptr<IDispatchLike>;

class IEnumVariant {
  public:
    virtual ~IEnumVariant() = default;
    // Ok with an element; False (and no element) at the end; a failure code
    // when the walk broke down.
    virtual HResult Next(ElementPtr& element) = 0;
    // Ok when the next Next starts at the first element again;
    // InvalidOperation for a forward-only set.
    virtual HResult Reset() = 0;
};

class ISWbemObject;
class ISWbemProperty;
class ISWbemMethod;
class ISWbemQualifierSet;

// The set a back end hands out where it knows no qualifiers.
std::shared_ptr<ISWbemQualifierSet> emptyQualifierSet();

class ISWbemObjectSet : public IDispatchLike {
  public:
    virtual std::unique_ptr<IEnumVariant> NewEnum() = 0;
    // Number of objects; a forward-only set throws InvalidOperation.
    virtual int32_t Count() = 0;
};

// A qualifier of a class, instance, property or method, with its flavors.
class ISWbemQualifier : public IDispatchLike {
  public:
    virtual std::string Name() const = 0;
    virtual Variant Value() const = 0;
    // False when the qualifier reached its element from a superclass or, on
    // an instance, from the class.
    virtual bool IsLocal() const = 0;
    virtual bool PropagatesToSubclass() const = 0;
    virtual bool PropagatesToInstance() const = 0;
    virtual bool IsOverridable() const = 0;
    virtual bool IsAmended() const = 0;
};

class ISWbemQualifierSet : public IDispatchLike {
  public:
    virtual std::unique_ptr<IEnumVariant> NewEnum() = 0;
    // Ignores case; throws NotFound.
    virtual std::shared_ptr<ISWbemQualifier> Item(std::string_view name, int32_t flags = 0) = 0;
    virtual int32_t Count() = 0;
};

class ISWbemProperty : public IDispatchLike {
  public:
    virtual std::string Name() const = 0;
    virtual Variant Value() const = 0;
    virtual CimType CIMType() const = 0;
    virtual bool IsArray() const = 0;
    virtual std::string Origin() const = 0;
    virtual bool IsLocal() const = 0;
    // Besides the declared ones, CIMTYPE names the type ("uint32", "ref:Class").
    virtual std::shared_ptr<ISWbemQualifierSet> Qualifiers_() { return emptyQualifierSet(); }
};

class ISWbemPropertySet : public IDispatchLike {
  public:
    virtual std::unique_ptr<IEnumVariant> NewEnum() = 0;
    // Ignores case; throws NotFound.
    virtual std::shared_ptr<ISWbemProperty> Item(std::string_view name, int32_t flags = 0) = 0;
    virtual int32_t Count() = 0;
};

class ISWbemMethod : public IDispatchLike {
  public:
    virtual std::string Name() const = 0;
    virtual std::string Origin() const = 0;
    // The parameter objects, or null when there are none.
    virtual std::shared_ptr<ISWbemObject> InParameters() const = 0;
    virtual std::shared_ptr<ISWbemObject> OutParameters() const = 0;
    virtual std::shared_ptr<ISWbemQualifierSet> Qualifiers_() { return emptyQualifierSet(); }
};

class ISWbemMethodSet : public IDispatchLike {
  public:
    virtual std::unique_ptr<IEnumVariant> NewEnum() = 0;
    virtual std::shared_ptr<ISWbemMethod> Item(std::string_view name, int32_t flags = 0) = 0;
    virtual int32_t Count() = 0;
};

class ISWbemObjectPath : public IDispatchLike {
  public:
    virtual std::string Class() const = 0;
    virtual std::string RelPath() const = 0;
    virtual std::string Path() const = 0;
    virtual std::string Namespace() const = 0;
    virtual std::string Server() const = 0;
    virtual bool IsClass() const = 0;
    virtual bool IsSingleton() const = 0;
};

class ISWbemObject : public IDispatchLike {
  public:
    virtual std::shared_ptr<ISWbemObjectPath> Path_() = 0;
    virtual std::shared_ptr<ISWbemPropertySet> Properties_() = 0;
    virtual std::shared_ptr<ISWbemPropertySet> SystemProperties_() = 0;
    virtual std::shared_ptr<ISWbemMethodSet> Methods_() = 0;
    virtual std::shared_ptr<ISWbemObjectSet> Instances_(int32_t flags = 0) = 0;
    virtual std::shared_ptr<ISWbemObjectSet> Subclasses_(int32_t flags = 0) = 0;
    virtual std::string GetObjectText_(int32_t flags = 0) = 0;
    // A class's qualifiers; an instance's are those its class passes to instances.
    virtual std::shared_ptr<ISWbemQualifierSet> Qualifiers_() { return emptyQualifierSet(); }
};

class ISWbemServices : public IDispatchLike {
  public:
    virtual std::shared_ptr<ISWbemObjectSet> SubclassesOf(std::string_view superclass = {},
                                                          int32_t flags = 0) = 0;
    // A class name or an object path.
    virtual std::shared_ptr<ISWbemObject> Get(std::string_view path, int32_t flags = 0) = 0;
    virtual std::shared_ptr<ISWbemObjectSet> InstancesOf(std::string_view className,
                                                         int32_t flags = 0) = 0;
    virtual std::shared_ptr<ISWbemObjectSet> ExecQuery(std::string_view query,
                                                       std::string_view language = "WQL",
                                                       int32_t flags = 0) = 0;
    // Calls a method of the class or object a path names, with in-parameters
    // given as text; returns its out-parameters object (ReturnValue and the
    // out-parameters). A back end without method providers throws NotSupported.
    virtual std::shared_ptr<ISWbemObject> ExecMethod(
        std::string_view objectPath, std::string_view method,
        const std::vector<std::pair<std::string, std::string>>& inParameters) {
        (void)objectPath, (void)method, (void)inParameters;
        fail(hr::NotSupported);
    }
};

class ISWbemSecurity : public IDispatchLike {
  public:
    virtual int32_t AuthenticationLevel() const = 0;
    // 0 to 6; anything else throws InvalidParameter.
    virtual void SetAuthenticationLevel(int32_t level) = 0;
    virtual int32_t ImpersonationLevel() const = 0;
};

class ISWbemLocator : public IDispatchLike {
  public:
    virtual ISWbemSecurity& Security_() = 0;
    virtual std::shared_ptr<ISWbemServices> ConnectServer(
        std::string_view server = {}, std::string_view nspace = {}, std::string_view user = {},
        std::string_view password = {}, std::string_view locale = {},
        std::string_view authority = {}, int32_t securityFlags = 0,
        const IDispatchLike* context = nullptr) = 0;
};

// A new locator of the embedded service. Throws WbemError(ClassNotRegistered)
// when the service cannot be created (its compiled-in schema failed to load).
std::shared_ptr<ISWbemLocator> CreateLocator();

}  // namespace wbem
