#pragma once
// "Restore Removed Registry Entries": lists what one manager removed and puts
// the checked entries back where they were.

#include <vector>

#include "managers/RemovedEntries.h"
#include "ui/Dialog.h"

extern const char replaceExistingFormat[];

class RestoreRemovedDialog : public Dialog {
public:
    explicit RestoreRemovedDialog(RemovedKind kind);

protected:
    BOOL OnInit() override;
    void OnCommand(int id, int notifyCode) override;

private:
    void Fill();
    void OnRestore();

    RemovedKind kind;
    std::vector<RemovedEntry> entries; // one per row, in row order
};
