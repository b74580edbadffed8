#pragma once
// One change of an MP3 file's tags, written so that a crash or a kill at any
// moment leaves the file with all its old tags or all its new ones.
//
// A change that keeps the file's length and lies within one 4096-byte page is
// one write in place, which a kill cannot split. Any other change is written
// whole into a hidden copy beside the file (".<name>.kvtag-XXXXXX"), flushed
// and renamed over it in one step, so the file on disk is never half written.
// Only where a copy cannot stand in for the file (it has hard links, no copy
// can be made in its folder, or the copy could not keep its owner and group)
// is a change that keeps the layout written in place, after the bytes it
// overwrites were saved in an undo journal in the user's folder of pending
// tag writes; the journal goes once the file is flushed.
//
// What a killed write leaves behind, a journal or a copy, is put right by
// recoverPendingWrites: at the program's start, when a file is opened in the
// tags editor, and before any tag write.
#include <QByteArray>
#include <QString>

namespace tagio {

class File;

struct TagChange {
    // The file's first keepFrom bytes become head.
    QByteArray head;
    qint64 keepFrom = 0;
    // The file's bytes from tailFrom to its end become tail; -1 keeps the end.
    QByteArray tail;
    qint64 tailFrom = -1;
};

// Writes change into the file at path, open as `file` for reading and
// writing. 0 once the new tags are on disk; otherwise the errno of the failing
// step, with the file as it was.
int writeChange(File& file, const QString& path, const TagChange& change);

// Rolls back the in-place writes a killed process left half done and deletes
// the copies of its rewrites. A write still under way in another process is
// left alone.
void recoverPendingWrites();
// The same, first waiting for a write to path still under way elsewhere; then
// deletes the stale hidden copies in path's folder. For a file about to be
// read or written.
void recoverPendingWrites(const QString& path);

// The folder of pending tag writes: ${XDG_CONFIG_HOME:-~/.config}/kelvane/tag-writes.
QString pendingWritesFolder();

// Tests stop a write at each of its steps through this: it runs after every
// step that leaves something on disk. It returns the previous hook.
using StepHook = void (*)();
StepHook setStepHook(StepHook hook);

} // namespace tagio
