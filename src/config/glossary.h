// Translation of the few texts the driver shows while printing, through the
// glossary file "OxGlossary.xml" of the output-driver folder. A Glossary
// element with Lang="xx" applies when the user's language (LANGUAGE, LC_ALL,
// LC_MESSAGES or LANG) is xx; one without Lang applies to everybody.
#pragma once

#include "host/astring.h"

namespace tarnwick {

inline constexpr const char* kGlossaryFileName = "OxGlossary.xml";

// The translation of `phrase` (exact, case-sensitive match), or a copy of
// `phrase` when the glossary has none. The glossary is loaded by the first
// call that finds a non-empty one and kept for the life of the process; while
// it is empty every call tries the file again. Not thread-safe: only the
// print thread translates.
AString Translate(const AString& phrase);

// Forgets the loaded glossary, so that the next translation reads the file again.
void ClearGlossaryCache();

}  // namespace tarnwick
