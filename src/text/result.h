#pragma once

// The one shape of an operation that can fail: its value, or the text that says why it failed.
//   Result<QString> r = ...;  if (!r) report(r.error()); else use(*r);
//   return fail(u"..."_s);     // from a function returning any Result<T>
//   return {};                 // success of a Result<>
// The standard's std::expected where the library has it; otherwise a small stand-in with the same
// members (has_value, operator bool, value, operator*, operator->, value_or, error, and_then, transform).
// The stand-in is [[nodiscard]]: a failure is said or handled, never dropped without a word. A build in
// C++23 mode compiles the project against std::expected too, so that the two cannot drift.

#include <QString>

#include <version>

#if defined(__cpp_lib_expected) && __cpp_lib_expected >= 202202L
#define ORVANE_STD_EXPECTED 1
#include <expected>

namespace orvane {

inline std::unexpected<QString> fail(QString error)
{
    return std::unexpected<QString>(std::move(error));
}

} // namespace orvane

#else
#include <optional>
#include <variant>

namespace orvane {

struct Failure
{
    QString error;
};

inline Failure fail(QString error)
{
    return Failure{std::move(error)};
}

} // namespace orvane

#endif

#include <functional>
#include <type_traits>
#include <utility>

namespace orvane::detail {

// and_then and transform, for a result type Derived of T that has has_value, operator* and error, and
// a fail() that makes its failure.
template <typename Derived, typename T> class Monadic
{
public:
    // The next step with the value, or this failure: f returns a Result of its own.
    template <typename F> auto and_then(F&& f) const&
    {
        if constexpr (std::is_void_v<T>) {
            using R = std::remove_cvref_t<std::invoke_result_t<F>>;
            return self().has_value() ? std::invoke(std::forward<F>(f)) : R(fail(self().error()));
        } else {
            using R = std::remove_cvref_t<std::invoke_result_t<F, const T&>>;
            return self().has_value() ? std::invoke(std::forward<F>(f), *self()) : R(fail(self().error()));
        }
    }
    // f's result from the value, or this failure.
    template <typename F> auto transform(F&& f) const&
    {
        if constexpr (std::is_void_v<T>) {
            using R = typename Derived::template Rebind<std::remove_cv_t<std::invoke_result_t<F>>>;
            return self().has_value() ? transformed<R>(std::forward<F>(f)) : R(fail(self().error()));
        } else {
            using R = typename Derived::template Rebind<std::remove_cv_t<std::invoke_result_t<F, const T&>>>;
            return self().has_value() ? transformed<R>(std::forward<F>(f), *self()) : R(fail(self().error()));
        }
    }

private:
    const Derived& self() const { return static_cast<const Derived&>(*this); }

    template <typename R, typename F, typename... Args> static R transformed(F&& f, Args&&... args)
    {
        if constexpr (std::is_void_v<std::invoke_result_t<F, Args...>>) {
            std::invoke(std::forward<F>(f), std::forward<Args>(args)...);
            return R();
        } else {
            return R(std::invoke(std::forward<F>(f), std::forward<Args>(args)...));
        }
    }
};

} // namespace orvane::detail

#ifdef ORVANE_STD_EXPECTED

namespace orvane {

#if __cpp_lib_expected >= 202211L
template <typename T = void> using Result = std::expected<T, QString>;
#else
// std::expected before its monadic members (libstdc++ 12): they are added.
template <typename T = void>
class [[nodiscard]] Result : public std::expected<T, QString>, public detail::Monadic<Result<T>, T>
{
public:
    using std::expected<T, QString>::expected;
    template <typename U> using Rebind = Result<U>;
};
#endif

} // namespace orvane

#else

namespace orvane {

template <typename T = void> class [[nodiscard]] Result : public detail::Monadic<Result<T>, T>
{
public:
    template <typename U> using Rebind = Result<U>;

    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : m_state(std::in_place_index<1>, std::move(failure.error)) {}

    bool has_value() const { return m_state.index() == 0; }
    explicit operator bool() const { return has_value(); }
    T& value() & { return std::get<0>(m_state); }
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    template <typename U> T value_or(U&& other) const&
    {
        return has_value() ? value() : T(std::forward<U>(other));
    }
    const QString& error() const { return std::get<1>(m_state); }

private:
    std::variant<T, QString> m_state;
};

template <> class [[nodiscard]] Result<void> : public detail::Monadic<Result<void>, void>
{
public:
    template <typename U> using Rebind = Result<U>;

    Result() = default;
    Result(Failure failure) : m_error(std::move(failure.error)) {}

    bool has_value() const { return !m_error; }
    explicit operator bool() const { return has_value(); }
    void value() const {}
    void operator*() const {}
    const QString& error() const { return *m_error; }

private:
    std::optional<QString> m_error;
};

} // namespace orvane

#endif
