#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace corvane {

// The fields of a password record that the library needs.
struct UserRecord {
    std::string login_name;
    std::string home_directory;
};

// Result of a password-database lookup: error is the error number the lookup
// reported (0 when none); record is empty when there was an error or the
// database holds no entry for the user.
struct UserLookup {
    int error = 0;
    std::optional<UserRecord> record;
};

// Re-entrant lookup of a user id, safe on any thread.
UserLookup find_user_record(uid_t uid);

// The home directory of a user. When the lookup fails or finds no record, a
// warning is logged and the HOME variable is used, or the empty string when
// that is unset too.
std::string home_directory_of(uid_t uid);

}  // namespace corvane
