#pragma once
// The four groups as the main window shows them from top to bottom, with
// their controls on each page; the headless run prints them in this order.

#include "core/ScanSection.h"

struct GroupRow {
    SectionGroupId group;
    const char* name; // in the headless run's summary
    int check;        // start page
    int caption;      // scanning and results pages: the check box's caption
    int label;        // scanning page
    int more;         // results page
};

extern const GroupRow groupRows[4];

// The row of a group; null for GroupNone.
const GroupRow* GroupRowOf(SectionGroupId group);
