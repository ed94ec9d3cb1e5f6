// The wrapper and the bridge are loaded into a host process that we do not
// control: they may ask only for libraries every Linux host has (and the
// bridge for the host's own library), and offer nothing but their entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct PcloseDeleter {
    void operator()(FILE* stream) const { pclose(stream); }
};

std::string output_of(const std::string& command) {
    const std::unique_ptr<FILE, PcloseDeleter> pipe(popen(command.c_str(), "r"));
    if (!pipe) return {};
    std::string output;
    char chunk[4096];
    for (size_t read; (read = fread(chunk, 1, sizeof chunk, pipe.get())) > 0;) output.append(chunk, read);
    return output;
}

std::string readelf(const std::string& options, const std::string& path) {
    return output_of(std::string(READELF_PATH) + " -W " + options + " '" + path + "' 2>&1");
}

// Entries of the dynamic section of one kind, e.g. NEEDED or SONAME:
// " 0x... (NEEDED)  Shared library: [libc.so.6]".
std::vector<std::string> dynamic_entries(const std::string& path, const std::string& kind) {
    std::vector<std::string> found;
    std::istringstream lines(readelf("-d", path));
    for (std::string line; std::getline(lines, line);) {
        if (line.find("(" + kind + ")") == std::string::npos) continue;
        const auto open = line.find('[');
        const auto close = line.find(']', open);
        if (open != std::string::npos && close != std::string::npos)
            found.push_back(line.substr(open + 1, close - open - 1));
    }
    return found;
}

// Dynamic symbols the object defines and lets others bind to. Lines read
// "Num: Value Size Type Bind Vis Ndx Name".
std::vector<std::string> exported_symbols(const std::string& path) {
    std::vector<std::string> found;
    std::istringstream lines(readelf("--dyn-syms", path));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string number, value, size, type, bind, visibility, section, name;
        if (!(fields >> number >> value >> size >> type >> bind >> visibility >> section >> name)) continue;
        if (number.back() != ':' || section == "UND") continue;
        if (bind != "GLOBAL" && bind != "WEAK" && bind != "UNIQUE") continue;
        found.push_back(name.substr(0, name.find('@')));
    }
    return found;
}

bool starts_with(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

bool is_one_of(const std::string& name, const std::vector<std::string>& names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool starts_with_one_of(const std::string& name, const std::vector<std::string>& prefixes) {
    for (const auto& prefix : prefixes)
        if (starts_with(name, prefix)) return true;
    return false;
}

// Libraries any host process already has: the C and C++ runtime, libm,
// libgcc_s, the dynamic loader (with its libdl), pthread and zlib.
const std::vector<std::string> system_libraries = {"libc.so.6",   "libstdc++.so.6",       "libm.so.6",
                                                   "libgcc_s.so.1", "ld-linux-x86-64.so.2", "libdl.so.2",
                                                   "libpthread.so.0", "libz.so.1"};
// A sanitizer build links the sanitizers' runtimes.
const std::vector<std::string> sanitizer_libraries = {"libasan.so.", "libubsan.so.", "libtsan.so."};
// The linker's own section markers, present in every shared object.
const std::vector<std::string> linker_symbols = {"_init", "_fini", "_edata", "_end", "__bss_start"};

struct ShippedObject {
    const char* name;
    std::string path;
    std::string soname;
    std::vector<std::string> own_libraries;
    std::vector<std::string> entries;
};

const std::vector<ShippedObject> shipped_objects = {
    {"wrapper", WRAPPER_PATH, "WrapperPlugin.fmx.2.001", {}, {"FMExternCallProc", "gFMX_ExternCallPtr"}},
    {"bridge",
     BRIDGE_PATH,
     "Tobrin3.fmx.2.0000",
     {"libFMWrapper.so"},
     {"WrapperFMExternCallProc", "gFMX_ExternCallPtr", "do_function"}},
};

TEST(ShippedObjectsTest, NeedOnlySystemLibrariesAndTheHostLibrary) {
    for (const auto& object : shipped_objects) {
        SCOPED_TRACE(object.name);
        const auto needed = dynamic_entries(object.path, "NEEDED");
        EXPECT_FALSE(needed.empty()) << readelf("-d", object.path);
        for (const auto& library : needed) {
            const bool allowed = is_one_of(library, system_libraries) || is_one_of(library, object.own_libraries) ||
                                 (SANITIZED_BUILD && starts_with_one_of(library, sanitizer_libraries));
            EXPECT_TRUE(allowed) << object.path << " needs " << library;
        }
    }
}

TEST(ShippedObjectsTest, ExportOnlyTheirEntries) {
    for (const auto& object : shipped_objects) {
        SCOPED_TRACE(object.name);
        const auto exported = exported_symbols(object.path);
        const std::set<std::string> exported_set(exported.begin(), exported.end());
        for (const auto& entry : object.entries) {
            EXPECT_EQ(exported_set.count(entry), 1u) << "missing " << entry;
        }
        for (const auto& symbol : exported) {
            const bool allowed = is_one_of(symbol, object.entries) || is_one_of(symbol, linker_symbols);
            EXPECT_TRUE(allowed) << object.path << " exports " << symbol;
        }
    }
}

TEST(ShippedObjectsTest, CarryTheirLibraryNames) {
    for (const auto& object : shipped_objects) {
        SCOPED_TRACE(object.name);
        EXPECT_EQ(dynamic_entries(object.path, "SONAME"), std::vector<std::string>{object.soname});
    }
}

}  // namespace
