#include "support/MessageCapture.h"

namespace {

std::vector<CapturedMessage> captured;
int capturedAnswer = IDOK;

int WINAPI Capture(HWND, LPCSTR text, LPCSTR title, UINT type)
{
    captured.push_back({text ? text : "", title ? title : "", type});
    return capturedAnswer;
}

} // namespace

MessageCapture::MessageCapture(int answer) : previous(messageBoxFunction)
{
    captured.clear();
    capturedAnswer = answer;
    messageBoxFunction = Capture;
}

MessageCapture::~MessageCapture() { messageBoxFunction = previous; }

const std::vector<CapturedMessage>& MessageCapture::Messages() const { return captured; }

std::vector<std::string> MessageCapture::Texts() const
{
    std::vector<std::string> texts;
    for (const CapturedMessage& message : captured)
        texts.push_back(message.text);
    return texts;
}
