#include "core/AppMessage.h"

MessageBoxFunction messageBoxFunction = MessageBoxA;

std::string ApplicationTitle()
{
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    std::string name(path, length);
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

int ShowAppMessage(HWND owner, const std::string& text, UINT type)
{
    return messageBoxFunction(owner, text.c_str(), ApplicationTitle().c_str(), type);
}
