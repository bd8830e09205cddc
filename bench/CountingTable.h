#pragma once

// A table that only counts the single-row changes a list representation tells it, for the
// benchmarks that measure what keeping a list's rows in order costs. Header only.

#include "core/ListRepresentation.h"

namespace tanvill::bench {

class CountingTable : public ListRepresentationDelegate
{
public:
    void listRepresentationWillChange(ListRepresentation *) override { }
    void listRepresentationDidInsertRowsAtIndexes(ListRepresentation *, const QList<int> &) override
    {
        ++calls;
    }
    void listRepresentationDidRemoveRowsAtIndexes(ListRepresentation *, const QList<int> &) override
    {
        ++calls;
    }
    void listRepresentationDidMoveRow(ListRepresentation *, int, int) override { ++calls; }
    void listRepresentationWillReplaceAllRowsFromList(ListRepresentation *, int) override { }
    void listRepresentationDidReplaceAllRowsFromList(ListRepresentation *, int) override { }
    void listRepresentationDidChange(ListRepresentation *) override { }
    int calls = 0;
};

} // namespace tanvill::bench
