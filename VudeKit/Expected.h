#pragma once
// A value or an error, for operations whose failures are ordinary outcomes
// (a file that cannot be read, a tool that fails). The subset of C++23's
// std::expected that the project uses, with the same names, so it can be
// swapped for the standard type later.

#include <cassert>
#include <type_traits>
#include <utility>
#include <variant>

template <typename E>
class Unexpected {
public:
    explicit Unexpected(E error) : m_error(std::move(error)) {}
    const E& error() const& { return m_error; }
    E&& error() && { return std::move(m_error); }

private:
    E m_error;
};

template <typename E>
Unexpected<std::decay_t<E>> unexpected(E&& error)
{
    return Unexpected<std::decay_t<E>>(std::forward<E>(error));
}

template <typename T, typename E>
class Expected {
public:
    Expected(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    template <typename G>
    Expected(Unexpected<G> error) : m_state(std::in_place_index<1>, std::move(error).error()) {}

    bool has_value() const { return m_state.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() & { assert(has_value()); return std::get<0>(m_state); }
    const T& value() const& { assert(has_value()); return std::get<0>(m_state); }
    T&& value() && { assert(has_value()); return std::get<0>(std::move(m_state)); }
    const E& error() const { assert(!has_value()); return std::get<1>(m_state); }

    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    template <typename U>
    T value_or(U&& fallback) const { return has_value() ? value() : T(std::forward<U>(fallback)); }

    friend bool operator==(const Expected&, const Expected&) = default;

private:
    std::variant<T, E> m_state;
};

template <typename E>
class Expected<void, E> {
public:
    Expected() = default;
    template <typename G>
    Expected(Unexpected<G> error) : m_error(std::move(error).error()), m_failed(true) {}

    bool has_value() const { return !m_failed; }
    explicit operator bool() const { return has_value(); }
    const E& error() const { assert(m_failed); return m_error; }

private:
    E m_error{};
    bool m_failed = false;
};
