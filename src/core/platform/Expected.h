#pragma once

#include <utility>
#include <variant>

namespace voxilo {

// The error side of an Expected, spelled out at the return site: `return Unexpected{err};`.
template <class E>
struct Unexpected {
    E error;
};
template <class E>
Unexpected(E) -> Unexpected<E>;

// A value or the reason there is none. The core reports failures this way instead of throwing
// across the library boundary; std::expected would do the same once we move to C++23.
template <class T, class E>
class [[nodiscard]] Expected {
public:
    Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Expected(Unexpected<E> failure) : state_(std::in_place_index<1>, std::move(failure.error)) {}

    bool hasValue() const noexcept { return state_.index() == 0; }
    explicit operator bool() const noexcept { return hasValue(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const E& error() const { return std::get<1>(state_); }

private:
    std::variant<T, E> state_;
};

}  // namespace voxilo
