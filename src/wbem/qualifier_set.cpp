#include "qualifier_set.h"

#include "list_enum.h"

namespace wbem {

namespace {

class QualifierItem : public ISWbemQualifier {
  public:
    explicit QualifierItem(QualifierEntry e) : e_(std::move(e)) {}
    std::string Name() const override { return e_.name; }
    Variant Value() const override { return e_.value; }
    bool IsLocal() const override { return e_.local; }
    bool PropagatesToSubclass() const override { return e_.toSubclass; }
    bool PropagatesToInstance() const override { return e_.toInstance; }
    bool IsOverridable() const override { return e_.overridable; }
    bool IsAmended() const override { return e_.amended; }

  private:
    QualifierEntry e_;
};

class QualifierSet : public ISWbemQualifierSet {
  public:
    explicit QualifierSet(std::vector<QualifierEntry> entries) {
        auto items = std::make_shared<std::vector<ElementPtr>>();
        items->reserve(entries.size());
        for (auto& e : entries) items->push_back(std::make_shared<QualifierItem>(std::move(e)));
        items_ = std::move(items);
    }
    std::unique_ptr<IEnumVariant> NewEnum() override {
        return std::make_unique<SharedListEnum<IDispatchLike>>(items_);
    }
    std::shared_ptr<ISWbemQualifier> Item(std::string_view name, int32_t) override {
        return itemNamed<ISWbemQualifier>(*items_, name);
    }
    int32_t Count() override { return int32_t(items_->size()); }

  private:
    std::shared_ptr<const std::vector<ElementPtr>> items_;
};

}  // namespace

std::shared_ptr<ISWbemQualifierSet> makeQualifierSet(std::vector<QualifierEntry> entries) {
    return std::make_shared<QualifierSet>(std::move(entries));
}

std::shared_ptr<ISWbemQualifierSet> emptyQualifierSet() { return makeQualifierSet({}); }

}  // namespace wbem
