#pragma once
// Reads an ISO 9660 image back through libisofs: its volume label, whether it
// carries Joliet names, and the files of its root with their bytes.
#include <QByteArray>
#include <QMap>
#include <QString>

struct IsoContents {
    bool ok = false;
    QString error;
    QString volumeId;
    bool hasJoliet = false;
    QMap<QString, QByteArray> rootFiles; // name (Joliet name when present) -> bytes
};

IsoContents ReadIsoImage(const QString& path);
