// Safe reading of XML that comes from other machines, over libxml2: no DTDs,
// no entity expansion, no network, bounded size and depth. Plus a few
// helpers to walk elements by local name, whatever prefix the sender chose.
#pragma once

#include <libxml/tree.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace wbem::xml {

// A document that could not be read; the text says why (with the line).
class XmlError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct ParseLimits {
    size_t maxBytes = size_t(64) << 20;
    int maxDepth = 256;
};

class Document {
  public:
    // Throws XmlError for empty or malformed input, input over maxBytes or
    // nested deeper than maxDepth, and any document with a DOCTYPE or an
    // entity declaration.
    static Document parse(std::string_view bytes, const ParseLimits& limits = {});

    const xmlNode* root() const;

  private:
    struct Free {
        void operator()(xmlDoc* d) const;
    };
    std::unique_ptr<xmlDoc, Free> doc_;
};

std::string_view localName(const xmlNode* element);
std::string_view namespaceUri(const xmlNode* element);  // "" when none
// The attribute by local name, in any namespace or none; nullopt when absent.
std::optional<std::string> attribute(const xmlNode* element, std::string_view localName);
// The text of the element and its descendants, as one string.
std::string text(const xmlNode* element);
// Element children only; with a name, only those of that local name.
const xmlNode* firstChild(const xmlNode* element, std::string_view localName = {});
const xmlNode* nextSibling(const xmlNode* element, std::string_view localName = {});

// Text for XML content or an attribute value: markup characters, quotes and
// CR as references, so that a reader gets the same characters back.
std::string escape(std::string_view text);

// for (const xmlNode* c : children(node)) ... over element children.
class ChildRange {
  public:
    class Iterator {
      public:
        Iterator(const xmlNode* n, std::string_view name) : n_(n), name_(name) {}
        const xmlNode* operator*() const { return n_; }
        Iterator& operator++() {
            n_ = nextSibling(n_, name_);
            return *this;
        }
        bool operator!=(const Iterator& o) const { return n_ != o.n_; }

      private:
        const xmlNode* n_;
        std::string_view name_;
    };
    ChildRange(const xmlNode* parent, std::string_view name) : parent_(parent), name_(name) {}
    Iterator begin() const { return {parent_ ? firstChild(parent_, name_) : nullptr, name_}; }
    Iterator end() const { return {nullptr, name_}; }

  private:
    const xmlNode* parent_;
    std::string_view name_;
};
inline ChildRange children(const xmlNode* parent, std::string_view localName = {}) {
    return {parent, localName};
}

}  // namespace wbem::xml
