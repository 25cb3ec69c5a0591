// Maps typed records to instances through a table of columns: each column
// names a property, the parts of the record it reads, and how to make its
// value. A mapper built for a query keeps only the columns the query wants
// (and the keys), so the reader can skip the parts nobody asked for.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "../repository/provider.h"
#include "../text.h"

namespace wbem {

template <class Record>
struct Column {
    std::string_view name;
    uint32_t needs;  // bits of the record parts the value comes from
    CimValue (*get)(const Record&);
};

template <class Record>
class RecordMapper {
  public:
    RecordMapper(std::shared_ptr<const ClassDef> cls, std::span<const Column<Record>> columns,
                 const QueryHints& hints)
        : cls_(std::move(cls)) {
        for (const Column<Record>& c : columns) {
            const int slot = cls_->findProperty(c.name);
            // A column the schema does not declare is left out: the schema
            // decides what a class shows.
            if (slot < 0) continue;
            const bool key = cls_->properties[static_cast<size_t>(slot)].isKey;
            if (!key && !hints.wants(c.name)) continue;
            active_.push_back({slot, &c});
            needs_ |= c.needs;
        }
    }

    uint32_t needs() const { return needs_; }
    const std::shared_ptr<const ClassDef>& cls() const { return cls_; }

    std::shared_ptr<const Instance> build(const Record& r) const {
        auto inst = std::make_shared<Instance>(cls_);
        for (const Active& a : active_) inst->setSlot(a.slot, a.column->get(r));
        return inst;
    }

  private:
    struct Active {
        int slot;
        const Column<Record>* column;
    };
    std::shared_ptr<const ClassDef> cls_;
    std::vector<Active> active_;
    uint32_t needs_ = 0;
};

// Value makers for the column tables. Text read from the system is made
// valid UTF-8 on the way in.
inline CimValue textValue(std::string_view s) { return CimValue::string(sanitizeUtf8(s)); }
inline CimValue textValue(const std::string& s) { return textValue(std::string_view(s)); }
inline CimValue textValue(const char* s) { return textValue(std::string_view(s)); }
// Text made for the value keeps its buffer when it is valid already.
inline CimValue textValue(std::string&& s) {
    if (isValidUtf8(s)) return CimValue::string(std::move(s));
    return textValue(std::string_view(s));
}
inline CimValue textValue(const std::optional<std::string>& s) {
    return s ? textValue(std::string_view(*s)) : CimValue();
}
// Constant text known to be valid (names we write ourselves).
inline CimValue constText(std::string_view s) { return CimValue::string(std::string(s)); }
inline CimValue uintValue(const std::optional<uint64_t>& v) {
    return v ? CimValue::uint(*v) : CimValue();
}
inline CimValue sintValue(const std::optional<int64_t>& v) {
    return v ? CimValue::sint(*v) : CimValue();
}
// A count that must fit the property's uint32: saturated at the maximum.
inline CimValue uint32Value(const std::optional<uint64_t>& v) {
    return v ? CimValue::uint(*v > UINT32_MAX ? UINT32_MAX : *v) : CimValue();
}
inline CimValue stringArray(const std::vector<std::string>& items) {
    CimValue::Array a;
    a.reserve(items.size());
    for (const std::string& s : items) a.push_back(textValue(std::string_view(s)));
    return CimValue::array(std::move(a));
}

}  // namespace wbem
