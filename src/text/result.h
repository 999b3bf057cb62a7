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
#include <expected>

namespace orvane {

template <typename T = void> using Result = std::expected<T, QString>;

inline std::unexpected<QString> fail(QString error)
{
    return std::unexpected<QString>(std::move(error));
}

} // namespace orvane

#else
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>
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

template <typename T = void> class [[nodiscard]] Result;

namespace detail {

// What transform makes of a function's result: a Result of it.
template <typename F, typename... Args>
using TransformResult = Result<std::remove_cv_t<std::invoke_result_t<F, Args...>>>;

template <typename R, typename F, typename... Args> R transformed(F&& f, Args&&... args)
{
    if constexpr (std::is_void_v<std::invoke_result_t<F, Args...>>) {
        std::invoke(std::forward<F>(f), std::forward<Args>(args)...);
        return R();
    } else {
        return R(std::invoke(std::forward<F>(f), std::forward<Args>(args)...));
    }
}

} // namespace detail

template <typename T> class [[nodiscard]] Result
{
public:
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

    // The next step with the value, or this failure: f returns a Result of its own.
    template <typename F> auto and_then(F&& f) const&
    {
        using R = std::remove_cvref_t<std::invoke_result_t<F, const T&>>;
        return has_value() ? std::invoke(std::forward<F>(f), value()) : R(Failure{error()});
    }
    template <typename F> auto and_then(F&& f) &&
    {
        using R = std::remove_cvref_t<std::invoke_result_t<F, T&&>>;
        return has_value() ? std::invoke(std::forward<F>(f), std::move(*this).value()) : R(Failure{error()});
    }
    // f's result from the value, or this failure.
    template <typename F> auto transform(F&& f) const&
    {
        using R = detail::TransformResult<F, const T&>;
        return has_value() ? detail::transformed<R>(std::forward<F>(f), value()) : R(Failure{error()});
    }
    template <typename F> auto transform(F&& f) &&
    {
        using R = detail::TransformResult<F, T&&>;
        return has_value() ? detail::transformed<R>(std::forward<F>(f), std::move(*this).value())
                           : R(Failure{error()});
    }

private:
    std::variant<T, QString> m_state;
};

template <> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Failure failure) : m_error(std::move(failure.error)) {}

    bool has_value() const { return !m_error; }
    explicit operator bool() const { return has_value(); }
    void value() const {}
    const QString& error() const { return *m_error; }

    template <typename F> auto and_then(F&& f) const
    {
        using R = std::remove_cvref_t<std::invoke_result_t<F>>;
        return has_value() ? std::invoke(std::forward<F>(f)) : R(Failure{error()});
    }
    template <typename F> auto transform(F&& f) const
    {
        using R = detail::TransformResult<F>;
        return has_value() ? detail::transformed<R>(std::forward<F>(f)) : R(Failure{error()});
    }

private:
    std::optional<QString> m_error;
};

} // namespace orvane

#endif
