#pragma once

#include <QByteArray>
#include <QImage>
#include <memory>

namespace qv {

// Colour management of the drawing: a transform from sRGB (the pictures'
// space) to the monitor's ICC profile, built once per profile with Little
// CMS. A profile that is no valid ICC profile, or one Little CMS cannot build
// an RGB transform for, is not taken.
class MonitorProfile {
public:
    // nullptr when the bytes are no usable monitor profile.
    static std::unique_ptr<MonitorProfile> fromIcc(const QByteArray& icc);
    // The profile the desktop gives the screen (on X11 the root window's
    // "_ICC_PROFILE" property); empty when there is none or no X11.
    static QByteArray desktopProfileBytes();
    // The desktop's profile, when it gives a usable one.
    static std::unique_ptr<MonitorProfile> forDesktop() { return fromIcc(desktopProfileBytes()); }

    ~MonitorProfile();
    MonitorProfile(const MonitorProfile&) = delete;
    MonitorProfile& operator=(const MonitorProfile&) = delete;

    const QByteArray& iccBytes() const { return icc_; }
    // Different for every profile made in this run, even at the same address.
    quint64 serial() const { return serial_; }

    // The image with its colours converted for the monitor. Images of 24 and
    // 32 bits per pixel are converted as they are, others as 32-bit RGB.
    QImage convert(const QImage& image) const;

private:
    struct Transforms;
    MonitorProfile(QByteArray icc, std::unique_ptr<Transforms> transforms);

    QByteArray icc_;
    std::unique_ptr<Transforms> transforms_;
    quint64 serial_;
};

}  // namespace qv
