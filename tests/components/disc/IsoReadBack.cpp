#include "tests/components/disc/IsoReadBack.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdint>
#include <libisofs/libisofs.h>

namespace {

QString ucs2(const QByteArray& b)
{
    QString s;
    for (int i = 0; i + 1 < b.size(); i += 2)
        s += QChar(char16_t((uchar(b[i]) << 8) | uchar(b[i + 1])));
    while (s.endsWith(QChar(' ')) || s.endsWith(QChar(0)))
        s.chop(1);
    return s;
}

QString latin(const QByteArray& b)
{
    QString s = QString::fromLatin1(b);
    while (s.endsWith(QChar(' ')))
        s.chop(1);
    return s;
}

// The volume descriptors from sector 16 on: the primary one and Joliet's.
void readDescriptors(const QString& path, IsoContents& out)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    for (int sector = 16; sector < 64; ++sector) {
        if (!f.seek(qint64(sector) * 2048))
            return;
        const QByteArray d = f.read(2048);
        if (d.size() != 2048 || d.mid(1, 5) != "CD001" || uchar(d[0]) == 255)
            return;
        if (d[0] == 1) {
            out.isoVolumeId = latin(d.mid(40, 32));
            out.isoPublisherId = latin(d.mid(318, 128));
        } else if (d[0] == 2 && d[88] == '%' && d[89] == '/' && (d[90] == '@' || d[90] == 'C' || d[90] == 'E')) {
            out.jolietVolumeId = ucs2(d.mid(40, 32));
            out.jolietPublisherId = ucs2(d.mid(318, 128));
        }
    }
}

} // namespace

UdfContents ReadUdfImage(const QString& path)
{
    UdfContents out;
    QProcess info;
    info.start(QStringLiteral("udfinfo"), {path});
    if (!info.waitForFinished(60000) || info.exitStatus() != QProcess::NormalExit || info.exitCode() != 0) {
        out.error = "udfinfo: " + QString::fromLocal8Bit(info.readAllStandardError()) + info.errorString();
        return out;
    }
    for (const QString& line : QString::fromUtf8(info.readAllStandardOutput()).split('\n')) {
        if (line.startsWith("label="))
            out.label = line.mid(6);
        else if (line.startsWith("numfiles="))
            out.fileCount = line.mid(9).toInt();
    }
    QTemporaryDir dir;
    QProcess x;
    x.start(QStringLiteral("7z"), {"x", "-tUdf", "-y", "-o" + dir.path(), path});
    if (!x.waitForFinished(120000) || x.exitStatus() != QProcess::NormalExit || x.exitCode() != 0) {
        out.error =
            "7z: " + QString::fromLocal8Bit(x.readAllStandardOutput() + x.readAllStandardError()) + x.errorString();
        return out;
    }
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden)) {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            out.rootFiles.insert(name, f.readAll());
    }
    out.ok = true;
    return out;
}

IsoContents ReadIsoImage(const QString& path)
{
    IsoContents out;
    readDescriptors(path, out);
    static const bool started = iso_init() >= 0;
    if (!started) {
        out.error = "iso_init failed";
        return out;
    }
    IsoDataSource* src = nullptr;
    const QByteArray local = QFile::encodeName(path);
    const int opened = iso_data_source_new_from_file(local.constData(), &src);
    if (opened < 0) {
        out.error = "cannot open " + path + ": " + QString::fromLocal8Bit(iso_error_to_msg(opened));
        return out;
    }
    IsoImage* image = nullptr;
    IsoReadOpts* ropts = nullptr;
    IsoReadImageFeatures* features = nullptr;
    iso_image_new("", &image);
    iso_read_opts_new(&ropts, 0);
    iso_read_opts_set_preferjoliet(ropts, 1);
    const int r = iso_image_import(image, src, ropts, &features);
    if (r < 0) {
        out.error = QString::fromLocal8Bit(iso_error_to_msg(r));
    } else {
        out.ok = true;
        out.hasJoliet = features && iso_read_image_features_has_joliet(features);
        const char* vol = iso_image_get_volume_id(image);
        out.volumeId = QString::fromUtf8(vol ? vol : "");
        IsoDirIter* it = nullptr;
        iso_dir_get_children(iso_image_get_root(image), &it);
        IsoNode* node = nullptr;
        while (it && iso_dir_iter_next(it, &node) == 1) {
            if (iso_node_get_type(node) != LIBISO_FILE)
                continue;
            IsoStream* stream = iso_file_get_stream(reinterpret_cast<IsoFile*>(node));
            QByteArray bytes;
            if (iso_stream_open(stream) >= 0) {
                char buf[65536];
                int n;
                while ((n = iso_stream_read(stream, buf, sizeof buf)) > 0)
                    bytes.append(buf, n);
                iso_stream_close(stream);
            }
            out.rootFiles.insert(QString::fromUtf8(iso_node_get_name(node)), bytes);
        }
        if (it)
            iso_dir_iter_free(it);
    }
    if (features)
        iso_read_image_features_destroy(features);
    iso_read_opts_free(ropts);
    iso_image_unref(image);
    iso_data_source_unref(src);
    return out;
}
