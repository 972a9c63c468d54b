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
    explicit MessageCapture(int answer = IDOK) : previous(messageBoxFunction)
    {
        captured.clear();
        capturedAnswer = answer;
        messageBoxFunction = Capture;
    }
    ~MessageCapture() { messageBoxFunction = previous; }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    const std::vector<CapturedMessage>& Messages() const { return captured; }
    // The texts alone, in the order shown.
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const CapturedMessage& message : captured)
            texts.push_back(message.text);
        return texts;
    }

private:
    static int WINAPI Capture(HWND, LPCSTR text, LPCSTR title, UINT type)
    {
        captured.push_back({text ? text : "", title ? title : "", type});
        return capturedAnswer;
    }

    static inline std::vector<CapturedMessage> captured;
    static inline int capturedAnswer = IDOK;
    MessageBoxFunction previous;
};
