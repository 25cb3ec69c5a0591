#include "objects.h"

namespace wbem::embedded {

namespace {

class VectorEnum : public IEnumVariant {
public:
    explicit VectorEnum(std::shared_ptr<const std::vector<std::shared_ptr<ISWbemObject>>> items)
        : items_(std::move(items)) {}
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
    std::shared_ptr<const std::vector<std::shared_ptr<ISWbemObject>>> items_;
    size_t pos_ = 0;
};

class VectorSet : public ISWbemObjectSet {
public:
    explicit VectorSet(std::vector<std::shared_ptr<ISWbemObject>> items)
        : items_(std::make_shared<const std::vector<std::shared_ptr<ISWbemObject>>>(
              std::move(items))) {}
    std::unique_ptr<IEnumVariant> NewEnum() override {
        return std::make_unique<VectorEnum>(items_);
    }
    int32_t Count() override { return int32_t(items_->size()); }

private:
    std::shared_ptr<const std::vector<std::shared_ptr<ISWbemObject>>> items_;
};

using OpenFn = std::function<std::unique_ptr<InstanceCursor>()>;
using WrapFn = std::function<std::shared_ptr<ISWbemObject>(std::shared_ptr<const Instance>)>;

// Pulls instances from the provider chain as the caller walks.
class StreamEnum : public IEnumVariant {
public:
    StreamEnum(OpenFn open, WrapFn wrap, bool forwardOnly)
        : open_(std::move(open)), wrap_(std::move(wrap)), forwardOnly_(forwardOnly) {}

    HResult Next(ElementPtr& element) override {
        element.reset();
        if (replayPos_ < seen_.size()) {
            element = seen_[replayPos_++];
            return hr::Ok;
        }
        if (done_) return hr::False;
        try {
            if (!cursor_) cursor_ = open_();
            auto inst = cursor_->next();
            if (!inst) {
                done_ = true;
                cursor_.reset();
                return hr::False;
            }
            auto obj = wrap_(std::move(inst));
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
    OpenFn open_;
    WrapFn wrap_;
    bool forwardOnly_;
    std::unique_ptr<InstanceCursor> cursor_;
    bool done_ = false;
    std::vector<ElementPtr> seen_;
    size_t replayPos_ = 0;
};

class StreamSet : public ISWbemObjectSet {
public:
    StreamSet(OpenFn open, WrapFn wrap, bool forwardOnly)
        : open_(std::move(open)), wrap_(std::move(wrap)), forwardOnly_(forwardOnly) {}
    std::unique_ptr<IEnumVariant> NewEnum() override {
        return std::make_unique<StreamEnum>(open_, wrap_, forwardOnly_);
    }
    int32_t Count() override {
        if (forwardOnly_) fail(hr::InvalidOperation);
        int32_t n = 0;
        auto cursor = open_();
        while (cursor->next()) ++n;
        return n;
    }

private:
    OpenFn open_;
    WrapFn wrap_;
    bool forwardOnly_;
};

}  // namespace

std::shared_ptr<ISWbemObjectSet> makeObjectSet(std::vector<std::shared_ptr<ISWbemObject>> items) {
    return std::make_shared<VectorSet>(std::move(items));
}

std::shared_ptr<ISWbemObjectSet> makeStreamSet(OpenFn open, WrapFn wrap, bool forwardOnly) {
    return std::make_shared<StreamSet>(std::move(open), std::move(wrap), forwardOnly);
}

}  // namespace wbem::embedded
