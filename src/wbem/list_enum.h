// Sets over a fixed list of elements: an enumerator that shares the list with
// its set, so that a set walked again and again is not copied for each walk,
// and the lookup by name of the sets' Item.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "api.h"
#include "text.h"

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

// The element named `name` (ignoring case) of a list made of nothing but
// T's; throws NotFound.
template <class T>
std::shared_ptr<T> itemNamed(const std::vector<ElementPtr>& items, std::string_view name) {
    for (const auto& e : items) {
        auto item = std::static_pointer_cast<T>(e);
        if (iequals(item->Name(), name)) return item;
    }
    fail(hr::NotFound);
}

}  // namespace wbem
