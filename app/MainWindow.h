#pragma once
// The program's main window.

#include "ui/Dialog.h"

class MainWindow : public Dialog {
public:
    MainWindow();

protected:
    BOOL OnInit() override;
};
