#pragma once
// The error a tag class raises to its caller: number, source and description.
// The classes keep the last one; members that can fail return false and the
// caller reads it from LastError(). Nothing is thrown.
#include <QString>

struct TagError {
    qint32 Number = 0;
    QString Source;
    QString Description;

    bool isError() const { return Number != 0; }
    void clear() { *this = TagError(); }
};

namespace tagerr {

// The runtime failures the tag classes pass on, with their classic numbers.
enum : qint32 {
    InvalidProcedureCall = 5,
    Overflow = 6,
    SubscriptOutOfRange = 9,
    TypeMismatch = 13,
    BadFileNameOrNumber = 52,
    FileNotFound = 53,
    DeviceIOError = 57,
    DiskFull = 61,
    PermissionDenied = 70,
    PathFileAccessError = 75,
    PathNotFound = 76,
    // The ID3v1 writer's own number (0x80041001): the file is no MP3 file.
    NotValidMP3 = -2147217407,
};

// The standard description of one of the numbers above ("" for NotValidMP3,
// whose text names the path).
QString description(qint32 number);

// "<program>.<className>": the source the tag classes give their errors.
QString source(const char* className);

TagError make(qint32 number, const char* className);
// The failure of a system call (errno) on path, as one of the numbers above.
TagError fromErrno(int err, const QString& path, const char* className);
// "<path> is not a valid MP3 file."
TagError notValidMP3(const QString& path, const char* className);
// The failure (errno) to open path for writing a tag into it. A missing file
// is no MP3 file: writing a tag never creates one.
TagError fromTagWriteOpen(int err, const QString& path, const char* className);

} // namespace tagerr
