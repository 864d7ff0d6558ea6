#ifndef KORVEX_MANPAGE_H
#define KORVEX_MANPAGE_H

#include <string>

// The manual page korvex(1) as roff source for the man macros. Its synopsis and its list of
// settings come from the settings table that --help and the parser use, so the three always
// agree; the rest describes the files a run writes, the exit statuses and examples.
std::string ManPageText();

// sText made literal for roff: a backslash prints as a backslash, a hyphen as a minus sign
// (so that options copied from the page work), and a line that would begin with '.' or '\''
// is kept from being read as a request.
std::string RoffEscape(const std::string& sText);

#endif
