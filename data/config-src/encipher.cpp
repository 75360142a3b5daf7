// Enciphers one configuration file: encipher IN OUT. Built by regenerate.sh
// when the project's own command-line tool is not at hand.
#include <cstdio>
#include <string>

#include "host/xml_cipher.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s IN OUT\n", argv[0]);
        return 2;
    }
    std::string error;
    if (!tarnwick::EncipherFile(argv[1], argv[2], error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    return 0;
}
