// What the outbasket list shows of an action and the order it sends them in:
// descriptions, sort keys, the ordering and the merge of duplicate requests.
// Portable.
#pragma once
#include "online/action_file.h"

// Fills the record's description and, for a message, its title.
void DescribeAction(OutbasketAction* action);
// The record's sort key; position is its place in the list after loading.
void MakeSortKey(OutbasketAction* action, int position);
// True when records i and j ask for the same thing.
bool IsDuplicateAction(ActionList* list, int i, int j);
// Gives every record its sort key, sorts the list by the keys (without regard
// to case; equal keys keep their order) and merges duplicates: of two equal
// requests the later one survives, held when either was, and the earlier is
// marked dropped.
void OrderActions(ActionList* list);
// A heading row for the service.
OutbasketAction NewHeadingRow(const char* service);
