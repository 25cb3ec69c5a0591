// The names the query boxes complete: the class list as the class browser
// loaded it, and each class's property names, read through the connection the
// first time a box needs them and kept until the class list is loaded anew,
// so that no key press waits for the service more than once per class.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "wmi/bw_wmi.h"

namespace ui {

class CompletionNames {
  public:
    // `classNames` gives the class list as loaded; the connection must
    // outlive this object.
    CompletionNames(wmi::TWMI& wmi, std::function<std::vector<std::string>()> classNames);

    // Asked again after forget() until a list that is not empty came back.
    QStringList classNames();
    // A class that cannot be read has no names, and is not asked again.
    QStringList propertiesOf(const QString& className);
    // The class list was loaded anew (perhaps of another namespace).
    void forget();

  private:
    wmi::TWMI& wmi_;
    std::function<std::vector<std::string>()> source_;
    bool classesRead_ = false;
    QStringList classes_;
    std::map<QString, QStringList> properties_;  // by class, as the list spells it
};

}  // namespace ui
