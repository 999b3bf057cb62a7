#pragma once

// The one shape of an operation that can fail: its value, or the text that says why it failed.
//   Result<QString> r = ...;  if (!r) report(r.error()); else use(*r);
//   return fail(u"..."_s);     // from a function returning any Result<T>
//   return {};                 // success of a Result<>
// The standard's std::expected where the library has it; otherwise a small stand-in with the same
// members (has_value, operator bool, value, operator*, operator->, value_or, error).

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
#include <optional>
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

template <typename T = void> class Result
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

private:
    std::variant<T, QString> m_state;
};

template <> class Result<void>
{
public:
    Result() = default;
    Result(Failure failure) : m_error(std::move(failure.error)) {}

    bool has_value() const { return !m_error; }
    explicit operator bool() const { return has_value(); }
    void value() const {}
    const QString& error() const { return *m_error; }

private:
    std::optional<QString> m_error;
};

} // namespace orvane

#endif
