// AXMLTree / AXMLTreeNode / AEnXMLTree: the host's XML reader interface over pugixml.
// All int results are nonzero on success. "Children" are element children only: text,
// comments and processing instructions are never counted or returned.
#pragma once

#include <cstddef>
#include <pugixml.hpp>
#include <string>
#include <utility>

#include "host/astring.h"

namespace tarnwick {

// A handle to one element of a tree; default-constructed it refers to nothing. It stays valid
// only as long as the tree is neither destroyed nor loaded again.
class AXMLTreeNode {
  public:
    AXMLTreeNode() = default;
    explicit AXMLTreeNode(pugi::xml_node node) : m_node(node) {}

    bool IsEmpty() const { return !m_node; }
    pugi::xml_node raw() const { return m_node; }

  private:
    pugi::xml_node m_node;
};

class AXMLTree {
  public:
    // rootName is kept for the host's interface; the document element's name is not checked.
    explicit AXMLTree(const char* rootName);
    virtual ~AXMLTree();
    AXMLTree(const AXMLTree&) = delete;
    AXMLTree& operator=(const AXMLTree&) = delete;

    // flag is the host's load option; every value behaves the same here.
    int loadFromFile(const char* path, int flag);
    int loadXML(const char* text, int flag);

    int getRootNode(AXMLTreeNode& out) const;
    // On failure out is left untouched.
    int getChild(const char* name, const AXMLTreeNode& parent, AXMLTreeNode& out) const;
    int getChild(int index, const AXMLTreeNode& parent, AXMLTreeNode& out) const;
    int getChildCount(const AXMLTreeNode& node) const;

    AString getName(const AXMLTreeNode& node) const;
    AString getAttribute(const AXMLTreeNode& node, const char* name) const;  // "" when absent
    AString getValue(const AXMLTreeNode& node) const;  // the element's own text

    // Why the last load failed; empty after a successful one.
    const std::string& lastError() const { return m_lastError; }

  protected:
    int loadBuffer(const char* data, size_t size);
    void reset();  // empties the tree and the error
    void setError(std::string error) { m_lastError = std::move(error); }

  private:
    std::string m_rootName;
    pugi::xml_document m_doc;
    // Callers walk children by index, one after the other; remembering the
    // last answer keeps that walk linear instead of quadratic.
    mutable pugi::xml_node m_cursorParent;
    mutable pugi::xml_node m_cursorChild;
    mutable int m_cursorIndex = 0;
    std::string m_lastError;
};

// A tree loaded from an enciphered configuration file (host/xml_cipher.h).
class AEnXMLTree : public AXMLTree {
  public:
    explicit AEnXMLTree(const char* rootName);
    // Refuses plain, damaged or truncated files (0, with lastError saying which).
    int loadFromFileEn(const char* path, int flag);
};

}  // namespace tarnwick
