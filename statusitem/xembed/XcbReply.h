#pragma once

#include <cstdlib>
#include <memory>

namespace kalvix {

// xcb hands its replies over as malloc'd memory for the caller to free.
template <typename T> struct FreeXcbReply {
    void operator()(T* p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeXcbReply<T>>;

} // namespace kalvix
