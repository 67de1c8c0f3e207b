#include "ui/monitor_profile.h"

#include <QGuiApplication>
#include <lcms2.h>

#include <atomic>
#include <cstdlib>

#ifdef QV_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

namespace qv {

namespace {

// A Little CMS context of our own, so that its complaints about a broken
// profile go nowhere instead of to the terminal.
cmsContext quietContext()
{
    static const cmsContext context = [] {
        cmsContext c = cmsCreateContext(nullptr, nullptr);
        cmsSetLogErrorHandlerTHR(c, [](cmsContext, cmsUInt32Number, const char*) {});
        return c;
    }();
    return context;
}

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using ProfileHandle = std::unique_ptr<void, ProfileCloser>;

struct TransformDeleter {
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using TransformHandle = std::unique_ptr<void, TransformDeleter>;

// The pixel layouts of the QImage formats converted in place.
cmsUInt32Number lcmsFormat(QImage::Format format)
{
    switch (format) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        return Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TYPE_BGRA_8 : TYPE_ARGB_8;
    case QImage::Format_RGB888:
        return TYPE_RGB_8;
    case QImage::Format_BGR888:
        return TYPE_BGR_8;
    default:
        return 0;
    }
}

constexpr QImage::Format kConvertedFormats[] = {QImage::Format_RGB32, QImage::Format_ARGB32,
                                                QImage::Format_RGB888, QImage::Format_BGR888};

}  // namespace

// One transform per pixel layout, all from sRGB to the monitor.
struct MonitorProfile::Transforms {
    std::array<TransformHandle, std::size(kConvertedFormats)> byFormat;

    void* forFormat(QImage::Format format) const
    {
        for (std::size_t i = 0; i < byFormat.size(); ++i)
            if (kConvertedFormats[i] == format)
                return byFormat[i].get();
        return nullptr;
    }
};

MonitorProfile::MonitorProfile(QByteArray icc, std::unique_ptr<Transforms> transforms)
    : icc_(std::move(icc)), transforms_(std::move(transforms))
{
    static std::atomic<quint64> made{0};
    serial_ = ++made;
}

MonitorProfile::~MonitorProfile() = default;

std::unique_ptr<MonitorProfile> MonitorProfile::fromIcc(const QByteArray& icc)
{
    if (icc.isEmpty())
        return nullptr;
    const cmsContext context = quietContext();
    ProfileHandle monitor(cmsOpenProfileFromMemTHR(context, icc.constData(), static_cast<cmsUInt32Number>(icc.size())));
    if (!monitor || cmsGetColorSpace(monitor.get()) != cmsSigRgbData)
        return nullptr;
    ProfileHandle srgb(cmsCreate_sRGBProfileTHR(context));
    if (!srgb)
        return nullptr;

    auto transforms = std::make_unique<Transforms>();
    for (std::size_t i = 0; i < std::size(kConvertedFormats); ++i) {
        const cmsUInt32Number format = lcmsFormat(kConvertedFormats[i]);
        transforms->byFormat[i].reset(cmsCreateTransformTHR(context, srgb.get(), format, monitor.get(), format,
                                                            INTENT_PERCEPTUAL, cmsFLAGS_COPY_ALPHA));
        if (!transforms->byFormat[i])
            return nullptr;
    }
    return std::unique_ptr<MonitorProfile>(new MonitorProfile(icc, std::move(transforms)));
}

QImage MonitorProfile::convert(const QImage& image) const
{
    if (image.isNull())
        return image;
    void* transform = transforms_->forFormat(image.format());
    QImage out = transform ? image.copy() : image.convertToFormat(QImage::Format_RGB32);
    if (!transform)
        transform = transforms_->forFormat(out.format());
    if (out.isNull())
        return image;  // no memory for the copy: drawn unconverted
    // Converted in place: Little CMS allows the same buffer in and out.
    uchar* pixels = out.bits();
    const auto stride = static_cast<cmsUInt32Number>(out.bytesPerLine());
    cmsDoTransformLineStride(transform, pixels, pixels, static_cast<cmsUInt32Number>(out.width()),
                             static_cast<cmsUInt32Number>(out.height()), stride, stride, 0, 0);
    return out;
}

QByteArray MonitorProfile::desktopProfileBytes()
{
#ifdef QV_HAVE_XCB
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return {};
    static constexpr char kAtomName[] = "_ICC_PROFILE";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, sizeof kAtomName - 1, kAtomName), nullptr);
    if (!atom)
        return {};
    const xcb_atom_t property = atom->atom;
    free(atom);
    if (property == XCB_ATOM_NONE)
        return {};
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    // A profile is a few kilobytes, rarely a megabyte; the length is in 32-bit units.
    constexpr uint32_t kLongestWords = 16 * 1024 * 1024 / 4;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, property, XCB_GET_PROPERTY_TYPE_ANY, 0, kLongestWords), nullptr);
    if (!reply)
        return {};
    QByteArray bytes;
    if (reply->format == 8)
        bytes = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                           xcb_get_property_value_length(reply));
    free(reply);
    return bytes;
#else
    return {};
#endif
}

}  // namespace qv
