#pragma once

namespace tanvill {

// One swatch of a colour grid: `column` counts to the right, `row` downwards, (0, 0) is the
// top-left swatch. The colour well and the list editors name colours by it.
struct IndexPath
{
    unsigned column = 0;
    unsigned row = 0;

    friend bool operator==(const IndexPath &, const IndexPath &) = default;
};

} // namespace tanvill
