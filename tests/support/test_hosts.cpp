#include "test_hosts.h"

#include "wbem/repository/provider.h"
#include "wbem/repository/repository.h"
#include "wmi/bw_wmi.h"

namespace wmitest {

namespace {

class GeneratedCursor : public wbem::InstanceCursor {
  public:
    GeneratedCursor(std::shared_ptr<const wbem::ClassDef> cls, int count, ScopedHost::Fill fill)
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
    ScopedHost::Fill fill_;
    int index_ = 0;
};

class GeneratedProvider : public wbem::InstanceProvider {
  public:
    GeneratedProvider(int count, ScopedHost::Fill fill) : count_(count), fill_(std::move(fill)) {}
    std::unique_ptr<wbem::InstanceCursor> open(const std::shared_ptr<const wbem::ClassDef>& cls,
                                               const wbem::QueryHints&) const override {
        return std::make_unique<GeneratedCursor>(cls, count_, fill_);
    }

  private:
    int count_;
    ScopedHost::Fill fill_;
};

// --- Recording wrappers ------------------------------------------------------

class BreakingEnum : public wbem::IEnumVariant {
  public:
    BreakingEnum(std::unique_ptr<wbem::IEnumVariant> real, std::shared_ptr<Recorder> rec)
        : real_(std::move(real)), rec_(std::move(rec)) {}
    wbem::HResult Next(wbem::ElementPtr& element) override {
        int breakAfter;
        wbem::HResult code;
        {
            std::lock_guard lk(rec_->mu);
            ++rec_->nextCalls;
            breakAfter = rec_->breakAfter;
            code = rec_->breakCode;
        }
        if (breakAfter >= 0 && delivered_ >= breakAfter) {
            element.reset();
            return code;
        }
        wbem::HResult status = real_->Next(element);
        if (status == wbem::hr::Ok) ++delivered_;
        return status;
    }
    wbem::HResult Reset() override {
        delivered_ = 0;
        return real_->Reset();
    }

  private:
    std::unique_ptr<wbem::IEnumVariant> real_;
    std::shared_ptr<Recorder> rec_;
    int delivered_ = 0;
};

class RecordingSet : public wbem::ISWbemObjectSet {
  public:
    RecordingSet(std::shared_ptr<wbem::ISWbemObjectSet> real, std::shared_ptr<Recorder> rec)
        : real_(std::move(real)), rec_(std::move(rec)) {}
    std::unique_ptr<wbem::IEnumVariant> NewEnum() override {
        return std::make_unique<BreakingEnum>(real_->NewEnum(), rec_);
    }
    int32_t Count() override { return real_->Count(); }

  private:
    std::shared_ptr<wbem::ISWbemObjectSet> real_;
    std::shared_ptr<Recorder> rec_;
};

class RecordingObject : public wbem::ISWbemObject {
  public:
    RecordingObject(std::shared_ptr<wbem::ISWbemObject> real, std::shared_ptr<Recorder> rec)
        : real_(std::move(real)), rec_(std::move(rec)) {}
    std::shared_ptr<wbem::ISWbemObjectPath> Path_() override { return real_->Path_(); }
    std::shared_ptr<wbem::ISWbemPropertySet> Properties_() override { return real_->Properties_(); }
    std::shared_ptr<wbem::ISWbemPropertySet> SystemProperties_() override {
        return real_->SystemProperties_();
    }
    std::shared_ptr<wbem::ISWbemMethodSet> Methods_() override { return real_->Methods_(); }
    std::shared_ptr<wbem::ISWbemObjectSet> Instances_(int32_t flags) override {
        return std::make_shared<RecordingSet>(real_->Instances_(flags), rec_);
    }
    std::shared_ptr<wbem::ISWbemObjectSet> Subclasses_(int32_t flags) override {
        return real_->Subclasses_(flags);
    }
    std::string GetObjectText_(int32_t flags) override { return real_->GetObjectText_(flags); }
    std::shared_ptr<wbem::ISWbemQualifierSet> Qualifiers_() override {
        return real_->Qualifiers_();
    }

