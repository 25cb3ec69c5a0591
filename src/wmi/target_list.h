// The list the instance thread fills: the window's instance list box
// implements it. Called on the window thread only.
//
// Each line may carry the path of the object it names. A line of an instance
// carries the instance's path as the object reports it, "" when the instance
// has none (a class without keys, a key left null); the lines of no instance
// (the placeholder, an error) carry no path at all.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace wmi {

using LinePath = std::optional<std::string>;

class TargetList {
  public:
    virtual ~TargetList() = default;
    virtual void clear() = 0;
    virtual int count() const = 0;
    virtual std::string line(int index) const = 0;
    virtual LinePath path(int index) const = 0;
    virtual void setLine(int index, const std::string& text, const LinePath& path) = 0;
    virtual void append(const std::string& text, const LinePath& path) = 0;
    virtual void deleteLast() = 0;

    // A line of no object.
    void setLine(int index, const std::string& text) { setLine(index, text, std::nullopt); }
    void append(const std::string& text) { append(text, std::nullopt); }
};

// A plain list of lines, for callers without a list box.
class PlainTargetList : public TargetList {
  public:
    using TargetList::append;
    using TargetList::setLine;

    void clear() override {
        lines.clear();
        paths.clear();
    }
    int count() const override { return static_cast<int>(lines.size()); }
    std::string line(int index) const override { return lines[static_cast<size_t>(index)]; }
    LinePath path(int index) const override { return paths[static_cast<size_t>(index)]; }
    void setLine(int index, const std::string& text, const LinePath& path) override {
        lines[static_cast<size_t>(index)] = text;
        paths[static_cast<size_t>(index)] = path;
    }
    void append(const std::string& text, const LinePath& path) override {
        lines.push_back(text);
        paths.push_back(path);
    }
    void deleteLast() override {
        lines.pop_back();
        paths.pop_back();
    }

    std::vector<std::string> lines;
    std::vector<LinePath> paths;  // one per line
};

}  // namespace wmi
