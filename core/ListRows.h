#pragma once

// The rows of one list for its table: its applications, and section titles when the list falls
// into two or more sections. Sections are the list's platforms or developers (grouping); sorting
// orders the applications of each section by price or name, and the sections by their total
// price or their title. By price, currency comes first (PriceTotals.h): a section stands by its
// total in its first currency of that order. ListsController and the list representations of
// the tables use them.

#include "core/ListGrouping.h"
#include "core/ListSorting.h"
#include "core/TableRow.h"

namespace tanvill {

class List;

// No rows without a list; without grouping and sorting, the list's displayed order.
TableRows rowsForList(const List *list, ListGrouping grouping, ListSorting sorting);

} // namespace tanvill
