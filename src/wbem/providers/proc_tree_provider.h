// A provider whose instances are read from a /proc tree by a cursor made as
// Cursor(mapper, hints, procRoot, namespace), whose columns are
// Cursor::columns(): Win32_Process and Win32_Thread.
#pragma once

#include <memory>
#include <string>

#include "../repository/provider.h"
#include "record_mapper.h"

namespace wbem {

template <class Cursor>
class ProcTreeProvider : public InstanceProvider {
  public:
    ProcTreeProvider(std::string nspace, std::string procRoot)
        : nspace_(std::move(nspace)), root_(std::move(procRoot)), slots_(Cursor::columns()) {}
    std::unique_ptr<InstanceCursor> open(const std::shared_ptr<const ClassDef>& cls,
                                         const QueryHints& hints) const override {
        return std::make_unique<Cursor>(slots_.mapper(cls, hints), hints, root_, nspace_);
    }

  private:
    std::string nspace_, root_;
    ColumnSlotCache<typename Cursor::Record> slots_;
};

}  // namespace wbem
