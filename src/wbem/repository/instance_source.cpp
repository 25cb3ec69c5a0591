#include "instance_source.h"

#include "../errors.h"
#include "../text.h"

namespace wbem {

namespace {

// Walks a class family: for each class, its static instances, then its
// provider's; __NAMESPACE yields the child namespaces.
class FamilyCursor : public InstanceCursor {
  public:
    FamilyCursor(std::shared_ptr<const RepositoryState> repo, const NamespaceState& ns,
                 std::vector<std::shared_ptr<const ClassDef>> family, QueryHints hints)
        : repo_(std::move(repo)), ns_(ns), family_(std::move(family)), hints_(std::move(hints)) {}

    std::shared_ptr<const Instance> next() override {
        if (runPos_ == run_.size()) {
            run_ = advance();
            runPos_ = 0;
            if (run_.empty()) return nullptr;
        }
        return run_[runPos_++];
    }

    std::span<const std::shared_ptr<const Instance>> nextRun() override {
        if (runPos_ < run_.size()) {
            auto rest = run_.subspan(runPos_);
            runPos_ = run_.size();
            return rest;
        }
        return advance();
    }

  private:
    // The next run: a class's static instances all at once, lent from the
    // snapshot the cursor keeps, then its provider's as the provider lends them.
    std::span<const std::shared_ptr<const Instance>> advance() {
        while (classPos_ < family_.size()) {
            const auto& cls = family_[classPos_];
            if (!started_) {
                started_ = true;
                staticsDone_ = false;
                synthDone_ = false;
                statics_ = nullptr;
                if (auto it = ns_.instances.find(cls->name); it != ns_.instances.end())
                    statics_ = &it->second;
                if (iequals(cls->name, "__NAMESPACE")) namespaceInstances(cls);
                if (auto it = ns_.providers.find(cls->name); it != ns_.providers.end())
                    live_ = it->second->open(cls, hints_);
            }
            if (!staticsDone_) {
                staticsDone_ = true;
                if (statics_ && !statics_->empty()) return *statics_;
            }
            if (!synthDone_) {
                synthDone_ = true;
                if (!synth_.empty()) return synth_;
            }
            if (live_) {
                if (auto run = live_->nextRun(); !run.empty()) return run;
                live_.reset();
            }
            ++classPos_;
            started_ = false;
            synth_.clear();
        }
        return {};
    }

    void namespaceInstances(const std::shared_ptr<const ClassDef>& cls) {
        for (const auto& name : repo_->childNames(ns_.path)) {
            auto inst = std::make_shared<Instance>(cls);
            inst->set("Name", CimValue::string(name));
            synth_.push_back(std::move(inst));
        }
    }

    std::shared_ptr<const RepositoryState> repo_;
    const NamespaceState& ns_;
    std::vector<std::shared_ptr<const ClassDef>> family_;
    QueryHints hints_;
    size_t classPos_ = 0;
    bool started_ = false;
    const std::vector<std::shared_ptr<const Instance>>* statics_ = nullptr;
    bool staticsDone_ = false;
    std::vector<std::shared_ptr<const Instance>> synth_;
    bool synthDone_ = false;
    std::unique_ptr<InstanceCursor> live_;
    // The run next() hands out one by one.
    std::span<const std::shared_ptr<const Instance>> run_;
    size_t runPos_ = 0;
};

// A path's key value as the property's type holds it.
CimValue keyValue(const PathKey& key, const PropertyDef& prop) {
    if (key.quoted || isStringLikeType(prop.type.type)) return CimValue::string(key.value);
    try {
        if (isSignedType(prop.type.type)) return CimValue::sint(std::stoll(key.value, nullptr, 10));
        if (isUnsignedType(prop.type.type))
            return CimValue::uint(std::stoull(key.value, nullptr, 10));
        if (isRealType(prop.type.type)) return CimValue::real(std::stod(key.value));
    } catch (const std::exception&) {
    }
    if (prop.type.type == CimType::Boolean) return CimValue::boolean(iequals(key.value, "true"));
    return CimValue::string(key.value);
}

}  // namespace

std::unique_ptr<InstanceCursor> openInstances(std::shared_ptr<const RepositoryState> repo,
                                              const NamespaceState& ns, std::string_view className,
                                              const QueryHints& hints) {
    auto family = ns.familyOf(className);
    if (family.empty()) fail(hr::InvalidClass);
    return std::make_unique<FamilyCursor>(std::move(repo), ns, std::move(family), hints);
}

std::shared_ptr<const Instance> findInstance(std::shared_ptr<const RepositoryState> repo,
                                             const NamespaceState& ns, const ObjectPath& path) {
    auto cls = ns.findClass(path.className);
    if (!cls) fail(hr::InvalidClass);
    QueryHints hints;
    for (const auto& k : path.keys) {
        const PropertyDef* prop = k.name.empty() && cls->keys.size() == 1
                                      ? &cls->properties[size_t(cls->keys[0])]
                                      : cls->property(k.name);
        if (!prop) return nullptr;
        hints.equals.emplace_back(prop->name, keyValue(k, *prop));
    }
    ObjectPath wanted = path;
    wanted.server.clear();
    wanted.nspace.clear();
    if (wanted.keys.size() == 1 && wanted.keys[0].name.empty() && cls->keys.size() == 1)
        wanted.keys[0].name = cls->properties[size_t(cls->keys[0])].name;
    auto cursor = openInstances(std::move(repo), ns, cls->name, hints);
    while (auto inst = cursor->next()) {
        if (wanted.singleton) {
            if (inst->cls().singleton) return inst;
            continue;
        }
        std::string rel = relPathOf(*inst);
        if (rel.empty()) continue;
        ObjectPath have = parseObjectPath(rel);
        // A subclass instance answers a path that names its base class.
        have.className = wanted.className;
        if (samePath(have, wanted)) return inst;
    }
    return nullptr;
}

}  // namespace wbem
