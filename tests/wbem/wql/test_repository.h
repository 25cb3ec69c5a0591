// A small repository for the WQL tests, built in code:
//
//   Base (key Name; Value sint32, Big uint64, Small sint64, Ratio real64,
//         Enabled boolean, When datetime, Tags string[], Note string)
//     Derived (+ Extra string)
//   Other [Special] (key Id uint32)
//   Holder (key Id uint32; Ref ref Base, Emb object)
//   Link [Association] (key Owner ref Base, key Item ref Other; Label string)
//     StrongLink [Aggregation]
//   Peer [Association] (key Left ref Base, key Right ref Base; Label string)
//
// Instances: Base alpha, Beta; Derived gamma_7; Other 1, 2, 3; Holder 1, 2;
// Link L1 (alpha-1), L2 (alpha-2); StrongLink S1 (Beta-3), S2 (alpha-1);
// Peer P1 (alpha-Beta), P2 (Beta-gamma_7, named through its base class).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "wbem/repository/repository.h"
#include "wbem/wql/wql.h"

namespace wbem::wql::test {

inline constexpr const char* kNs = "root\\test";

PropertyDef prop(const std::string& name, CimType type, bool key = false, bool array = false,
                 const std::string& refClass = {});
std::shared_ptr<ClassDef> classDef(const std::string& name, const std::string& super,
                                   std::vector<PropertyDef> props);
Qualifier flag(const std::string& name);

std::shared_ptr<Repository> sampleRepository();

// Runs a query in kNs of the repository.
std::vector<ResultObject> run(const std::shared_ptr<Repository>& repo, const std::string& query);

// Results as one line: class objects as "class:Name", instances by their
// Label when they have one, else by their first key's value; space-separated
// in result order.
std::string show(const std::vector<ResultObject>& results);

// A query and show() of its expected result.
struct QueryCase {
    const char* query;
    const char* expected;
};
// Runs each case and checks its result; a refused query fails the test with
// its diagnostic.
void expectAll(const std::shared_ptr<Repository>& repo, const std::vector<QueryCase>& cases);

// The HRESULT a query fails with, or 0 when it succeeds.
HResult errorOf(const std::shared_ptr<Repository>& repo, const std::string& query);

}  // namespace wbem::wql::test
