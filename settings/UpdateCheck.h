#pragma once
// The update check: the version page of the update server against the
// program's own version text, and the updater started when the user wants
// the newer program. Help's page lives on the same server.

#include <windows.h>

#include <string>

// The version this program compares with the server's version page.
extern const char programVersionText[];
// The server asked when the settings name none ("Update Server").
extern const char defaultUpdateServer[];

// "http://" and the update server's host (an optional ":port" included):
// the settings value "Update Server" when present and not empty, else the
// built-in host.
std::string UpdateServerAddress();

// Fetches the resource at `address` over WinINet. 1 when the request was
// made and its whole answer read (the text may be empty); 0 when no
// connection or request could be made, a read failed, or the server answered
// with any status but 200. With `extractBody` the text is lowered, cut to
// what stands between "<body>" and "</body>" and trimmed.
int FetchPageText(const std::string& address, std::string& text, bool extractBody);
// The reduction of `extractBody` alone.
std::string ExtractBodyText(const std::string& page);

// The "Live Update" button: asks the server, tells the user, and on their
// yes starts the updater. 1 when the updater was asked to start, so the
// caller closes the program; 0 when the program goes on.
int RunLiveUpdate(HWND owner);

// Opens the server's help page in the default browser.
void OpenHelpPage(HWND owner);
