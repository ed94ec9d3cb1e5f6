// Parameter lists and SQL result rows. Elements live at stable addresses:
// a reference from At() stays valid until Clear() or destruction.
#pragma once

#include <memory>
#include <vector>

#include "hostsdk/CallBlock.h"
#include "hostsdk/Data.h"
#include "hostsdk/Export.h"

namespace fmx {

class FMX_API DataVect {
public:
    DataVect();
    DataVect(const DataVect& other);
    DataVect(DataVect&& other) noexcept;
    DataVect& operator=(const DataVect& other);
    DataVect& operator=(DataVect&& other) noexcept;
    ~DataVect();

    FMX_UInt32 Size() const;
    bool IsEmpty() const;
    // Throws std::out_of_range for an index outside [0, Size()).
    const Data& At(FMX_UInt32 position) const;
    Data& At(FMX_UInt32 position);
    // Appends a copy.
    void PushBack(const Data& data);
    void Clear();

    // Host-side conveniences for reading arguments.
    const Text& AtAsText(FMX_UInt32 position) const;
    const FixPt& AtAsNumber(FMX_UInt32 position) const;

private:
    std::vector<std::unique_ptr<Data>> items_;
};

class FMX_API RowVect {
public:
    RowVect();
    RowVect(const RowVect& other);
    RowVect(RowVect&& other) noexcept;
    RowVect& operator=(const RowVect& other);
    RowVect& operator=(RowVect&& other) noexcept;
    ~RowVect();

    FMX_UInt32 Size() const;
    bool IsEmpty() const;
    // Throws std::out_of_range for an index outside [0, Size()).
    const DataVect& At(FMX_UInt32 position) const;
    DataVect& At(FMX_UInt32 position);
    // Appends a copy.
    void PushBack(const DataVect& row);
    void Clear();

private:
    std::vector<std::unique_ptr<DataVect>> rows_;
};

}  // namespace fmx
