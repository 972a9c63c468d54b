#pragma once
// The chain of keys a recursive key routine holds open, from the key it
// started at down to the one it is in. The registry nests at most 512 levels,
// but a link key may lead anywhere, back up into the chain too, and a walk
// that follows such a link never ends. Every recursive key routine enters
// subkeys through a KeyChain, so that it stops at that depth and never
// enters a link again that leads back into its own chain.

#include <windows.h>

#include <string>
#include <vector>

#include "core/Registry.h"

// The registry's own nesting limit: no chain grows deeper below its top.
constexpr size_t maxKeyDepth = 512;

// What Enter answers for a subkey it refuses: too deep, or a link that leads
// back into the chain (or somewhere that cannot be told).
constexpr LONG keyChainRefused = ERROR_CANTOPEN;

class KeyChain {
public:
    // How a subkey that is a link is entered.
    enum class Links {
        Follow,     // its target, unless that leads back into the chain
        OpenItself, // the link key itself, never what it points at
    };

    struct Entered {
        bool isLink = false;   // the subkey is a link key
        DWORD subkeys = 0;     // of the key now held (0 when it cannot be asked)
        DWORD values = 0;
        bool counted = false;  // the two counts were read
    };

    // `top`: a root or an open key, where the routine starts.
    explicit KeyChain(HKEY top, Links links = Links::Follow);

    // Opens `name` below `parent` (the deepest key of the chain) with
    // `access` into `child` and makes it the deepest key; 0 or the error of
    // the open, keyChainRefused when the chain is at its depth limit or the
    // subkey is a link it may not follow. Each success is paired with Leave.
    LONG Enter(HKEY parent, const std::string& name, REGSAM access, RegKey& child,
               Entered* facts = nullptr);
    void Leave();

    // Keys below the top, 0 at the top.
    size_t Depth() const { return names.size() - 1; }
    // The registry's own name of the deepest key, in lower case
    // ("\registry\machine\software"); empty when it cannot be told.
    const std::string& Name() const { return names.back(); }

private:
    bool LeadsIntoChain(const std::string& target) const;

    Links links;
    std::vector<std::string> names;
};

// The registry's own name of a root or an open key, in lower case
// ("\registry\user\s-1-5-21-...\software"); empty when the system cannot tell.
std::string RegistryObjectName(HKEY key);

// Deletes the link key held by `link` (opened as the link itself, with DELETE
// access), never what it points at; 0 or an error code.
LONG DeleteLinkKey(HKEY link);
