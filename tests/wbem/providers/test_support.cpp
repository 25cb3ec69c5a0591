#include "test_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "wbem/mof/mof_compiler.h"
#include "wbem/providers/local_providers.h"
#include "wbem/repository/datetime_text.h"
#include "wbem/schema/embedded_schema.h"
#include "wbem/text.h"

namespace wbem::test {

const Repository& schema() {
    static Repository* repo = [] {
        auto* r = new Repository;
        Repository::Transaction tx(*r);
        mof::Options options;
        options.loader = [](const std::string& path) -> std::optional<std::string> {
            std::string_view name = path;
            if (const size_t slash = name.rfind('/'); slash != std::string_view::npos)
                name.remove_prefix(slash + 1);
            for (const EmbeddedFile& f : embeddedSchemaFiles())
                if (f.name == name) return std::string(f.text);
            return std::nullopt;
        };
        mof::compileFile(tx, "cimscope.mof", options);
        installLocalProviders(tx);
        tx.commit();
        return r;
    }();
    return *repo;
}

std::shared_ptr<const ClassDef> schemaClass(std::string_view nspace, std::string_view name) {
    auto state = schema().snapshot();
    const NamespaceState* ns = state->find(nspace);
    return ns ? ns->findClass(name) : nullptr;
}

std::shared_ptr<const InstanceProvider> localProvider(std::string_view nspace,
                                                      std::string_view className) {
    auto state = schema().snapshot();
    const NamespaceState* ns = state->find(nspace);
    if (!ns) return nullptr;
    auto it = ns->providers.find(className);
    return it == ns->providers.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<const Instance>> drain(InstanceCursor& cursor) {
    std::vector<std::shared_ptr<const Instance>> out;
    while (auto inst = cursor.next()) out.push_back(std::move(inst));
    return out;
}

std::vector<std::shared_ptr<const Instance>> liveInstances(std::string_view nspace,
                                                           std::string_view className,
                                                           const QueryHints& hints) {
    auto provider = localProvider(nspace, className);
    auto cls = schemaClass(nspace, className);
    if (!provider || !cls) {
        ADD_FAILURE() << "no provider or class for " << className;
        return {};
    }
    auto cursor = provider->open(cls, hints);
    return drain(*cursor);
}

const CimValue& valueOf(const Instance& inst, std::string_view name) {
    static const CimValue kNull;
    const CimValue* v = inst.find(name);
    return v ? *v : kNull;
}

std::string stringOf(const Instance& inst, std::string_view name) {
    const CimValue& v = valueOf(inst, name);
    return v.kind() == CimValue::Kind::String ? v.asString() : std::string();
}

uint64_t uintOf(const Instance& inst, std::string_view name) {
    const CimValue& v = valueOf(inst, name);
    return v.kind() == CimValue::Kind::UInt ? v.asUInt() : 0;
}

bool isCimDateTime(std::string_view s) {
    const auto d = readCimDateTime(s);
    return d && !d->interval && d->complete();
}

namespace {

void checkScalar(const CimValue& v, CimType t, const std::string& where,
                 std::vector<std::string>& problems) {
    using K = CimValue::Kind;
    auto bad = [&](const std::string& what) { problems.push_back(where + ": " + what); };
    switch (t) {
        case CimType::SInt8:
        case CimType::SInt16:
        case CimType::SInt32:
        case CimType::SInt64: {
            if (v.kind() != K::SInt) return bad("expected a signed integer");
            const int bits = t == CimType::SInt8    ? 8
                             : t == CimType::SInt16 ? 16
                             : t == CimType::SInt32 ? 32
                                                    : 64;
            if (bits < 64) {
                const int64_t lim = int64_t{1} << (bits - 1);
                if (v.asSInt() < -lim || v.asSInt() >= lim) bad("out of range");
            }
            return;
        }
        case CimType::UInt8:
        case CimType::UInt16:
        case CimType::UInt32:
        case CimType::UInt64:
        case CimType::Char16: {
            if (v.kind() != K::UInt) return bad("expected an unsigned integer");
            const int bits = t == CimType::UInt8                              ? 8
                             : (t == CimType::UInt16 || t == CimType::Char16) ? 16
                             : t == CimType::UInt32                           ? 32
                                                                              : 64;
            if (bits < 64 && v.asUInt() >= (uint64_t{1} << bits)) bad("out of range");
            return;
        }
        case CimType::Real32:
        case CimType::Real64:
            if (v.kind() != K::Real) bad("expected a real");
            return;
        case CimType::Boolean:
            if (v.kind() != K::Bool) bad("expected a boolean");
            return;
        case CimType::DateTime:
            if (v.kind() != K::String) return bad("expected a datetime string");
            if (!isCimDateTime(v.asString())) bad("not a CIM datetime: " + v.asString());
            return;
        case CimType::String:
        case CimType::Reference:
            if (v.kind() != K::String) return bad("expected a string");
            if (!isValidUtf8(v.asString())) bad("invalid UTF-8");
            return;
        case CimType::Object:
            if (v.kind() != K::Object) bad("expected an object");
            return;
    }
}

}  // namespace

std::vector<std::string> typeProblems(const Instance& inst) {
    std::vector<std::string> problems;
    const ClassDef& cls = inst.cls();
    for (size_t i = 0; i < cls.properties.size(); ++i) {
        const PropertyDef& p = cls.properties[i];
        const CimValue& v = inst.value(static_cast<int>(i));
        if (v.isNull()) continue;
        const std::string where = cls.name + "." + p.name;
        if (p.type.isArray) {
            if (v.kind() != CimValue::Kind::Array) {
                problems.push_back(where + ": expected an array");
                continue;
            }
            for (const CimValue& e : v.asArray()) {
                if (e.isNull())
                    problems.push_back(where + ": null element");
                else
                    checkScalar(e, p.type.type, where, problems);
            }
        } else {
            checkScalar(v, p.type.type, where, problems);
        }
    }
    return problems;
}

IdleThread::IdleThread()
    : thread_([this] {
          tid_ = static_cast<pid_t>(syscall(SYS_gettid));
          while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }) {
    while (tid_ == 0) std::this_thread::yield();
}

IdleThread::~IdleThread() {
    stop_ = true;
    thread_.join();
}

TempTree::TempTree() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "cimscope-prov-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    root_ = tmpl;
}

TempTree::~TempTree() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

void TempTree::write(const std::string& relPath, std::string_view content) const {
    const std::filesystem::path p = std::filesystem::path(root_) / relPath;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

void TempTree::mkdir(const std::string& relPath) const {
    std::filesystem::create_directories(std::filesystem::path(root_) / relPath);
}

void TempTree::remove(const std::string& relPath) const {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(root_) / relPath, ec);
}

}  // namespace wbem::test
