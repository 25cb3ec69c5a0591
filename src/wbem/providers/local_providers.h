// The live providers of the local machine.
#pragma once

#include "../repository/repository.h"

namespace wbem {

// Registers a provider for every class with live instances in the
// namespaces the transaction holds (root\cimv2, root\WMI, ...). Classes that
// are missing from the schema are skipped; the schema decides what exists.
void installLocalProviders(Repository::Transaction& tx);

}  // namespace wbem
