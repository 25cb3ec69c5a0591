#include "wsman_objects.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <unordered_map>

#include "soap.h"
#include "wbem/repository/object_path.h"
#include "wbem/text.h"

namespace wbem::winrm {

namespace {

constexpr int maxNesting = 8;
constexpr size_t maxProperties = 10000;

using PropertyElements = std::vector<std::pair<std::string_view, std::vector<const xmlNode*>>>;

bool isNil(const xmlNode* e) {
    auto v = xml::attribute(e, "nil");
    return v && (*v == "true" || *v == "1");
}

enum class Shape { Text, Datetime, Interval, Date, Time, Reference, Object };

// What a property element holds; `inner` receives the element that carries
// a reference's parts.
Shape shapeOf(const xmlNode* e, const xmlNode** inner = nullptr) {
    const xmlNode* c = xml::firstChild(e);
    if (!c) return Shape::Text;
    const std::string_view name = xml::localName(c);
    if (xml::namespaceUri(c) == ns::cimCommon) {
        if (name == "Datetime") return Shape::Datetime;
        if (name == "Interval") return Shape::Interval;
        if (name == "Date") return Shape::Date;
        if (name == "Time") return Shape::Time;
    }
    if (name == "Address" || name == "ReferenceParameters") {
        if (inner) *inner = e;
        return Shape::Reference;
    }
    if (name == "EndpointReference") {
        if (inner) *inner = c;
        return Shape::Reference;
    }
    return Shape::Object;
}

PropertyElements group(const xmlNode* object) {
    PropertyElements props;
    std::unordered_map<std::string_view, size_t> index;
    for (const xmlNode* c : xml::children(object)) {
        const std::string_view name = xml::localName(c);
        auto [it, added] = index.try_emplace(name, props.size());
        if (added) {
            if (props.size() >= maxProperties)
                throw xml::XmlError("an object has more than " + std::to_string(maxProperties) +
                                    " properties");
            props.emplace_back(name, std::vector<const xmlNode*>{});
        }
        props[it->second].second.push_back(c);
    }
    return props;
}

std::vector<std::pair<std::string, std::string>> selectorsOf(const xmlNode* epr,
                                                             std::string* resourceUri) {
    std::vector<std::pair<std::string, std::string>> out;
    const xmlNode* params = xml::firstChild(epr, "ReferenceParameters");
    if (!params) return out;
    if (resourceUri)
        if (const xmlNode* r = xml::firstChild(params, "ResourceURI"))
            *resourceUri = std::string(trimmed(xml::text(r)));
    if (const xmlNode* set = xml::firstChild(params, "SelectorSet"))
        for (const xmlNode* s : xml::children(set, "Selector"))
            out.emplace_back(xml::attribute(s, "Name").value_or(""), xml::text(s));
    return out;
}

bool digits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Reads the digits of s[pos, pos+n) as a number; -1 when they are not digits.
int field(std::string_view s, size_t pos, size_t n) {
    if (pos + n > s.size() || !digits(s.substr(pos, n))) return -1;
    int v = 0;
    for (size_t i = 0; i < n; ++i) v = v * 10 + (s[pos + i] - '0');
    return v;
}

// "+HH:MM", "-HH:MM", "Z" or nothing at s[pos...]: minutes east of UTC.
std::optional<int> offsetAt(std::string_view s, size_t pos) {
    if (pos == s.size() || (s.size() - pos == 1 && (s[pos] == 'Z' || s[pos] == 'z'))) return 0;
    if (s.size() - pos != 6 || (s[pos] != '+' && s[pos] != '-') || s[pos + 3] != ':')
        return std::nullopt;
    const int h = field(s, pos + 1, 2), m = field(s, pos + 4, 2);
    if (h < 0 || m < 0 || h > 23 || m > 59) return std::nullopt;
    return (s[pos] == '-' ? -1 : 1) * (h * 60 + m);
}

// ".ddd" at s[pos...]: microseconds, advancing pos; 0 when absent.
std::optional<int> fractionAt(std::string_view s, size_t& pos) {
    if (pos >= s.size() || s[pos] != '.') return 0;
    ++pos;
    int micro = 0, n = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
        if (n < 6) micro = micro * 10 + (s[pos] - '0');
        ++n, ++pos;
    }
    if (n == 0) return std::nullopt;
    for (; n < 6; ++n) micro *= 10;
    return micro;
}

std::string formatOffset(int minutes) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%c%03d", minutes < 0 ? '-' : '+', std::abs(minutes) % 1000);
    return buf;
}

