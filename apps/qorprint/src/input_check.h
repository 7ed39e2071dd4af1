// Refusing files that would print as junk: checks made before a job starts.
#pragma once

#include "picture.h"

#include <optional>
#include <string>

// Whether `bytes` reads as text: no NUL and no control codes other than
// tab, line ends and form feed, and either UTF-8 or, failing that, valid in
// the ANSI code page. The text comes back as UTF-8 in `utf8`; otherwise
// `why` says what the file looks like instead.
bool CheckText(const std::string& bytes, std::string* utf8, std::string* why);

// What a file's name says it holds (".png", ".jpg", ".jpeg", any case);
// empty for other names.
std::optional<FileKind> KindByName(const std::string& path);
