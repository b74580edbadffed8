#pragma once
// The genre names of the one-byte ID3 genre index. 255 means no genre.
#include <QString>

namespace id3genres {
// The name of an index, or "" for one without a name (123 and 148 to 255).
QString name(int index);
} // namespace id3genres
