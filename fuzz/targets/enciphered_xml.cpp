// The enciphered configuration loader: the input as an enciphered file, where only an intact
// encipherment is accepted, and the input as the plain text of one, which must read exactly as
// the same text stored plain.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "host/xml_cipher.h"
#include "host/xml_tree.h"

namespace tarnwick::fuzz {
namespace {

// Reads names, attributes and texts of the first 4096 elements (at most 256 children each), as
// the configuration readers do.
int Walk(const AXMLTree& tree) {
    AXMLTreeNode root;
    if (!tree.getRootNode(root)) return 0;
    int seen = 0;
    for (std::vector<AXMLTreeNode> pending{root}; !pending.empty() && seen < 4096; ++seen) {
        const AXMLTreeNode node = pending.back();
        pending.pop_back();
        (void)tree.getName(node);
        (void)tree.getAttribute(node, "ID");
        (void)tree.getValue(node);
        for (int i = 0; i < std::min(tree.getChildCount(node), 256); ++i) {
            AXMLTreeNode child;
            if (tree.getChild(i, node, child)) pending.push_back(child);
        }
    }
    return seen;
}

}  // namespace

int FuzzEncipheredXml(const uint8_t* data, size_t size) {
    Invariants check("enciphered_xml");
    FuzzRun run;
    const std::span<const uint8_t> input(data, size);

    std::vector<uint8_t> plain;
    std::string error;
    const bool intact = DecipherXml(input, plain, error);
    if (intact) {
        check.Check(EncipherXml(plain) == std::vector<uint8_t>(data, data + size),
                    "an accepted file is exactly the encipherment of its text");
    } else {
        check.Check(!error.empty() && plain.empty(), "a refused file says why and gives nothing");
    }
    const std::string stored = run.File("stored.xml");
    if (WriteBytes(stored, input)) {
        AEnXMLTree tree("RootElement");
        const int loaded = tree.loadFromFileEn(stored.c_str(), 1);
        if (!intact) check.Check(loaded == 0, "a file the decipherer refuses does not load");
        if (loaded == 0) check.Check(!tree.lastError().empty(), "a failed load says why");
        Walk(tree);
    }

    // The input as plain text: enciphered, it must load exactly when it loads stored plain.
    const std::string enciphered = run.File("enciphered.xml");
    const std::string plainFile = run.File("plain.xml");
    if (WriteBytes(enciphered, EncipherXml(input)) && WriteBytes(plainFile, input)) {
        AEnXMLTree viaCipher("RootElement");
        AXMLTree direct("RootElement");
        check.Check(viaCipher.loadFromFileEn(enciphered.c_str(), 1) ==
                        direct.loadFromFile(plainFile.c_str(), 1),
                    "enciphering does not change whether a text loads");
        check.Check(Walk(viaCipher) == Walk(direct), "enciphering does not change the tree");
    }
    return check.failures();
}

}  // namespace tarnwick::fuzz
