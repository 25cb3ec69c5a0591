#include "xml_doc.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <mutex>

namespace wbem::xml {

namespace {

std::string_view view(const xmlChar* s) {
    return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

// What the SAX hooks found; reached through the parser context's _private.
struct ParseGuard {
    int maxDepth = 0;
    int depth = 0;
    std::string refusal;  // why the parser was stopped, empty while all is well
    long line = 0;
};

ParseGuard& guardOf(void* ctx) {
    return *static_cast<ParseGuard*>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
}

long currentLine(xmlParserCtxtPtr ctxt) { return ctxt->input ? long(ctxt->input->line) : 0; }

void refuse(void* ctx, const char* why) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    ParseGuard& g = guardOf(ctx);
    if (g.refusal.empty()) {
        g.refusal = why;
        g.line = currentLine(ctxt);
    }
    xmlStopParser(ctxt);
}

// A DOCTYPE is refused as soon as it is seen, before its internal subset
// (and any entity declared there) is read: that is where entity expansion
// attacks start.
void onInternalSubset(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
    refuse(ctx, "a DOCTYPE is not accepted");
}

void onEntityDecl(void* ctx, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
    refuse(ctx, "an entity declaration is not accepted");
}

void onStartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                    int nbNamespaces, const xmlChar** namespaces, int nbAttributes, int nbDefaulted,
                    const xmlChar** attributes) {
    ParseGuard& g = guardOf(ctx);
    if (++g.depth > g.maxDepth) {
        refuse(ctx, ("elements are nested deeper than " + std::to_string(g.maxDepth)).c_str());
        return;
    }
    xmlSAX2StartElementNs(ctx, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes,
                          nbDefaulted, attributes);
}

void onEndElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri) {
    --guardOf(ctx).depth;
    xmlSAX2EndElementNs(ctx, localname, prefix, uri);
}

// Errors are taken from the context after the parse; nothing is printed.
void silence(void*, xmlErrorPtr) {}

struct CtxtFree {
    void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};

std::string lastErrorText(xmlParserCtxtPtr ctxt) {
    const xmlError* e = xmlCtxtGetLastError(ctxt);
    if (!e || e->code == XML_ERR_OK) return "malformed XML";
    std::string msg = e->message ? e->message : "malformed XML";
    while (!msg.empty() && (msg.back() == '\n' || msg.back() == ' ')) msg.pop_back();
    return "XML error at line " + std::to_string(e->line) + ": " + msg;
}

}  // namespace

void Document::Free::operator()(xmlDoc* d) const { xmlFreeDoc(d); }

Document Document::parse(std::string_view bytes, const ParseLimits& limits) {
    if (bytes.empty()) throw XmlError("empty XML document");
    if (bytes.size() > limits.maxBytes || bytes.size() > size_t(INT_MAX)) {
        throw XmlError("XML document of " + std::to_string(bytes.size()) +
                       " bytes is over the limit of " + std::to_string(limits.maxBytes) + " bytes");
    }
    static std::once_flag initOnce;
    std::call_once(initOnce, [] { xmlInitParser(); });

    std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt || !ctxt->sax) throw XmlError("out of memory for the XML parser");
    ParseGuard guard;
    guard.maxDepth = limits.maxDepth;
    ctxt->_private = &guard;
    xmlSAXHandler* sax = ctxt->sax;
    sax->internalSubset = onInternalSubset;
    sax->externalSubset = onInternalSubset;
    sax->entityDecl = onEntityDecl;
    sax->startElementNs = onStartElement;
    sax->endElementNs = onEndElement;
    sax->serror = silence;

    // Never XML_PARSE_NOENT (entity substitution), DTDLOAD or HUGE.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                        XML_PARSE_NOCDATA | XML_PARSE_BIG_LINES;
    xmlDoc* raw =
        xmlCtxtReadMemory(ctxt.get(), bytes.data(), int(bytes.size()), nullptr, nullptr, options);
    Document d;
    d.doc_.reset(raw);
    if (!guard.refusal.empty()) {
        throw XmlError("XML refused at line " + std::to_string(guard.line) + ": " + guard.refusal);
    }
    if (!raw || !ctxt->wellFormed) throw XmlError(lastErrorText(ctxt.get()));
    if (raw->intSubset || raw->extSubset) throw XmlError("XML refused: a DOCTYPE is not accepted");
    if (!xmlDocGetRootElement(raw)) throw XmlError("XML document without an element");
    return d;
}

const xmlNode* Document::root() const { return xmlDocGetRootElement(doc_.get()); }

std::string_view localName(const xmlNode* element) { return element ? view(element->name) : ""; }

std::string_view namespaceUri(const xmlNode* element) {
    return element && element->ns ? view(element->ns->href) : "";
}

std::optional<std::string> attribute(const xmlNode* element, std::string_view name) {
    if (!element || element->type != XML_ELEMENT_NODE) return std::nullopt;
    for (const xmlAttr* a = element->properties; a; a = a->next) {
        if (view(a->name) != name) continue;
        std::string out;
        for (const xmlNode* c = a->children; c; c = c->next)
            if (c->content) out += view(c->content);
        return out;
    }
    return std::nullopt;
}

std::string text(const xmlNode* element) {
    std::string out;
    if (!element) return out;
    // Walked without recursion: depth is bounded at parse, but the stack
    // should not depend on it.
    const xmlNode* n = element->children;
    while (n) {
        if ((n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) && n->content)
            out += view(n->content);
        if (n->type == XML_ELEMENT_NODE && n->children) {
            n = n->children;
            continue;
        }
        while (n && !n->next) {
            n = n->parent;
            if (n == element) return out;
        }
        if (n) n = n->next;
    }
    return out;
}

namespace {

const xmlNode* elementFrom(const xmlNode* n, std::string_view name) {
    for (; n; n = n->next)
        if (n->type == XML_ELEMENT_NODE && (name.empty() || view(n->name) == name)) return n;
    return nullptr;
}

}  // namespace

const xmlNode* firstChild(const xmlNode* element, std::string_view name) {
    return element ? elementFrom(element->children, name) : nullptr;
}

const xmlNode* nextSibling(const xmlNode* element, std::string_view name) {
    return element ? elementFrom(element->next, name) : nullptr;
}

std::string escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            case '\r':
                out += "&#13;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace wbem::xml
