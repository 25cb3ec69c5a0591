#include "cim_status.h"

namespace wbem::remote {

HResult codeForCimStatus(unsigned status) {
    switch (status) {
        case 1:
            return hr::Failed;
        case 2:
            return hr::AccessDenied;
        case 3:
            return hr::InvalidNamespace;
        case 4:
            return hr::InvalidParameter;
        case 5:
            return hr::InvalidClass;
        case 6:
            return hr::NotFound;
        case 7:
            return hr::NotSupported;
        case 11:
            return hr::AlreadyExists;
        case 13:
            return hr::TypeMismatch;
        case 14:
            return hr::InvalidQueryType;
        case 15:
            return hr::InvalidQuery;
        case 16:
            return hr::MethodNotImplemented;
        case 17:
            return hr::InvalidMethod;
        default:
            return 0;
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
