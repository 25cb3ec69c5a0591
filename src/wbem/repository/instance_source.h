// Instances of a class as a query sees them: the class's own and those of its
// subclasses, static ones from MOF and live ones from providers.
#pragma once

#include <memory>
#include <string_view>

#include "object_path.h"
#include "provider.h"
#include "repository.h"

namespace wbem {

// Opens the walk; instances are produced as the cursor is advanced. The class
// must exist (callers check it first). `__NAMESPACE` instances are the child
// namespaces of `ns`. The snapshot is kept alive by the cursor.
std::unique_ptr<InstanceCursor> openInstances(std::shared_ptr<const RepositoryState> repo,
                                              const NamespaceState& ns,
                                              std::string_view className,
                                              const QueryHints& hints = {});

// The instance a path names (its class, or a subclass, with those key values),
// or null. Throws WbemError InvalidClass when the path's class does not exist.
std::shared_ptr<const Instance> findInstance(std::shared_ptr<const RepositoryState> repo,
                                             const NamespaceState& ns, const ObjectPath& path);

}  // namespace wbem
