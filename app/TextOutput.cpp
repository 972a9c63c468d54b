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

TextOutput* BoxesToStandardError::target = nullptr;

BoxesToStandardError::BoxesToStandardError(TextOutput& err) : previous(messageBoxFunction)
{
    target = &err;
    messageBoxFunction = Show;
}

BoxesToStandardError::~BoxesToStandardError()
{
    messageBoxFunction = previous;
    target = nullptr;
}

int WINAPI BoxesToStandardError::Show(HWND, LPCSTR text, LPCSTR, UINT type)
{
    std::string line = text ? text : "";
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    if (target)
        target->Write(line + "\r\n");
    // The buttons of each box kind, in the order the default flags count them.
    static const int buttons[][3] = {
        {IDOK, 0, 0},             {IDOK, IDCANCEL, 0},      {IDABORT, IDRETRY, IDIGNORE},
        {IDYES, IDNO, IDCANCEL},  {IDYES, IDNO, 0},         {IDRETRY, IDCANCEL, 0},
        {IDCANCEL, IDTRYAGAIN, IDCONTINUE},
    };
    UINT kind = type & MB_TYPEMASK;
    UINT index = (type & MB_DEFMASK) >> 8;
    if (kind >= sizeof(buttons) / sizeof(buttons[0]))
        return IDOK;
    int button = index < 3 ? buttons[kind][index] : 0;
    return button ? button : buttons[kind][0];
}
