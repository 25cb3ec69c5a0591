// The rules of the method dialog, without widgets: which editor each
// in-parameter gets, what its contents mean as an argument, and the texts
// the dialog shows.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "wmi/method_call.h"

namespace ui {

enum class EditorKind {
    Text,      // a line of text
    Number,    // a line checked as the parameter's number type
    CheckBox,  // a boolean
    Lines,     // an array: one element per line
    None,      // an embedded object, which cannot be typed in: never given
};

struct ParameterEditor {
    QString name;  // the parameter's, as declared
    EditorKind kind = EditorKind::Text;
    QString label;    // "Priority (sint32)"
    QString toolTip;  // its description, else its type
};

// One editor per in-parameter, in declaration order.
std::vector<ParameterEditor> MethodEditors(const wmi::MethodSignature& signature);

// What is wrong with the text for the parameter, or "" when it fits (empty
// text is fine: the parameter is then not given).
QString ValueProblem(const wmi::MethodParameter& parameter, const QString& text);

// The arguments from the editors' contents (one per in-parameter, in order;
// a check box gives "true" or "false"). An empty editor gives no argument:
// the parameter is not given.
wmi::MethodArguments ArgumentsFrom(const wmi::MethodSignature& signature,
                                   const std::vector<QString>& contents);

// What the method runs on: the class for a static method, else the selected
// instance's path; nullopt with `error` when a method of instances has none.
std::optional<std::string> CallTarget(const wmi::MethodSignature& signature,
                                      const std::string& instancePath, QString& error);

// The question asked before anything runs.
QString ConfirmText(const wmi::MethodSignature& signature, const QString& target);

}  // namespace ui
