#pragma once

// Shared by the benchmark programs that load a whole camera-size file: a
// 6000 x 4000 JPEG (quality 90) of the portrait test photo scaled up.

#include <QImage>
#include <QString>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace qv::bench {

inline constexpr int kCameraJpegWidth = 6000;
inline constexpr int kCameraJpegHeight = 4000;

// Written once into the temporary folder and kept there for later runs.
// Programs running at once each write their own copy and rename it into
// place, so none reads a half-written file.
inline const std::string& cameraJpeg()
{
    static const std::string path = [] {
        const std::filesystem::path out = std::filesystem::temp_directory_path() / "quorvelin_bench_24mp.jpg";
        if (std::filesystem::exists(out))
            return out.string();
        const std::string partial = out.string() + "." + std::to_string(::getpid());
        const QImage photo(QStringLiteral(QV_TESTDATA_DIR "/photo_people_bar_portrait.jpg"));
        if (!photo.scaled(kCameraJpegWidth, kCameraJpegHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                 .save(QString::fromStdString(partial), "JPEG", 90)) {
            std::fprintf(stderr, "cannot write %s\n", partial.c_str());
            std::abort();
        }
        std::filesystem::rename(partial, out);
        return out.string();
    }();
    return path;
}

}  // namespace qv::bench
