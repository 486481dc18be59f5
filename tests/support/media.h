#pragma once

// The media tests/media/make-media.sh made, and whole files read and written.

#include <string>

namespace reel::test {

std::string mediaPath(const std::string& name);
std::string slurp(const std::string& path);
void spit(const std::string& path, const std::string& bytes);

}  // namespace reel::test
