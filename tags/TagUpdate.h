#pragma once
// Writing a file's ID3v1 block and ID3v2 tag together.
#include "tags/TagError.h"

class cMP3ID3v1;
class cMP3ID3v2;

namespace tagio {

// Writes the ID3v1 block of v1 and the ID3v2 tag of v2 (either may be null;
// both are bound to the same file) as one change: a crash at any moment leaves
// the file with both old tags or both new ones. Number 0 on success.
TagError updateTags(cMP3ID3v1* v1, cMP3ID3v2* v2);

} // namespace tagio
