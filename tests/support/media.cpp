#include "support/media.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace reel::test {

std::string mediaPath(const std::string& name) {
    const char* dir = std::getenv("REEL_TEST_MEDIA");
    return std::string(dir ? dir : "test-media") + "/" + name;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), std::streamsize(bytes.size()));
}

}  // namespace reel::test
