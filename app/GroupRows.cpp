#include "app/GroupRows.h"

#include "resource.h"

const GroupRow groupRows[4] = {
    {GroupRegistry, "Registry", IDC_CHECK_REGISTRY, IDC_NAME_REGISTRY, IDC_LABEL_REGISTRY, IDC_MORE_REGISTRY},
    {GroupIETemp, "IE Temp", IDC_CHECK_IE, IDC_NAME_IE, IDC_LABEL_IE, IDC_MORE_IE},
    {GroupWindows, "Windows", IDC_CHECK_WINDOWS, IDC_NAME_WINDOWS, IDC_LABEL_WINDOWS, IDC_MORE_WINDOWS},
    {GroupTweaks, "Tweaks", IDC_CHECK_TWEAKS, IDC_NAME_TWEAKS, IDC_LABEL_TWEAKS, IDC_MORE_TWEAKS},
};

const GroupRow* GroupRowOf(SectionGroupId group)
{
    for (const GroupRow& row : groupRows)
        if (row.group == group)
            return &row;
    return nullptr;
}