std::optional<std::string> cimDateFromIso(std::string_view s) {
    s = trimmed(s);
    const int y = field(s, 0, 4), mo = field(s, 5, 2), d = field(s, 8, 2);
    if (y < 0 || mo < 1 || mo > 12 || d < 1 || d > 31 || s[4] != '-' || s[7] != '-')
        return std::nullopt;
    auto off = offsetAt(s, 10);
    if (!off) return std::nullopt;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d******.******%s", y, mo, d,
                  formatOffset(*off).c_str());
    return std::string(buf);
}

std::optional<std::string> cimTimeFromIso(std::string_view s) {
    s = trimmed(s);
    const int h = field(s, 0, 2), mi = field(s, 3, 2), se = field(s, 6, 2);
    if (h < 0 || mi < 0 || se < 0 || s[2] != ':' || s[5] != ':' || h > 23 || mi > 59 || se > 60)
        return std::nullopt;
    size_t pos = 8;
    auto micro = fractionAt(s, pos);
    if (!micro) return std::nullopt;
    auto off = offsetAt(s, pos);
    if (!off) return std::nullopt;
    char buf[32];
    std::snprintf(buf, sizeof buf, "********%02d%02d%02d.%06d%s", h, mi, se, *micro,
                  formatOffset(*off).c_str());
    return std::string(buf);
}

}  // namespace

std::optional<std::string> cimDatetimeFromIso(std::string_view s) {
    s = trimmed(s);
    if (s.size() < 19 || s[4] != '-' || s[7] != '-' || (s[10] != 'T' && s[10] != 't') ||
        s[13] != ':' || s[16] != ':')
        return std::nullopt;
    const int y = field(s, 0, 4), mo = field(s, 5, 2), d = field(s, 8, 2), h = field(s, 11, 2),
              mi = field(s, 14, 2), se = field(s, 17, 2);
    if (y < 0 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 ||
        se < 0 || se > 60)
        return std::nullopt;
    size_t pos = 19;
    auto micro = fractionAt(s, pos);
    if (!micro) return std::nullopt;
    auto off = offsetAt(s, pos);
    if (!off) return std::nullopt;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d.%06d%s", y, mo, d, h, mi, se, *micro,
                  formatOffset(*off).c_str());
    return std::string(buf);
}

std::optional<std::string> cimIntervalFromIso(std::string_view s) {
    s = trimmed(s);
    bool negative = false;
    if (!s.empty() && s[0] == '-') negative = true, s.remove_prefix(1);
    if (s.size() < 2 || s[0] != 'P' || negative) return std::nullopt;
    uint64_t days = 0, hours = 0, minutes = 0, seconds = 0;
    int micro = 0;
    bool inTime = false, any = false;
    size_t pos = 1;
    while (pos < s.size()) {
        if (s[pos] == 'T') {
            if (inTime) return std::nullopt;
            inTime = true, ++pos;
            continue;
        }
        size_t start = pos;
        uint64_t v = 0;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
            if (v > 1000000000000ull) return std::nullopt;
            v = v * 10 + uint64_t(s[pos++] - '0');
        }
        if (pos == start || pos == s.size()) return std::nullopt;
        int frac = 0;
        if (s[pos] == '.') {
            if (!inTime) return std::nullopt;
            auto f = fractionAt(s, pos);
            if (!f || pos == s.size() || s[pos] != 'S') return std::nullopt;
            frac = *f;
        }
        const char unit = s[pos++];
        any = true;
        if (!inTime && unit == 'D')
            days += v;
        else if (!inTime && unit == 'W')
            days += v * 7;
        else if (inTime && unit == 'H')
            hours += v;
        else if (inTime && unit == 'M')
            minutes += v;
        else if (inTime && unit == 'S')
            seconds += v, micro = frac;
        else
            return std::nullopt;  // years and months have no fixed length
    }
    if (!any) return std::nullopt;
    minutes += seconds / 60, seconds %= 60;
    hours += minutes / 60, minutes %= 60;
    days += hours / 24, hours %= 24;
    if (days > 99999999) return std::nullopt;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08llu%02llu%02llu%02llu.%06d:000",
                  static_cast<unsigned long long>(days), static_cast<unsigned long long>(hours),
                  static_cast<unsigned long long>(minutes),
                  static_cast<unsigned long long>(seconds), micro);
    return std::string(buf);
}

