// SQL on the host's attached files. Each call opens its own connection, so
// calls from several threads never share SQLite state.
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Sqlite.h"
#include "Utf.h"
#include "hostsdk/Data.h"
#include "hostsdk/Errors.h"
#include "hostsdk/ExprEnv.h"
#include "hostsdk/Host.h"
#include "hostsdk/Vectors.h"

namespace fmx {

namespace {

using hostsdk_detail::SqliteConnection;
using hostsdk_detail::SqliteStatement;

constexpr int kBusyTimeoutMs = 5000;
const QuadChar kFileDataType("FILE");

std::optional<hostsim::AttachedFile> resolve_file(const ExprEnv& env, const Text& fileName) {
    const auto& host = hostsim::Host::instance();
    if (fileName.GetSize() != 0) return host.find_file(fileName.GetUTF8());
    if (env.FileID() != 0) {
        if (auto file = host.find_file_by_id(env.FileID())) return file;
    }
    return host.current_file();
}

bool only_blanks_left(const char* tail) {
    if (tail == nullptr) return true;
    for (; *tail != '\0'; ++tail) {
        if (*tail != ' ' && *tail != '\t' && *tail != '\r' && *tail != '\n' && *tail != ';') return false;
    }
    return true;
}

int bind_parameter(sqlite3_stmt* statement, int index, const Data& parameter) {
    if (parameter.IsEmpty()) return sqlite3_bind_null(statement, index);
    switch (parameter.GetNativeType()) {
        case Data::kDTNumber:
        case Data::kDTBoolean: {
            const FixPt& number = parameter.GetAsNumber();
            const long double value = number.GetValue();
            if (value == std::trunc(value) && std::fabs(value) < 9e18L) {
                return sqlite3_bind_int64(statement, index, number.AsLong64());
            }
            return sqlite3_bind_double(statement, index, number.AsFloat());
        }
        case Data::kDTBinary: {
            // The first stream that carries data (not the file name or size).
            const BinaryData& container = parameter.GetBinaryData();
            for (FMX_Int32 i = 0; i < container.GetCount(); ++i) {
                QuadChar type;
                container.GetType(i, type);
                if (type == QuadChar("FNAM") || type == QuadChar("SIZE")) continue;
                std::vector<std::uint8_t> bytes(container.GetSize(i));
                container.GetData(i, 0, static_cast<FMX_UInt32>(bytes.size()), bytes.data());
                return sqlite3_bind_blob64(statement, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
            }
            return sqlite3_bind_null(statement, index);
        }
        default: {
            const std::string text = parameter.GetAsText().GetUTF8();
            return sqlite3_bind_text64(statement, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        }
    }
}

Data column_value(sqlite3_stmt* statement, int column) {
    Data value;
    switch (sqlite3_column_type(statement, column)) {
        case SQLITE_INTEGER: {
            FixPt number;
            number.AssignInt64(sqlite3_column_int64(statement, column));
            value.SetAsNumber(number);
            break;
        }
        case SQLITE_FLOAT: {
            FixPt number;
            number.AssignDouble(sqlite3_column_double(statement, column));
            value.SetAsNumber(number);
            break;
        }
        case SQLITE_TEXT: {
            const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
            const std::string_view text(bytes == nullptr ? "" : bytes,
                                        static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
            // Text values may hold NUL characters: convert by length.
            const auto units = hostsdk_detail::utf8_to_utf16(text);
            Text host_text;
            host_text.AssignUnicodeWithLength(units.data(), static_cast<FMX_UInt32>(units.size()));
            value.SetAsText(host_text, Locale());
            break;
        }
        case SQLITE_BLOB: {
            const void* bytes = sqlite3_column_blob(statement, column);
            const auto size = static_cast<FMX_UInt32>(sqlite3_column_bytes(statement, column));
            BinaryData container;
            container.Add(kFileDataType, bytes == nullptr ? 0 : size, bytes);
            value.SetBinaryData(container);
            break;
        }
        default:
            value.Clear(Data::kDTText);
            break;
    }
    return value;
}

// Runs the statement and collects its rows; 0 or a host error number.
FMX_ErrorCode run_sql(const ExprEnv& env, const Text& sql, const Text& fileName, const DataVect& parameters,
                      std::vector<DataVect>& rows) {
    const auto file = resolve_file(env, fileName);
    if (!file) return kErrFileMissing;

    sqlite3* raw_connection = nullptr;
    const int open_result =
        sqlite3_open_v2(file->path.c_str(), &raw_connection, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    SqliteConnection connection(raw_connection);
    if (open_result != SQLITE_OK) return kErrFileMissing;
    sqlite3_busy_timeout(connection.get(), kBusyTimeoutMs);

    const std::string query = sql.GetUTF8();
    sqlite3_stmt* raw_statement = nullptr;
    const char* tail = nullptr;
    const int prepare_result = sqlite3_prepare_v2(connection.get(), query.c_str(),
                                                  static_cast<int>(query.size()) + 1, &raw_statement, &tail);
    SqliteStatement statement(raw_statement);
    // One statement per call: a second one would run unseen.
    if (prepare_result != SQLITE_OK || !statement || !only_blanks_left(tail)) return kErrSQL;

    if (parameters.Size() > static_cast<FMX_UInt32>(sqlite3_bind_parameter_count(statement.get()))) {
        return kErrSQL;
    }
    for (FMX_UInt32 i = 0; i < parameters.Size(); ++i) {
        if (bind_parameter(statement.get(), static_cast<int>(i) + 1, parameters.At(i)) != SQLITE_OK) {
            return kErrSQL;
        }
    }

    const int columns = sqlite3_column_count(statement.get());
    for (;;) {
        const int step = sqlite3_step(statement.get());
        if (step == SQLITE_DONE) break;
        if (step != SQLITE_ROW) return kErrSQL;
        DataVect row;
        for (int column = 0; column < columns; ++column) row.PushBack(column_value(statement.get(), column));
        rows.push_back(std::move(row));
    }
    return kErrNone;
}

}  // namespace

FMX_ErrorCode ExprEnv::ExecuteFileSQL(const Text& sql, const Text& fileName, const DataVect& parameters,
                                      RowVect& result) const {
    std::vector<DataVect> rows;
    const FMX_ErrorCode error = run_sql(*this, sql, fileName, parameters, rows);
    result.Clear();
    if (error != kErrNone) return error;
    for (const auto& row : rows) result.PushBack(row);
    return kErrNone;
}

FMX_ErrorCode ExprEnv::ExecuteFileSQLTextResult(const Text& sql, const Text& fileName, const DataVect& parameters,
                                                Data& result, FMX_UInt16 colSep, FMX_UInt16 rowSep) const {
    std::vector<DataVect> rows;
    const FMX_ErrorCode error = run_sql(*this, sql, fileName, parameters, rows);
    Text joined;
    if (error == kErrNone) {
        std::vector<FMX_Unichar> units;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (r > 0) units.push_back(rowSep);
            for (FMX_UInt32 c = 0; c < rows[r].Size(); ++c) {
                if (c > 0) units.push_back(colSep);
                const auto& cell = rows[r].At(c).GetAsText().GetUnits();
                units.insert(units.end(), cell.begin(), cell.end());
            }
        }
        joined.AssignUnicodeWithLength(units.data(), static_cast<FMX_UInt32>(units.size()));
    }
    result.SetAsText(joined, Locale());
    return error;
}

}  // namespace fmx
