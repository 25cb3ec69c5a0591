#include "ui/method_form.h"

#include "wbem/repository/value_text.h"

namespace ui {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

EditorKind kindOf(const wbem::CimTypeDecl& type) {
    if (type.type == wbem::CimType::Object) return EditorKind::None;
    if (type.isArray) return EditorKind::Lines;
    if (type.type == wbem::CimType::Boolean) return EditorKind::CheckBox;
    if (wbem::isIntegerType(type.type) && type.type != wbem::CimType::Char16)
        return EditorKind::Number;
    if (wbem::isRealType(type.type)) return EditorKind::Number;
    return EditorKind::Text;
}

}  // namespace

std::vector<ParameterEditor> MethodEditors(const wmi::MethodSignature& signature) {
    std::vector<ParameterEditor> out;
    for (const auto& p : signature.in) {
        ParameterEditor e;
        e.name = text(p.name);
        e.kind = kindOf(p.type);
        e.label = QStringLiteral("%1 (%2)").arg(e.name, text(p.typeText));
        e.toolTip = p.description.empty() ? text(p.typeText) : text(p.description);
        if (e.kind == EditorKind::Lines) e.toolTip += QStringLiteral("\nOne element per line.");
        if (e.kind == EditorKind::None)
            e.toolTip +=
                QStringLiteral("\nAn embedded object cannot be typed in: it is not given.");
        out.push_back(std::move(e));
    }
    return out;
}

QString ValueProblem(const wmi::MethodParameter& parameter, const QString& value) {
    if (value.isEmpty() || kindOf(parameter.type) == EditorKind::CheckBox) return {};
    try {
        wbem::parseValueText(value.toStdString(), parameter.type);
        return {};
    } catch (const wbem::WbemError& e) {
        return QString::fromStdString(e.what());
    }
}

wmi::MethodArguments ArgumentsFrom(const wmi::MethodSignature& signature,
                                   const std::vector<QString>& contents) {
    wmi::MethodArguments out;
    for (size_t i = 0; i < signature.in.size() && i < contents.size(); ++i) {
        if (contents[i].isEmpty()) continue;
        out.emplace_back(signature.in[i].name, contents[i].toStdString());
    }
    return out;
}

std::optional<std::string> CallTarget(const wmi::MethodSignature& signature,
                                      const std::string& instancePath, QString& error) {
    if (signature.isStatic) return signature.className;
    if (!instancePath.empty()) return instancePath;
    error = QStringLiteral("%1 runs on an instance of %2: select one in the instance list first.")
                .arg(text(signature.name), text(signature.className));
    return std::nullopt;
}

QString ConfirmText(const wmi::MethodSignature& signature, const QString& target) {
    return QStringLiteral("Run the method %1 on %2?").arg(text(signature.name), target);
}

}  // namespace ui
