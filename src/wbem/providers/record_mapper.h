// Maps typed records to instances through a table of columns: each column
// names a property, the parts of the record it reads, and how to make its
// value. A mapper built for a query keeps only the columns the query wants
// (and the keys), so the reader can skip the parts nobody asked for.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
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

// A column's property slot in one class definition (-1 where the class does
// not declare it) and whether that property is a key.
struct ColumnSlot {
    int slot = -1;
    bool key = false;
};

template <class Record>
std::vector<ColumnSlot> resolveColumns(const ClassDef& cls,
                                       std::span<const Column<Record>> columns) {
    std::vector<ColumnSlot> out;
    out.reserve(columns.size());
    for (const Column<Record>& c : columns) {
        const int slot = cls.findProperty(c.name);
        out.push_back({slot, slot >= 0 && cls.properties[static_cast<size_t>(slot)].isKey});
    }
    return out;
}

template <class Record>
class RecordMapper {
  public:
    // `slots` are the columns' slots in `cls`, one for each column.
    RecordMapper(std::shared_ptr<const ClassDef> cls, std::span<const Column<Record>> columns,
                 std::span<const ColumnSlot> slots, const QueryHints& hints)
        : cls_(std::move(cls)) {
        active_.reserve(columns.size());
        for (size_t i = 0; i < columns.size(); ++i) {
            const Column<Record>& c = columns[i];
            // A column the schema does not declare is left out: the schema
            // decides what a class shows.
            if (slots[i].slot < 0) continue;
            if (!slots[i].key && !hints.wants(c.name)) continue;
            active_.push_back({slots[i].slot, &c});
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

// The columns' slots in the class definition last asked about, kept from one
// query to the next: looking every column up by name costs more than the rest
// of a one-instance query's setup. A definition never changes once made (a
// new compile makes new ones), and the cache holds the one it resolved, so the
// same pointer is always the same definition.
template <class Record>
class ColumnSlotCache {
  public:
    explicit ColumnSlotCache(std::span<const Column<Record>> columns) : columns_(columns) {}

    RecordMapper<Record> mapper(const std::shared_ptr<const ClassDef>& cls,
                                const QueryHints& hints) const {
        return RecordMapper<Record>(cls, columns_, *slotsIn(cls), hints);
    }

  private:
    std::shared_ptr<const std::vector<ColumnSlot>> slotsIn(
        const std::shared_ptr<const ClassDef>& cls) const {
        std::lock_guard<std::mutex> lock(m_);
        if (cls_ != cls) {
            slots_ =
                std::make_shared<const std::vector<ColumnSlot>>(resolveColumns(*cls, columns_));
            cls_ = cls;
        }
        return slots_;
    }

    std::span<const Column<Record>> columns_;
    mutable std::mutex m_;
    mutable std::shared_ptr<const ClassDef> cls_;
    mutable std::shared_ptr<const std::vector<ColumnSlot>> slots_;
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