ItemParts itemParts(const xmlNode* item) {
    if (xml::localName(item) != "Item") return {item, nullptr};
    ItemParts parts;
    for (const xmlNode* c : xml::children(item)) {
        if (xml::localName(c) == "EndpointReference")
            parts.epr = c;
        else if (!parts.object)
            parts.object = c;
    }
    return parts;
}

ObjectReader::ObjectReader(cimxml::ClassLookup lookup, std::string server)
    : lookup_(std::move(lookup)), server_(std::move(server)) {}

WsmanObject ObjectReader::read(const xmlNode* object, const xmlNode* epr) {
    WsmanObject out;
    out.instance = readInstance(object, epr, &out.projection, &out.partial, 0);
    return out;
}

std::string ObjectReader::referencePath(const xmlNode* epr) const {
    std::string uri;
    auto selectors = selectorsOf(epr, &uri);
    std::string className = uri.substr(uri.rfind('/') + 1);
    std::string nspace;
    std::vector<std::pair<std::string, std::string>> keys;
    for (auto& [name, value] : selectors) {
        if (iequals(name, "__cimnamespace"))
            nspace = value;
        else
            keys.emplace_back(name, value);
    }
    if (nspace.empty() && uri.rfind(resource::wmiBase, 0) == 0) {
        const size_t last = uri.rfind('/');
        if (last > resource::wmiBase.size())
            nspace = uri.substr(resource::wmiBase.size(), last - resource::wmiBase.size());
    }
    std::replace(nspace.begin(), nspace.end(), '/', '\\');
    std::sort(keys.begin(), keys.end(),
              [](const auto& a, const auto& b) { return ILess{}(a.first, b.first); });
    std::string rel = className;
    for (size_t i = 0; i < keys.size(); ++i)
        rel += (i ? "," : ".") + keys[i].first + "=" + pathValue(keys[i].second, true);
    if (nspace.empty()) return rel;
    return fullPath(server_, nspace, rel);
}

CimValue ObjectReader::scalar(const xmlNode* e, CimType type, int depth) {
    if (isNil(e)) return {};
    const xmlNode* inner = nullptr;
    std::optional<std::string> text;
    switch (shapeOf(e, &inner)) {
        case Shape::Datetime:
            text = cimDatetimeFromIso(xml::text(xml::firstChild(e)));
            break;
        case Shape::Interval:
            text = cimIntervalFromIso(xml::text(xml::firstChild(e)));
            break;
        case Shape::Date:
            text = cimDateFromIso(xml::text(xml::firstChild(e)));
            break;
        case Shape::Time:
            text = cimTimeFromIso(xml::text(xml::firstChild(e)));
            break;
        case Shape::Reference:
            if (type != CimType::Reference && type != CimType::String) return {};
            return CimValue::string(referencePath(inner));
        case Shape::Object:
            if (type != CimType::Object) return {};
            return CimValue::object(readInstance(e, nullptr, nullptr, nullptr, depth + 1));
        case Shape::Text:
            try {
                return cimxml::parseScalar(xml::text(e), type);
            } catch (const xml::XmlError&) {
                return {};  // a value that does not fit its declared type shows as null
            }
    }
    if (!text || (type != CimType::DateTime && type != CimType::String)) return {};
    return CimValue::string(std::move(*text));
}

