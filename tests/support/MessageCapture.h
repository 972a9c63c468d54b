#pragma once
// Takes the program's message boxes for the life of the object: each one is
// kept (text, title, type) instead of shown, and answered with `answer`.

#include <windows.h>

#include <string>
#include <vector>

#include "core/AppMessage.h"

struct CapturedMessage {
    std::string text;
    std::string title;
    UINT type = 0;
};

class MessageCapture {
public:
    explicit MessageCapture(int answer = IDOK);
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    const std::vector<CapturedMessage>& Messages() const;
    // The texts alone, in the order shown.
    std::vector<std::string> Texts() const;

private:
    MessageBoxFunction previous;
};
