#include "objects.h"
#include "wbem/list_enum.h"

namespace wbem::service {

namespace {

class VectorSet : public ISWbemObjectSet {
  public:
    explicit VectorSet(std::vector<std::shared_ptr<ISWbemObject>> items)
        : items_(std::make_shared<const std::vector<std::shared_ptr<ISWbemObject>>>(
              std::move(items))) {}
    std::unique_ptr<IEnumVariant> NewEnum() override {
        return std::make_unique<SharedListEnum<ISWbemObject>>(items_);
    }
    int32_t Count() override { return int32_t(items_->size()); }

  private:
    std::shared_ptr<const std::vector<std::shared_ptr<ISWbemObject>>> items_;
};

// Objects made from a provider chain's instances.
class WrappingCursor : public ObjectCursor {
  public:
    WrappingCursor(
        std::unique_ptr<InstanceCursor> cursor,
        std::function<std::shared_ptr<ISWbemObject>(std::shared_ptr<const Instance>)> wrap)
        : cursor_(std::move(cursor)), wrap_(std::move(wrap)) {}
    std::shared_ptr<ISWbemObject> next() override {
        auto inst = cursor_->next();
        return inst ? wrap_(std::move(inst)) : nullptr;
    }

  private:
    std::unique_ptr<InstanceCursor> cursor_;
    std::function<std::shared_ptr<ISWbemObject>(std::shared_ptr<const Instance>)> wrap_;
};

// Produces objects as the caller walks.
class StreamEnum : public IEnumVariant {
  public:
    StreamEnum(ObjectCursorOpener open, bool forwardOnly)
        : open_(std::move(open)), forwardOnly_(forwardOnly) {}

    HResult Next(ElementPtr& element) override {
        element.reset();
        if (replayPos_ < seen_.size()) {
            element = seen_[replayPos_++];
            return hr::Ok;
        }
        if (done_) return hr::False;
        try {
            if (!cursor_) cursor_ = open_();
            auto obj = cursor_->next();
            if (!obj) {
                done_ = true;
                cursor_.reset();
                return hr::False;
            }
            if (!forwardOnly_) {
                seen_.push_back(obj);
                replayPos_ = seen_.size();
            }
            element = std::move(obj);
            return hr::Ok;
        } catch (const WbemError& e) {
            done_ = true;
            cursor_.reset();
            return e.code();
        } catch (const std::exception&) {
            done_ = true;
            cursor_.reset();
            return hr::Failed;
        }
    }

    HResult Reset() override {
        if (forwardOnly_) return hr::InvalidOperation;
        replayPos_ = 0;
        return hr::Ok;
    }

  private:
    ObjectCursorOpener open_;
    bool forwardOnly_;
    std::unique_ptr<ObjectCursor> cursor_;
    bool done_ = false;
    std::vector<ElementPtr> seen_;
    size_t replayPos_ = 0;
};

class StreamSet : public ISWbemObjectSet {
  public:
    StreamSet(ObjectCursorOpener open, bool forwardOnly)
        : open_(std::move(open)), forwardOnly_(forwardOnly) {}
    std::unique_ptr<IEnumVariant> NewEnum() override {
        return std::make_unique<StreamEnum>(open_, forwardOnly_);
    }
    int32_t Count() override {
        if (forwardOnly_) fail(hr::InvalidOperation);
        int32_t n = 0;
        auto cursor = open_();
        while (cursor->next()) ++n;
        return n;
    }

  private:
    ObjectCursorOpener open_;
    bool forwardOnly_;
};

}  // namespace

std::shared_ptr<ISWbemObjectSet> makeObjectSet(std::vector<std::shared_ptr<ISWbemObject>> items) {
    return std::make_shared<VectorSet>(std::move(items));
}

std::shared_ptr<ISWbemObjectSet> makeStreamSet(
    std::function<std::unique_ptr<InstanceCursor>()> open,
    std::function<std::shared_ptr<ISWbemObject>(std::shared_ptr<const Instance>)> wrap,
    bool forwardOnly) {
    auto opener = [open = std::move(open),
                   wrap = std::move(wrap)]() -> std::unique_ptr<ObjectCursor> {
        return std::make_unique<WrappingCursor>(open(), wrap);
    };
    return std::make_shared<StreamSet>(std::move(opener), forwardOnly);
}

std::shared_ptr<ISWbemObjectSet> makeObjectStream(ObjectCursorOpener open, bool forwardOnly) {
    return std::make_shared<StreamSet>(std::move(open), forwardOnly);
}

}  // namespace wbem::service
