#pragma once
// One owner for each evolution/move pointer. The species table's Pointer
// column and the evolution and moves tables reach the same 251 pointers; the
// list tables own them (packing a table again rewrites every pointer). A
// species table import may therefore change a pointer only to the start of a
// complete list: evolutions then level-up moves, both readable, starting
// where some species' list starts or in bytes that are no species' list.
// Never into the middle of a list, into the pointer table itself, or where
// no complete list reads. Several species may point at one list.

#include "tables/SpeciesTable.h"
#include "tables/SpeciesRows.h"

namespace tables {

// Adds to `imported` one refusal per row whose Pointer differs from the
// image's and leads nowhere a list starts, naming the value, where it leads,
// the likely cause and what to do. Pointers the file leaves as the image
// holds them are never judged: what an image holds is never refused.
void RefuseStrayPointers(const TableImage& image, ImportedTable& imported);

}  // namespace tables
