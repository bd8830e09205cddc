#pragma once

// One changed value of an application: what it was before a refresh and what it is after.
// Made by App for its history and by the refresh for the latest changes.

namespace tanvill {

template<typename T> struct Change
{
    T last;
    T current;

    friend bool operator==(const Change &, const Change &) = default;
};

} // namespace tanvill
