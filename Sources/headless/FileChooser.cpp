#include "util/lin/FileUtils.h"

namespace corvane {

// No window system here, so nobody can choose: the answer is no file.
std::string FileUtils::show_file_chooser(const std::string&, bool, bool, bool, const std::string&) { return {}; }

}  // namespace corvane
