#include "tests/components/IsoReadBack.h"

#include <QFile>
#include <cstdint>
#include <libisofs/libisofs.h>

IsoContents ReadIsoImage(const QString& path)
{
    IsoContents out;
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
