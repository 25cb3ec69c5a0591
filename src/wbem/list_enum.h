// An enumerator over a fixed list shared with the set it walks, so that a set
// walked again and again is not copied for each walk.
#pragma once

#include <memory>
#include <vector>

#include "api.h"

namespace wbem {

template <class T>
class SharedListEnum : public IEnumVariant {
  public:
    using List = std::vector<std::shared_ptr<T>>;
    explicit SharedListEnum(std::shared_ptr<const List> items) : items_(std::move(items)) {}
    HResult Next(ElementPtr& element) override {
        if (pos_ >= items_->size()) {
            element.reset();
            return hr::False;
        }
        element = (*items_)[pos_++];
        return hr::Ok;
    }
    HResult Reset() override {
        pos_ = 0;
        return hr::Ok;
    }

  private:
    std::shared_ptr<const List> items_;
    size_t pos_ = 0;
};

}  // namespace wbem
