// AEnXMLTree (declared in host/xml_tree.h): deciphers, then parses as a plain tree.
#include <vector>

#include "host/file_bytes.h"
#include "host/xml_cipher.h"
#include "host/xml_tree.h"

namespace tarnwick {

AEnXMLTree::AEnXMLTree(const char* rootName) : AXMLTree(rootName) {}

int AEnXMLTree::loadFromFileEn(const char* path, int /*flag*/) {
    reset();
    std::vector<uint8_t> data;
    std::string error;
    if (!ReadFileBytes(path, kMaxConfigFileBytes + kEncipheredHeaderBytes, data, error)) {
        setError(error);
        return 0;
    }
    std::vector<uint8_t> plain;
    if (!DecipherXml(data, plain, error)) {
        setError(std::string(path) + ": " + error);
        return 0;
    }
    if (!loadBuffer(reinterpret_cast<const char*>(plain.data()), plain.size())) {
        setError(std::string(path) + ": " + lastError());
        return 0;
    }
    return 1;
}

}  // namespace tarnwick
