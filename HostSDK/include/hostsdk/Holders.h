// Owning holders of host objects: a default-constructed holder owns a new
// object (a new ExprEnvUniquePtr is the caller's current environment).
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

#include "hostsdk/BinaryData.h"
#include "hostsdk/Data.h"
#include "hostsdk/DateTime.h"
#include "hostsdk/ExprEnv.h"
#include "hostsdk/FixPt.h"
#include "hostsdk/Locale.h"
#include "hostsdk/QuadChar.h"
#include "hostsdk/Text.h"
#include "hostsdk/TextStyle.h"
#include "hostsdk/Vectors.h"

namespace fmx {

template <class T>
class UniquePtr {
public:
    // A new object built from `args` (none: the default object).
    template <class... Args,
              class = std::enable_if_t<!(sizeof...(Args) == 1 &&
                                         (std::is_same_v<std::decay_t<Args>, UniquePtr> && ...))>>
    explicit UniquePtr(Args&&... args) : object_(std::make_unique<T>(std::forward<Args>(args)...)) {}

    UniquePtr(const UniquePtr&) = delete;
    UniquePtr& operator=(const UniquePtr&) = delete;
    UniquePtr(UniquePtr&&) noexcept = default;
    UniquePtr& operator=(UniquePtr&&) noexcept = default;
    ~UniquePtr() = default;

    T* operator->() const { return object_.get(); }
    T& operator*() const { return *object_; }
    T* get() const { return object_.get(); }
    // Gives up ownership; the caller owns the object from then on.
    T* release() { return object_.release(); }
    explicit operator bool() const { return static_cast<bool>(object_); }

private:
    std::unique_ptr<T> object_;
};

typedef UniquePtr<Text> TextUniquePtr;
typedef UniquePtr<Data> DataUniquePtr;
typedef UniquePtr<BinaryData> BinaryDataUniquePtr;
typedef UniquePtr<DataVect> DataVectUniquePtr;
typedef UniquePtr<RowVect> RowVectUniquePtr;
typedef UniquePtr<DateTime> DateTimeUniquePtr;
typedef UniquePtr<FixPt> FixPtUniquePtr;
typedef UniquePtr<QuadChar> QuadCharUniquePtr;
typedef UniquePtr<Locale> LocaleUniquePtr;
typedef UniquePtr<CharacterStyle> CharacterStyleUniquePtr;
typedef UniquePtr<CharacterStyle::Color> ColorUniquePtr;
typedef UniquePtr<ExprEnv> ExprEnvUniquePtr;

}  // namespace fmx
