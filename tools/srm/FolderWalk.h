#pragma once
#include <string>

// Opens the folder a named path lies in, one component at a time from "/" (or
// from the working folder for a relative path), never letting the kernel follow
// a link: a link is followed here only when no other user could have planted it
// (as root: a link of root's with only root's folders above it). Returns a descriptor (read-only where
// permitted, else O_PATH) or -1 with `err` set to an errno value; `untrusted` then
// names a link that was refused, and `err` is EPERM.
int openFolderSafely(const std::string& folder, int& err, std::string& untrusted);
