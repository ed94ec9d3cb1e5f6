#include "util/lin/UserDatabase.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "util/LogManager.h"
#include "util/lin/PosixUtils.h"

namespace corvane {

namespace {
constexpr size_t fallback_record_buffer_size = 16384;
// Bounds the retries on ERANGE, so a broken database cannot exhaust memory.
constexpr size_t max_record_buffer_size = 1 << 20;

size_t initial_record_buffer_size() {
    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    return suggested > 0 ? static_cast<size_t>(suggested) : fallback_record_buffer_size;
}
}  // namespace

UserLookup find_user_record(uid_t uid) {
    UserLookup lookup;
    std::vector<char> buffer(initial_record_buffer_size());
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        const int err = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (err == ERANGE && buffer.size() < max_record_buffer_size) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (err == EINTR) continue;
        lookup.error = err;
        if (err == 0 && found != nullptr)
            lookup.record = UserRecord{found->pw_name ? found->pw_name : "", found->pw_dir ? found->pw_dir : ""};
        return lookup;
    }
}

std::string home_directory_of(uid_t uid) {
    const UserLookup lookup = find_user_record(uid);
    if (lookup.record) return lookup.record->home_directory;

    const std::string reason = lookup.error != 0 ? PosixUtils::str_error(lookup.error)
                                                 : fmt::format("no password record for user id {:d}", uid);
    LogManager::warn("An error occurred while getting user home directory: {}", reason);
    // A user without a readable record (for example an id that exists only
    // inside a container) still has a session that names its home.
    const char* home = std::getenv("HOME");
    return home ? home : "";
}

}  // namespace corvane
