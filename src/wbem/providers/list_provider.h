// A provider for classes with few instances: the records are read when the
// walk starts (not when it is opened), then mapped one per step.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "record_mapper.h"

namespace wbem {

template <class Record>
class ListProvider : public InstanceProvider {
  public:
    // Reads the records; `needs` are the parts the wanted columns use, and
    // the hints let a reader narrow the work to a key.
    using Reader = std::function<std::vector<Record>(uint32_t needs, const QueryHints& hints)>;

    ListProvider(std::span<const Column<Record>> columns, Reader reader)
        : slots_(columns), reader_(std::move(reader)) {}

    std::unique_ptr<InstanceCursor> open(const std::shared_ptr<const ClassDef>& cls,
                                         const QueryHints& hints) const override {
        return std::make_unique<Cursor>(slots_.mapper(cls, hints), reader_, hints);
    }

  private:
    class Cursor : public InstanceCursor {
      public:
        Cursor(RecordMapper<Record> mapper, Reader reader, QueryHints hints)
            : mapper_(std::move(mapper)), reader_(std::move(reader)), hints_(std::move(hints)) {}
        std::shared_ptr<const Instance> next() override {
            if (!read_) {
                records_ = reader_(mapper_.needs(), hints_);
                read_ = true;
            }
            if (pos_ >= records_.size()) return nullptr;
            return mapper_.build(records_[pos_++]);
        }

      private:
        RecordMapper<Record> mapper_;
        Reader reader_;
        QueryHints hints_;
        bool read_ = false;
        std::vector<Record> records_;
        size_t pos_ = 0;
    };

    ColumnSlotCache<Record> slots_;
    Reader reader_;
};

template <class Record>
std::shared_ptr<const InstanceProvider> makeListProvider(
    std::span<const Column<Record>> columns, typename ListProvider<Record>::Reader reader) {
    return std::make_shared<ListProvider<Record>>(columns, std::move(reader));
}

// The text a key condition gives for `property`, when it is text.
inline const std::string* keyText(const QueryHints& hints, std::string_view property) {
    const CimValue* v = hints.equalTo(property);
    return v && v->kind() == CimValue::Kind::String ? &v->asString() : nullptr;
}

}  // namespace wbem
