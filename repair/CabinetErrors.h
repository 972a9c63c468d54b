#pragma once
// The texts shown for the error numbers of cabinet compression and
// decompression: the system's own numbers plus the two of our own.

// Cabinet.dll could not be loaded or lacks an entry point we need.
constexpr int cabErrorNoLibrary = 1000;
// A cabinet path or size that cannot make a cabinet, or a second cabinet on one object.
constexpr int cabErrorInvalidParameters = 1001;

const char* CompressionErrorText(int errorNumber);
const char* DecompressionErrorText(int errorNumber);
