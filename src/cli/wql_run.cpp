#include "wql_run.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "text_table.h"
#include "wbem/api.h"
#include "wbem/service/hosts.h"
#include "wbem/text.h"

namespace cli {

namespace {

using namespace wbem;

template <class T>
std::shared_ptr<T> nextAs(IEnumVariant& e) {
    ElementPtr el;
    while (e.Next(el) == hr::Ok) {
        if (auto t = std::dynamic_pointer_cast<T>(el)) return t;
    }
    return nullptr;
}

// One line of text for a cell: control characters would break the table.
std::string cellText(const Variant& v) {
    std::string s;
    if (v.isArray()) {
        s = "array[";
        for (const auto& b : v.asArray().bounds)
            s += std::to_string(b.lower) + ".." + std::to_string(b.lower + int64_t(b.count) - 1) + " ";
        if (s.back() == ' ') s.pop_back();
        return s + "]";
    }
    char buf[40];
    switch (v.type()) {
        case VarType::Empty:
        case VarType::Null: return {};
        case VarType::Int16:
        case VarType::Int32:
        case VarType::UInt8: return std::to_string(v.asInt());
        case VarType::Real32:
        case VarType::Real64:
        case VarType::Date:
            std::snprintf(buf, sizeof buf, "%.15g", v.asReal());
            return buf;
        case VarType::Bool: return v.asBool() ? "True" : "False";
        case VarType::Object: return "Object";
        case VarType::String: s = v.asString(); break;
    }
    for (char& c : s)
        if (static_cast<unsigned char>(c) < ' ') c = ' ';
    return s;
}

std::shared_ptr<ISWbemServices> connect(const WqlOptions& o) {
    auto locator = CreateLocator();
    if (o.authLevel != 0) locator->Security_().SetAuthenticationLevel(o.authLevel);
    return locator->ConnectServer(o.host, o.nspace, o.user, o.password);
}

void listClasses(ISWbemServices& services, std::ostream& out) {
    auto e = services.SubclassesOf("", 0)->NewEnum();
    std::vector<std::string> names;
    while (auto obj = nextAs<ISWbemObject>(*e)) names.push_back(obj->Path_()->Class());
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return icompare(a, b) < 0; });
    for (const auto& n : names) out << n << '\n';
}

void runQuery(ISWbemServices& services, const std::string& query, std::ostream& out) {
    auto e = services.ExecQuery(query, "WQL", 0)->NewEnum();
    std::vector<std::shared_ptr<ISWbemObject>> rows;
    std::vector<std::string> header;
    while (auto obj = nextAs<ISWbemObject>(*e)) {
        auto props = obj->Properties_();
        if (props->Count() > int32_t(header.size())) {
            header.clear();
            auto pe = props->NewEnum();
            while (auto p = nextAs<ISWbemProperty>(*pe)) header.push_back(p->Name());
        }
        rows.push_back(std::move(obj));
    }
    std::vector<std::string> cells(rows.size() * header.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        auto pe = rows[r]->Properties_()->NewEnum();
        while (auto p = nextAs<ISWbemProperty>(*pe)) {
            auto it = std::find_if(header.begin(), header.end(),
                                   [&](const std::string& h) { return iequals(h, p->Name()); });
            if (it != header.end())
                cells[r * header.size() + size_t(it - header.begin())] = cellText(p->Value());
        }
    }
    writeTextTable(out, header, cells);
}

}  // namespace

int runWql(const WqlOptions& o, std::ostream& stdOut, std::ostream& err) {
    try {
        std::ofstream file;
        std::ostream* out = &stdOut;
        if (!o.outFile.empty()) {
            file.open(o.outFile, std::ios::binary | std::ios::trunc);
            if (!file) {
                err << "Error: cannot write " << o.outFile << '\n';
                return 1;
            }
            out = &file;
        }
        if (!o.mofFiles.empty()) {
            CreateLocator();  // the local schema must be loaded first
            auto host = findHost(o.host);
            if (!host) fail(hr::RpcUnavailable);
            for (const auto& f : o.mofFiles) compileMofFile(*host->repository, f, o.nspace);
        }
        auto services = connect(o);
        if (o.listClasses)
            listClasses(*services, *out);
        else
            runQuery(*services, o.query, *out);
        out->flush();
        if (!*out) {
            err << "Error: cannot write the output\n";
            return 1;
        }
        return 0;
    } catch (const std::exception& e) {
        err << "Error: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace cli
