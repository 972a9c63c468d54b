#include "core/ResourceText.h"

#include <windows.h>

std::string ResourceString(unsigned id)
{
    char buffer[1024];
    int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof(buffer));
    return std::string(buffer, length > 0 ? length : 0);
}
