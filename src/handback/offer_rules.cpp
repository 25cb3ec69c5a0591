#include "handback/offer_rules.h"

#include "wbem/text.h"

namespace handback {

bool ShouldOfferQuery(int32_t caller, std::string_view query, std::string_view commandLineQuery) {
    return caller != 0 && !query.empty() && query != commandLineQuery;
}

bool ShouldWarnAboutStar(std::string_view query, bool resultHasColumns) {
    if (!resultHasColumns) return false;
    const size_t star = query.find('*');
    if (star == std::string_view::npos) return false;
    return wbem::lowered(wbem::trimmed(query.substr(0, star))) == "select";
}

}  // namespace handback
