#include "app/TextOutput.h"

bool HandleOutput::Write(const std::string& text)
{
    if (!handle || handle == INVALID_HANDLE_VALUE)
        return false;
    const char* next = text.data();
    size_t left = text.size();
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(handle, next, static_cast<DWORD>(left), &written, nullptr) || written == 0)
            return false;
        next += written;
        left -= written;
    }
    return true;
}

bool HandleOutput::IsConsole() const
{
    DWORD mode = 0;
    return handle && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

namespace {

constexpr DWORD progressRefreshMs = 200;
constexpr size_t progressWidth = 79;

} // namespace

void ProgressLine::Show(const std::string& text)
{
    if (!console || (shown && GetTickCount() - shownAt < progressRefreshMs))
        return;
    // The end of a long path says most: keep it.
    std::string line = text.size() > progressWidth ? "..." + text.substr(text.size() - progressWidth + 3)
                                                   : text;
    line.resize(progressWidth, ' ');
    out.Write("\r" + line);
    shown = true;
    shownAt = GetTickCount();
}

void ProgressLine::Clear()
{
    if (!shown)
        return;
    out.Write("\r" + std::string(progressWidth, ' ') + "\r");
    shown = false;
}
