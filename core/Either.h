#pragma once

// A value of one of two kinds: This carries a T, That carries a U. The rows of a list are
// Either values over applications and section titles. Two values are equal only when they
// are the same case with equal payloads; the hash and description are the payload's.

#include <QHashFunctions>
#include <QString>

#include <cstddef>
#include <functional>
#include <utility>

namespace tanvill {

inline QString describe(const QString &text)
{
    return text;
}

template<typename T, typename U> class Either
{
public:
    static Either This(T value)
    {
        Either either;
        either.m_isThis = true;
        either.m_this = std::move(value);
        return either;
    }
    static Either That(U value)
    {
        Either either;
        either.m_isThis = false;
        either.m_that = std::move(value);
        return either;
    }

    bool isThis() const { return m_isThis; }
    bool isThat() const { return !m_isThis; }

    // The payload of the case the value is; for the other case, a default value.
    const T &thisValue() const { return m_this; }
    const U &thatValue() const { return m_that; }

    QString description() const
    {
        return isThis() ? describePayload(thisValue()) : describePayload(thatValue());
    }

    std::size_t hash() const
    {
        return isThis() ? std::hash<T> {}(thisValue()) : std::hash<U> {}(thatValue());
    }

    friend bool operator==(const Either &a, const Either &b)
    {
        if (a.m_isThis != b.m_isThis)
            return false;
        return a.m_isThis ? a.m_this == b.m_this : a.m_that == b.m_that;
    }

private:
    Either() = default;

    template<typename V> static QString describePayload(const V &value)
    {
        if constexpr (std::is_pointer_v<V>)
            return value ? value->description() : QStringLiteral("nil");
        else if constexpr (requires { value.description(); })
            return value.description();
        else
            return describe(value);
    }

    // Both payloads are held (the other one default-made): a plain pair copies and moves
    // cheaply in the large row arrays of a list.
    bool m_isThis = true;
    T m_this {};
    U m_that {};
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
