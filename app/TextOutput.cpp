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