  private:
    std::shared_ptr<wbem::ISWbemObject> real_;
    std::shared_ptr<Recorder> rec_;
};

class RecordingServices : public wbem::ISWbemServices {
  public:
    RecordingServices(std::shared_ptr<wbem::ISWbemServices> real, std::shared_ptr<Recorder> rec)
        : real_(std::move(real)), rec_(std::move(rec)) {}
    std::shared_ptr<wbem::ISWbemObjectSet> SubclassesOf(std::string_view superclass,
                                                        int32_t flags) override {
        return wrap(real_->SubclassesOf(superclass, flags));
    }
    std::shared_ptr<wbem::ISWbemObject> Get(std::string_view path, int32_t flags) override {
        return std::make_shared<RecordingObject>(real_->Get(path, flags), rec_);
    }
    std::shared_ptr<wbem::ISWbemObjectSet> InstancesOf(std::string_view className,
                                                       int32_t flags) override {
        return wrap(real_->InstancesOf(className, flags));
    }
    std::shared_ptr<wbem::ISWbemObjectSet> ExecQuery(std::string_view query,
                                                     std::string_view language,
                                                     int32_t flags) override {
        return wrap(real_->ExecQuery(query, language, flags));
    }

  private:
    std::shared_ptr<wbem::ISWbemObjectSet> wrap(std::shared_ptr<wbem::ISWbemObjectSet> set) {
        return std::make_shared<RecordingSet>(std::move(set), rec_);
    }
    std::shared_ptr<wbem::ISWbemServices> real_;
    std::shared_ptr<Recorder> rec_;
};

class RecordingSecurity : public wbem::ISWbemSecurity {
  public:
    RecordingSecurity(wbem::ISWbemSecurity& real, std::shared_ptr<Recorder> rec)
        : real_(real), rec_(std::move(rec)) {}
    int32_t AuthenticationLevel() const override { return real_.AuthenticationLevel(); }
    void SetAuthenticationLevel(int32_t level) override {
        {
            std::lock_guard lk(rec_->mu);
            rec_->levelsSet.push_back(level);
        }
        real_.SetAuthenticationLevel(level);
    }
    int32_t ImpersonationLevel() const override { return real_.ImpersonationLevel(); }

  private:
    wbem::ISWbemSecurity& real_;
    std::shared_ptr<Recorder> rec_;
};

class RecordingLocator : public wbem::ISWbemLocator {
  public:
    explicit RecordingLocator(std::shared_ptr<Recorder> rec)
        : real_(wbem::CreateLocator()), rec_(rec), security_(real_->Security_(), rec) {}
    wbem::ISWbemSecurity& Security_() override { return security_; }
    std::shared_ptr<wbem::ISWbemServices> ConnectServer(
        std::string_view server, std::string_view nspace, std::string_view user,
        std::string_view password, std::string_view locale, std::string_view authority,
        int32_t securityFlags, const wbem::IDispatchLike* context) override {
        {
            std::lock_guard lk(rec_->mu);
            Recorder::Connect c;
            c.host = server;
            c.nspace = nspace;
            c.user = user;
            c.password = password;
            c.securityFlags = securityFlags;
            c.levelAtConnect = real_->Security_().AuthenticationLevel();
            if (auto* options = dynamic_cast<const wbem::RemoteOptions*>(context))
                c.options = *options;
            else
                c.otherContext = context != nullptr;
            rec_->connects.push_back(std::move(c));
        }
        return std::make_shared<RecordingServices>(
            real_->ConnectServer(server, nspace, user, password, locale, authority, securityFlags,
                                 context),
            rec_);
    }

  private:
    std::shared_ptr<wbem::ISWbemLocator> real_;
    std::shared_ptr<Recorder> rec_;
    RecordingSecurity security_;
};

}  // namespace

ScopedHost::ScopedHost(std::string name, std::string_view mof, std::string user,
                       std::string password)
    : name_(std::move(name)), repo_(wbem::registerTestHost(name_, mof, user, password)) {}

ScopedHost::~ScopedHost() { wbem::unregisterTestHost(name_); }

void ScopedHost::generate(const std::string& className, int count, Fill fill) {
    wbem::Repository::Transaction tx(*repo_);
    tx.setProvider("root\\cimv2", className,
                   std::make_shared<GeneratedProvider>(count, std::move(fill)));
    tx.commit();
}

RecordingLocators::RecordingLocators() : rec_(std::make_shared<Recorder>()) {
    auto rec = rec_;
    wmi::SetLocatorFactory([rec] { return std::make_shared<RecordingLocator>(rec); });
}

RecordingLocators::~RecordingLocators() { wmi::SetLocatorFactory({}); }

}  // namespace wmitest
