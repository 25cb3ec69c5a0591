// A test host whose classes have generated instances, for the WMI layer's
// benchmarks.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "wbem/repository/provider.h"
#include "wbem/repository/repository.h"
#include "wbem/service/hosts.h"

namespace wmibench {

using Fill = std::function<void(int index, wbem::Instance& instance)>;

class GeneratedCursor : public wbem::InstanceCursor {
  public:
    GeneratedCursor(std::shared_ptr<const wbem::ClassDef> cls, int count, Fill fill)
        : cls_(std::move(cls)), count_(count), fill_(std::move(fill)) {}
    std::shared_ptr<const wbem::Instance> next() override {
        if (index_ >= count_) return nullptr;
        auto inst = std::make_shared<wbem::Instance>(cls_);
        fill_(index_++, *inst);
        return inst;
    }

  private:
    std::shared_ptr<const wbem::ClassDef> cls_;
    int count_;
    Fill fill_;
    int index_ = 0;
};

class GeneratedProvider : public wbem::InstanceProvider {
  public:
    GeneratedProvider(int count, Fill fill) : count_(count), fill_(std::move(fill)) {}
    std::unique_ptr<wbem::InstanceCursor> open(const std::shared_ptr<const wbem::ClassDef>& cls,
                                               const wbem::QueryHints&) const override {
        return std::make_unique<GeneratedCursor>(cls, count_, fill_);
    }

  private:
    int count_;
    Fill fill_;
};

// Registers `host` with the MOF and gives className `count` generated instances.
inline void registerGeneratedHost(const std::string& host, const char* mof,
                                  const std::string& className, int count, Fill fill) {
    auto repo = wbem::registerTestHost(host, mof);
    wbem::Repository::Transaction tx(*repo);
    tx.setProvider("root\\cimv2", className,
                   std::make_shared<GeneratedProvider>(count, std::move(fill)));
    tx.commit();
}

}  // namespace wmibench
