#include "cim_status.h"

namespace wbem::remote {

namespace {

struct StatusCode {
    unsigned status;
    HResult code;
};

// Both directions read this one table.
constexpr StatusCode kStatusCodes[] = {
    {1, hr::Failed},           {2, hr::AccessDenied},
    {3, hr::InvalidNamespace}, {4, hr::InvalidParameter},
    {5, hr::InvalidClass},     {6, hr::NotFound},
    {7, hr::NotSupported},     {11, hr::AlreadyExists},
    {13, hr::TypeMismatch},    {14, hr::InvalidQueryType},
    {15, hr::InvalidQuery},    {16, hr::MethodNotImplemented},
    {17, hr::InvalidMethod},
};

}  // namespace

HResult codeForCimStatus(unsigned status) {
    for (const auto& e : kStatusCodes)
        if (e.status == status) return e.code;
    return 0;
}

unsigned cimStatusForCode(HResult code) {
    for (const auto& e : kStatusCodes)
        if (e.code == code) return e.status;
    switch (code) {
        case hr::AccessDeniedSystem:
            return 2;
        case hr::InvalidSuperclass:
            return 10;
        case hr::InvalidObject:
        case hr::InvalidOperation:
            return 4;
        default:
            return 1;
    }
}

std::string_view cimStatusName(unsigned status) {
    static constexpr std::string_view names[] = {
        "",
        "CIM_ERR_FAILED",
        "CIM_ERR_ACCESS_DENIED",
        "CIM_ERR_INVALID_NAMESPACE",
        "CIM_ERR_INVALID_PARAMETER",
        "CIM_ERR_INVALID_CLASS",
        "CIM_ERR_NOT_FOUND",
        "CIM_ERR_NOT_SUPPORTED",
        "CIM_ERR_CLASS_HAS_CHILDREN",
        "CIM_ERR_CLASS_HAS_INSTANCES",
        "CIM_ERR_INVALID_SUPERCLASS",
        "CIM_ERR_ALREADY_EXISTS",
        "CIM_ERR_NO_SUCH_PROPERTY",
        "CIM_ERR_TYPE_MISMATCH",
        "CIM_ERR_QUERY_LANGUAGE_NOT_SUPPORTED",
        "CIM_ERR_INVALID_QUERY",
        "CIM_ERR_METHOD_NOT_AVAILABLE",
        "CIM_ERR_METHOD_NOT_FOUND",
        "",
        "",
        "CIM_ERR_NAMESPACE_NOT_EMPTY",
        "CIM_ERR_INVALID_ENUMERATION_CONTEXT",
        "CIM_ERR_INVALID_OPERATION_TIMEOUT",
        "CIM_ERR_PULL_HAS_BEEN_ABANDONED",
        "CIM_ERR_PULL_CANNOT_BE_ABANDONED",
        "CIM_ERR_FILTERED_ENUMERATION_NOT_SUPPORTED",
        "CIM_ERR_CONTINUATION_ON_ERROR_NOT_SUPPORTED",
        "CIM_ERR_SERVER_LIMITS_EXCEEDED",
        "CIM_ERR_SERVER_IS_SHUTTING_DOWN",
    };
    return status < std::size(names) ? names[status] : std::string_view{};
}

}  // namespace wbem::remote
