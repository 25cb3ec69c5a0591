// Runs a parsed query: SELECT over instances (narrowed by hints, filtered by
// the bound condition) or over class definitions (meta_class); association
// queries are handed to associators.cpp.
#include <algorithm>
#include <deque>

#include "../repository/instance_source.h"
#include "../stop_scope.h"
#include "associators.h"
#include "binder.h"
#include "parser.h"
#include "wql.h"

namespace wbem::wql {

namespace {

// Slots of the query's properties in one concrete class. Instances of
// subclasses, and of a class replaced since, carry their own ClassDef, so
// slots are looked up by name once per class, not once per row.
struct ClassLayout {
    std::shared_ptr<const ClassDef> cls;  // held so the address stays unique
    std::vector<int> slots;               // per entry of the property table
    std::vector<int> projection;          // selected slots, ascending
};

class LayoutCache {
  public:
    explicit LayoutCache(const BoundSelect& b) : b_(b) {}

    const ClassLayout& get(const std::shared_ptr<const ClassDef>& cls) {
        // Instances come class by class: most rows ask for the last layout.
        if (last_ && last_->cls == cls) return *last_;
        for (const auto& l : layouts_) {
            if (l.cls == cls) {
                last_ = &l;
                return l;
            }
        }
        ClassLayout l;
        l.cls = cls;
        for (const auto& name : b_.properties) l.slots.push_back(cls->findProperty(name));
        for (const auto& name : b_.columns) {
            int slot = cls->findProperty(name);
            if (slot >= 0) l.projection.push_back(slot);
        }
        std::sort(l.projection.begin(), l.projection.end());
        l.projection.erase(std::unique(l.projection.begin(), l.projection.end()),
                           l.projection.end());
        layouts_.push_back(std::move(l));
        last_ = &layouts_.back();
        return layouts_.back();
    }

  private:
    const BoundSelect& b_;
    std::deque<ClassLayout> layouts_;  // stable addresses: matches point into it
    const ClassLayout* last_ = nullptr;
};

std::vector<ResultObject> selectClasses(const BoundSelect& b, const NamespaceState& ns,
                                        const ObjectContext& ctx) {
    std::vector<ResultObject> out;
    for (const auto& cls : ns.classes) {
        Row row{cls.get(), nullptr, nullptr, &ctx, &ns};
        if (!b.where || b.where->test(row)) out.push_back(ResultObject{cls, nullptr, {}, false});
    }
    return out;
}

std::vector<ResultObject> selectInstances(const BoundSelect& b,
                                          const std::shared_ptr<const RepositoryState>& repo,
                                          const NamespaceState& ns, const ObjectContext& ctx) {
    // Matches are gathered as (instance, layout) first and the results built
    // in one allocation of the final size: growing a vector of the larger
    // ResultObject costs more than the filtering itself.
    std::vector<std::pair<std::shared_ptr<const Instance>, const ClassLayout*>> matches;
    LayoutCache layouts(b);
    auto cursor = openInstances(repo, ns, b.cls->name, b.hints);
    const StopCheck stopped;  // a test of every instance may take long: the caller may give up
    // The instances are lent: only a match takes a reference of its own.
    for (auto run = cursor->nextRun(); !run.empty(); run = cursor->nextRun()) {
        // Room for a whole run at once (pages left unwritten cost nothing)
        // instead of copying the matches over as the vector doubles.
        if (run.size() > 1)
            matches.reserve(std::max(matches.size() + run.size(), 2 * matches.capacity()));
        for (const auto& inst : run) {
            stopped();
            const ClassLayout& layout = layouts.get(inst->classPtr());
            Row row{layout.cls.get(), inst.get(), layout.slots.data(), &ctx, &ns};
            if (b.where && !b.where->test(row)) continue;
            matches.emplace_back(inst, &layout);
        }
    }
    std::vector<ResultObject> out(matches.size());
    for (size_t i = 0; i < matches.size(); ++i) {
        ResultObject& r = out[i];
        r.cls = matches[i].second->cls;
        r.instance = std::move(matches[i].first);
        if (!b.star) {
            r.partial = true;
            r.projection = matches[i].second->projection;
        }
    }
    return out;
}

}  // namespace

std::unique_ptr<ast::Query> parseQuery(std::string_view query) { return parse(query); }

std::vector<ResultObject> executeQuery(const std::shared_ptr<const RepositoryState>& repo,
                                       std::string_view nspace, const ObjectContext& ctx,
                                       std::string_view query) {
    auto q = parse(query);
    const NamespaceState* ns = repo->find(nspace);
    if (!ns) throw WbemError(hr::InvalidNamespace);
    if (q->kind != ast::QueryKind::Select)
        return runAssocQuery(static_cast<const ast::AssocQuery&>(*q), repo, *ns);
    BoundSelect b = bindSelect(static_cast<const ast::SelectQuery&>(*q), *ns);
    return b.metaClass ? selectClasses(b, *ns, ctx) : selectInstances(b, repo, *ns, ctx);
}

}  // namespace wbem::wql
