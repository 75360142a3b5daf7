#include "host/xml_tree.h"

#include <cstring>
#include <vector>

#include "host/file_bytes.h"

namespace tarnwick {

namespace {

bool IsElement(const pugi::xml_node& node) {
    return node.type() == pugi::node_element;
}

}  // namespace

AXMLTree::AXMLTree(const char* rootName) : m_rootName(rootName ? rootName : "") {}

AXMLTree::~AXMLTree() = default;

void AXMLTree::reset() {
    m_cursorParent = pugi::xml_node();
    m_cursorChild = pugi::xml_node();
    m_cursorIndex = 0;
    m_doc.reset();
    m_lastError.clear();
}

int AXMLTree::loadFromFile(const char* path, int /*flag*/) {
    reset();
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadFileBytes(path, kMaxConfigFileBytes, bytes, error)) {
        m_lastError = error;
        return 0;
    }
    if (!loadBuffer(reinterpret_cast<const char*>(bytes.data()), bytes.size())) {
        m_lastError = std::string(path) + ": " + m_lastError;
        return 0;
    }
    return 1;
}

int AXMLTree::loadXML(const char* text, int /*flag*/) {
    if (!text) {
        reset();
        m_lastError = "no XML text given";
        return 0;
    }
    return loadBuffer(text, std::strlen(text));
}

int AXMLTree::loadBuffer(const char* data, size_t size) {
    // pugixml leaves DOCTYPE declarations unparsed and expands no entities, so entity bombs
    // stay small; its parser is not recursive, so deep nesting cannot exhaust the stack.
    const pugi::xml_parse_result result =
        m_doc.load_buffer(data, size, pugi::parse_default, pugi::encoding_auto);
    if (!result) {
        m_doc.reset();  // pugixml keeps what it parsed before the error; callers must see nothing
        m_lastError = std::string("XML error at offset ") + std::to_string(result.offset) + ": " +
                      result.description();
        return 0;
    }
    m_lastError.clear();
    return 1;
}

int AXMLTree::getRootNode(AXMLTreeNode& out) const {
    const pugi::xml_node root = m_doc.document_element();
    if (!root) return 0;
    out = AXMLTreeNode(root);
    return 1;
}

int AXMLTree::getChild(const char* name, const AXMLTreeNode& parent, AXMLTreeNode& out) const {
    if (!name || parent.IsEmpty()) return 0;
    for (pugi::xml_node child : parent.raw().children()) {
        if (IsElement(child) && std::strcmp(child.name(), name) == 0) {
            out = AXMLTreeNode(child);
            return 1;
        }
    }
    return 0;
}

int AXMLTree::getChild(int index, const AXMLTreeNode& parent, AXMLTreeNode& out) const {
    if (index < 0 || parent.IsEmpty()) return 0;
    pugi::xml_node child;
    int seen = 0;
    if (m_cursorParent == parent.raw() && m_cursorChild && index >= m_cursorIndex) {
        child = m_cursorChild;
        seen = m_cursorIndex;
    } else {
        child = parent.raw().first_child();
        while (child && !IsElement(child)) child = child.next_sibling();
    }
    while (child && seen < index) {
        child = child.next_sibling();
        while (child && !IsElement(child)) child = child.next_sibling();
        ++seen;
    }
    if (!child) return 0;
    m_cursorParent = parent.raw();
    m_cursorChild = child;
    m_cursorIndex = index;
    out = AXMLTreeNode(child);
    return 1;
}

int AXMLTree::getChildCount(const AXMLTreeNode& node) const {
    int count = 0;
    for (pugi::xml_node child : node.raw().children()) {
        if (IsElement(child)) ++count;
    }
    return count;
}

AString AXMLTree::getName(const AXMLTreeNode& node) const {
    return AString(node.raw().name());
}

AString AXMLTree::getAttribute(const AXMLTreeNode& node, const char* name) const {
    if (!name) return AString();
    return AString(node.raw().attribute(name).value());
}

AString AXMLTree::getValue(const AXMLTreeNode& node) const {
    return AString(node.raw().child_value());
}

}  // namespace tarnwick
