#include "hostsdk/Vectors.h"

#include <fmt/format.h>

#include <stdexcept>

namespace fmx {

namespace {

template <class T>
std::vector<std::unique_ptr<T>> deep_copy(const std::vector<std::unique_ptr<T>>& items) {
    std::vector<std::unique_ptr<T>> copy;
    copy.reserve(items.size());
    for (const auto& item : items) copy.push_back(std::make_unique<T>(*item));
    return copy;
}

template <class T>
T& element(const std::vector<std::unique_ptr<T>>& items, FMX_UInt32 position, const char* what) {
    if (position >= items.size()) {
        throw std::out_of_range(fmt::format("{} index {} out of range (size {})", what, position, items.size()));
    }
    return *items[position];
}

}  // namespace

DataVect::DataVect() = default;
DataVect::DataVect(const DataVect& other) : items_(deep_copy(other.items_)) {}
DataVect::DataVect(DataVect&& other) noexcept = default;
DataVect& DataVect::operator=(const DataVect& other) {
    if (this != &other) items_ = deep_copy(other.items_);
    return *this;
}
DataVect& DataVect::operator=(DataVect&& other) noexcept = default;
DataVect::~DataVect() = default;

FMX_UInt32 DataVect::Size() const { return static_cast<FMX_UInt32>(items_.size()); }
bool DataVect::IsEmpty() const { return items_.empty(); }
const Data& DataVect::At(FMX_UInt32 position) const { return element(items_, position, "DataVect"); }
Data& DataVect::At(FMX_UInt32 position) { return element(items_, position, "DataVect"); }
void DataVect::PushBack(const Data& data) { items_.push_back(std::make_unique<Data>(data)); }
void DataVect::Clear() { items_.clear(); }
const Text& DataVect::AtAsText(FMX_UInt32 position) const { return At(position).GetAsText(); }
const FixPt& DataVect::AtAsNumber(FMX_UInt32 position) const { return At(position).GetAsNumber(); }

RowVect::RowVect() = default;
RowVect::RowVect(const RowVect& other) : rows_(deep_copy(other.rows_)) {}
RowVect::RowVect(RowVect&& other) noexcept = default;
RowVect& RowVect::operator=(const RowVect& other) {
    if (this != &other) rows_ = deep_copy(other.rows_);
    return *this;
}
RowVect& RowVect::operator=(RowVect&& other) noexcept = default;
RowVect::~RowVect() = default;

FMX_UInt32 RowVect::Size() const { return static_cast<FMX_UInt32>(rows_.size()); }
bool RowVect::IsEmpty() const { return rows_.empty(); }
const DataVect& RowVect::At(FMX_UInt32 position) const { return element(rows_, position, "RowVect"); }
DataVect& RowVect::At(FMX_UInt32 position) { return element(rows_, position, "RowVect"); }
void RowVect::PushBack(const DataVect& row) { rows_.push_back(std::make_unique<DataVect>(row)); }
void RowVect::Clear() { rows_.clear(); }

}  // namespace fmx
