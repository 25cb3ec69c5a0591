#include "ui/completion_names.h"

#include <exception>

#include "ui/text_codec.h"

namespace ui {

CompletionNames::CompletionNames(wmi::TWMI& wmi,
                                 std::function<std::vector<std::string>()> classNames)
    : wmi_(wmi), source_(std::move(classNames)) {}

QStringList CompletionNames::classNames() {
    if (!classesRead_ && source_) {
        classes_.clear();
        for (const std::string& name : source_()) classes_.push_back(fromSystem(name));
        classesRead_ = !classes_.isEmpty();
    }
    return classes_;
}

QStringList CompletionNames::propertiesOf(const QString& className) {
    if (auto known = properties_.find(className); known != properties_.end()) return known->second;
    QStringList names;
    try {
        wmi::TextList read;
        if (wmi_.ClassPropertyNames(toSystem(className), read))
            for (const std::string& name : read) names.push_back(fromSystem(name));
    } catch (const std::exception&) {
        // Offers nothing for this class; the query itself will tell what is wrong.
    }
    properties_.emplace(className, names);
    return names;
}

void CompletionNames::forget() {
    classesRead_ = false;
    classes_.clear();
    properties_.clear();
}

}  // namespace ui