std::shared_ptr<const ClassDef> ObjectReader::synthesize(const std::string& className,
                                                         const PropertyElements& props,
                                                         const std::vector<std::string>& keys) {
    auto inferred = std::make_shared<ClassDef>();
    inferred->name = className;
    auto previous = synthesized_.find(className);
    const ClassDef* old = previous == synthesized_.end() ? nullptr : previous->second.get();
    bool fits = old != nullptr;
    for (const auto& prop : props) {
        const std::string_view name = prop.first;
        const auto& elements = prop.second;
        PropertyDef p;
        p.name = std::string(name);
        p.classOrigin = className;
        p.type.isArray = elements.size() > 1;
        std::optional<CimType> type;
        for (const xmlNode* e : elements) {
            if (isNil(e)) continue;
            switch (shapeOf(e)) {
                case Shape::Datetime:
                case Shape::Interval:
                case Shape::Date:
                case Shape::Time:
                    type = CimType::DateTime;
                    break;
                case Shape::Reference:
                    type = CimType::Reference;
                    break;
                case Shape::Object:
                    type = CimType::Object;
                    break;
                case Shape::Text:
                    type = CimType::String;
                    break;
            }
            break;
        }
        const PropertyDef* before = old ? old->property(name) : nullptr;
        if (!type && before) type = before->type.type;  // all null now: keep what was seen
        p.type.type = type.value_or(CimType::String);
        if (before && before->type.isArray) p.type.isArray = true;
        p.isKey = std::any_of(keys.begin(), keys.end(),
                              [&](const std::string& k) { return iequals(k, name); });
        if (!before || before->type.type != p.type.type || before->type.isArray != p.type.isArray ||
            before->isKey != p.isKey)
            fits = false;
        inferred->properties.push_back(std::move(p));
    }
    if (fits && old->properties.size() >= inferred->properties.size()) return previous->second;
    inferred->finalize();
    std::shared_ptr<const ClassDef> made = inferred;
    synthesized_[className] = made;
    return made;
}

std::shared_ptr<const Instance> ObjectReader::readInstance(const xmlNode* object,
                                                           const xmlNode* epr,
                                                           std::vector<int>* projection,
                                                           bool* partial, int depth) {
    if (depth > maxNesting)
        throw xml::XmlError("embedded objects nested deeper than " + std::to_string(maxNesting));
    std::string className(xml::localName(object));
    if (depth > 0) {
        // An embedded object's class is in its xsi:type, "p:Class_Type".
        className.clear();
        if (auto type = xml::attribute(object, "type")) {
            std::string_view t = *type;
            t = t.substr(t.find(':') + 1);
            if (t.size() > 5 && t.substr(t.size() - 5) == "_Type") t.remove_suffix(5);
            className = std::string(t);
        }
        if (className.empty()) className = std::string(xml::localName(object));
    }
    const PropertyElements props = group(object);
    std::vector<std::string> keys;
    if (epr)
        for (auto& [name, value] : selectorsOf(epr, nullptr))
            if (!iequals(name, "__cimnamespace")) keys.push_back(name);

    std::shared_ptr<const ClassDef> cls = lookup_ ? lookup_(className) : nullptr;
    if (!cls) cls = synthesize(className, props, keys);

    auto inst = std::make_shared<Instance>(cls);
    std::vector<int> slots;
    for (const auto& [name, elements] : props) {
        const int slot = cls->findProperty(name);
        if (slot < 0) continue;
        const CimTypeDecl& decl = cls->properties[size_t(slot)].type;
        CimValue value;
        if (decl.isArray) {
            if (!(elements.size() == 1 && isNil(elements[0]))) {
                CimValue::Array items;
                items.reserve(elements.size());
                for (const xmlNode* e : elements) items.push_back(scalar(e, decl.type, depth));
                value = CimValue::array(std::move(items));
            }
        } else {
            value = scalar(elements.front(), decl.type, depth);
        }
        inst->setSlot(slot, std::move(value));
        slots.push_back(slot);
    }
    if (partial) *partial = slots.size() < cls->properties.size();
    if (projection) *projection = std::move(slots);
    return inst;
}

}  // namespace wbem::winrm
