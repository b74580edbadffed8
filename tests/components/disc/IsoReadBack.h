#pragma once
// Reads a data disc image back from outside the code that wrote it: the ISO
// 9660 side through libisofs and its volume descriptors as bytes, the UDF
// side through udfinfo (label) and 7z's UDF reader (files and bytes).
#include <QByteArray>
#include <QMap>
#include <QString>

struct IsoContents {
    bool ok = false;
    QString error;
    QString volumeId;        // as libisofs imports it
    QString isoVolumeId;     // the primary descriptor's, blanks at the end dropped
    QString isoPublisherId;
    QString jolietVolumeId;  // the Joliet descriptor's (UCS-2)
    QString jolietPublisherId;
    bool hasJoliet = false;
    QMap<QString, QByteArray> rootFiles; // name (Joliet name when present) -> bytes
};

IsoContents ReadIsoImage(const QString& path);

struct UdfContents {
    bool ok = false;
    QString error;
    QString label;                      // udfinfo's label
    int fileCount = -1;                 // udfinfo's numfiles
    QMap<QString, QByteArray> rootFiles; // name -> bytes, as 7z's UDF reader extracts them
};

UdfContents ReadUdfImage(const QString& path);
