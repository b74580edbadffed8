#pragma once
// The seven tag texts the audio components read from and write into files.
#include <QString>

namespace kvaudio {

struct TagTexts {
    QString album, artist, comment, genre, title, track, year;
    bool isEmpty() const
    {
        return album.isEmpty() && artist.isEmpty() && comment.isEmpty() && genre.isEmpty() && title.isEmpty()
            && track.isEmpty() && year.isEmpty();
    }
};

} // namespace kvaudio
