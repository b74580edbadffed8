// The genre names both tag classes give.
#include <gtest/gtest.h>

#include "tags/cMP3ID3v1.h"
#include "tags/cMP3ID3v2.h"

TEST(Id3Genres, NamesByIndex)
{
    const cMP3ID3v1 v1;
    const cMP3ID3v2 v2;
    const struct {
        int index;
        const char* name;
    } cases[] = {
        {0, "Blues"},         {1, "Classic Rock"}, {9, "Metal"},       {17, "Rock"},        {25, "Euro - Techno"},
        {40, "Alt.Rock"},     {53, "Pop / Folk"},  {71, "Lo - fi"},    {78, "Rock 'n'Roll"}, {85, "Bebob"},
        {109, "Pr0n Groove"}, {122, "Drum Solo"},  {123, ""},          {124, "Euro - House"}, {127, "Drum & Bass"},
        {146, "JPop"},        {147, "Synth Pop"},  {148, ""},          {255, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(v1.GenreName(quint8(c.index)), QString::fromLatin1(c.name)) << c.index;
        EXPECT_EQ(v2.GenreName(quint8(c.index)), QString::fromLatin1(c.name)) << c.index;
    }

    int named = 0;
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(v1.GenreName(quint8(i)), v2.GenreName(quint8(i)));
        if (!v1.GenreName(quint8(i)).isEmpty())
            ++named;
    }
    EXPECT_EQ(named, 147);
}
