#pragma once

// A value of one of two kinds: This carries a T, That carries a U. The rows of a list are
// Either values over applications and section titles. Two values are equal only when they
// are the same case with equal payloads; the hash and description are the payload's.

#include <QHashFunctions>
#include <QString>

#include <cstddef>
#include <functional>
#include <utility>
#include <variant>

namespace tanvill {

inline QString describe(const QString &text)
{
    return text;
}

template<typename T, typename U> class Either
{
public:
    static Either This(T value) { return Either(std::in_place_index<0>, std::move(value)); }
    static Either That(U value) { return Either(std::in_place_index<1>, std::move(value)); }

    bool isThis() const { return m_value.index() == 0; }
    bool isThat() const { return m_value.index() == 1; }

    // The payload of the case the value is; asking for the other case is a programming
    // error (std::bad_variant_access).
    const T &thisValue() const { return std::get<0>(m_value); }
    const U &thatValue() const { return std::get<1>(m_value); }

    QString description() const
    {
        return isThis() ? describePayload(thisValue()) : describePayload(thatValue());
    }

    std::size_t hash() const
    {
        return isThis() ? std::hash<T> {}(thisValue()) : std::hash<U> {}(thatValue());
    }

    friend bool operator==(const Either &a, const Either &b) { return a.m_value == b.m_value; }

private:
    template<typename... Args>
    explicit Either(Args &&...args) : m_value(std::forward<Args>(args)...)
    { }

    template<typename V> static QString describePayload(const V &value)
    {
        if constexpr (std::is_pointer_v<V>)
            return value ? value->description() : QStringLiteral("nil");
        else if constexpr (requires { value.description(); })
            return value.description();
        else
            return describe(value);
    }

    std::variant<T, U> m_value;
};

template<typename T, typename U> size_t qHash(const Either<T, U> &value, size_t seed = 0)
{
    return qHash(value.hash(), seed);
}

} // namespace tanvill

template<typename T, typename U> struct std::hash<tanvill::Either<T, U>>
{
    std::size_t operator()(const tanvill::Either<T, U> &value) const noexcept
    {
        return value.hash();
    }
};
