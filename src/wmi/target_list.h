// The list the instance thread fills: the window's instance list box
// implements it. Called on the window thread only.
#pragma once

#include <string>
#include <vector>

namespace wmi {

class TargetList {
  public:
    virtual ~TargetList() = default;
    virtual void clear() = 0;
    virtual int count() const = 0;
    virtual std::string line(int index) const = 0;
    virtual void setLine(int index, const std::string& text) = 0;
    virtual void append(const std::string& text) = 0;
    virtual void deleteLast() = 0;
};

// A plain list of lines, for callers without a list box.
class PlainTargetList : public TargetList {
  public:
    void clear() override { lines.clear(); }
    int count() const override { return static_cast<int>(lines.size()); }
    std::string line(int index) const override { return lines[static_cast<size_t>(index)]; }
    void setLine(int index, const std::string& text) override {
        lines[static_cast<size_t>(index)] = text;
    }
    void append(const std::string& text) override { lines.push_back(text); }
    void deleteLast() override { lines.pop_back(); }

    std::vector<std::string> lines;
};

}  // namespace wmi
