// InstanceLineBox: the instance lines the instance thread delivers. The lines
// are instance names rendered in the local code page; the box keeps those bytes and
// shows them decoded, and keeps each line's object path with it, so that a
// line finds its own instance in whatever order the lines stand. Sorted until
// an enumeration turns sorting off.
#pragma once

#include <QListWidget>
#include <string>

#include "wmi/target_list.h"

namespace ui {

class InstanceLineBox : public QListWidget, public wmi::TargetList {
    Q_OBJECT

  public:
    explicit InstanceLineBox(QWidget* parent = nullptr);

    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted);

    // wmi::TargetList, on the window thread.
    using wmi::TargetList::append;
    using wmi::TargetList::setLine;
    void clear() override;
    int count() const override;
    std::string line(int index) const override;
    wmi::LinePath path(int index) const override;
    void setLine(int index, const std::string& text, const wmi::LinePath& path) override;
    void append(const std::string& text, const wmi::LinePath& path) override;
    void deleteLast() override;

  private:
    bool sorted_ = true;
};

}  // namespace ui
