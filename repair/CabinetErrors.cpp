#include "repair/CabinetErrors.h"

const char* CompressionErrorText(int errorNumber)
{
    switch (errorNumber) {
    case 0: return "No error";
    case 1: return "Failure opening file to be stored in cabinet";
    case 2: return "Failure reading file to be stored in cabinet";
    case 3: return "Insufficient memory in FCI";
    case 4: return "Could not create a temporary file";
    case 5: return "Unknown compression type";
    case 6: return "Could not create cabinet file";
    case 7: return "Client requested abort";
    case 8: return "Failure compressing data";
    case cabErrorNoLibrary: return "Could not load Cabinet.dll";
    case cabErrorInvalidParameters: return "Invalid parameters";
    default: return "Unknown error";
    }
}

const char* DecompressionErrorText(int errorNumber)
{
    switch (errorNumber) {
    case 0: return "No error";
    case 1: return "Cabinet file (or part of splitted CAB) not found";
    case 2: return "Not a cabinet";
    case 3: return "Unknown cabinet version";
    case 4: return "Corrupt cabinet";
    case 5: return "Memory allocation failed";
    case 6: return "Unknown compression type";
    case 7: return "Failure decompressing data";
    case 8: return "Failure writing to target file";
    case 9: return "Cabinets in set have different RESERVE sizes";
    case 10: return "Cabinet returned on fdintNEXT_CABINET is incorrect";
    case 11: return "User aborted";
    case cabErrorNoLibrary: return "Could not load Cabinet.dll";
    default: return "Unknown error";
    }
}
