#include "ui/monitor_profile.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <lcms2.h>

#ifdef QV_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

#include "imaging/bitmap.h"
#include "support/qt_application.h"
#include "support/test_profiles.h"
#include "ui/image_view.h"

namespace qv {
namespace {

// What Little CMS itself makes of one sRGB colour for that profile.
QRgb expectedColour(const QByteArray& icc, QRgb colour)
{
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE monitor = cmsOpenProfileFromMem(icc.constData(), static_cast<cmsUInt32Number>(icc.size()));
    cmsHTRANSFORM transform = cmsCreateTransform(srgb, TYPE_RGB_8, monitor, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
    const uint8_t in[3] = {static_cast<uint8_t>(qRed(colour)), static_cast<uint8_t>(qGreen(colour)),
                           static_cast<uint8_t>(qBlue(colour))};
    uint8_t out[3];
    cmsDoTransform(transform, in, out, 1);
    cmsDeleteTransform(transform);
    cmsCloseProfile(monitor);
    cmsCloseProfile(srgb);
    return qRgb(out[0], out[1], out[2]);
}

QImage samplePicture(QImage::Format format)
{
    QImage picture(3, 2, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(128, 128, 128), qRgb(200, 30, 60), qRgb(0, 0, 0),
                            qRgb(255, 255, 255), qRgb(10, 240, 90), qRgb(64, 64, 200)};
    for (int i = 0; i < 6; ++i)
        picture.setPixel(i % 3, i / 3, colours[i]);
    return picture.convertToFormat(format);
}

TEST(MonitorProfile, ConvertsDrawnPixelsAsLittleCmsDoesInEveryLayout)
{
    test::qtApplication();
    const QByteArray icc = test::gammaProfileBytes();
    const auto profile = MonitorProfile::fromIcc(icc);
    ASSERT_TRUE(profile);
    for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_BGR888,
                                  QImage::Format_Grayscale8}) {
        const QImage picture = samplePicture(format);
        const QImage converted = profile->convert(picture);
        ASSERT_EQ(converted.size(), picture.size());
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(converted.pixel(x, y), expectedColour(icc, picture.pixel(x, y))) << format;
    }
    EXPECT_NE(profile->convert(samplePicture(QImage::Format_RGB32)).pixel(0, 0), qRgb(128, 128, 128));
}

TEST(MonitorProfile, UnusableProfilesAreRefused)
{
    QByteArray truncated = test::gammaProfileBytes();
    truncated.chop(truncated.size() / 2);
    QByteArray spoiled = test::gammaProfileBytes();
    spoiled.replace(36, 4, "xxxx");  // the "acsp" signature
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsHPROFILE grey = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
    const QByteArray greyBytes = test::iccBytes(grey);

    for (const QByteArray& bytes : {QByteArray(), QByteArray("not a profile at all"), truncated, spoiled, greyBytes})
        EXPECT_FALSE(MonitorProfile::fromIcc(bytes));
}

#ifdef QV_HAVE_XCB
// Sets (or with empty bytes, deletes) the root window's "_ICC_PROFILE".
void setRootProfile(xcb_connection_t* connection, const QByteArray& bytes)
{
    static constexpr char kName[] = "_ICC_PROFILE";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof kName - 1, kName), nullptr);
    ASSERT_TRUE(atom);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    if (bytes.isEmpty())
        xcb_delete_property(connection, root, atom->atom);
    else
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, root, atom->atom, XCB_ATOM_CARDINAL, 8,
                            static_cast<uint32_t>(bytes.size()), bytes.constData());
    free(atom);
    // A round trip, so that the change has reached the server.
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}
#endif

// Without X11 (as under the offscreen platform) there is no desktop profile;
// on X11 (QT_QPA_PLATFORM=xcb) it is the root window's property.
TEST(MonitorProfile, DesktopProfileComesFromTheX11RootWindow)
{
    test::qtApplication();
#ifdef QV_HAVE_XCB
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    // The offscreen platform may answer as X11 but without a connection.
    if (xcb_connection_t* connection = x11 ? x11->connection() : nullptr) {
        // The desktop's own profile is put back afterwards.
        const QByteArray desktops = MonitorProfile::desktopProfileBytes();
        const QByteArray icc = test::gammaProfileBytes();
        setRootProfile(connection, icc);
        EXPECT_EQ(MonitorProfile::desktopProfileBytes(), icc);
        EXPECT_TRUE(MonitorProfile::forDesktop());
        setRootProfile(connection, "no profile");
        EXPECT_FALSE(MonitorProfile::forDesktop());
        setRootProfile(connection, {});
        EXPECT_TRUE(MonitorProfile::desktopProfileBytes().isEmpty());
        setRootProfile(connection, desktops);
        return;
    }
#endif
    EXPECT_TRUE(MonitorProfile::desktopProfileBytes().isEmpty());
}

TEST(ImageViewWithProfile, ShowsThePictureConvertedAtEveryZoomAndPlainWithout)
{
    test::qtApplication();
    const auto profile = MonitorProfile::fromIcc(test::gammaProfileBytes());
    ASSERT_TRUE(profile);
    auto bitmap = Bitmap::create(400, 300, PixelFormat::Bgr24);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 1200; ++x)
            bitmap->row(y)[x] = static_cast<uint8_t>(x / 5 + y / 3);
    ui::CImageView view;
    view.resize(200, 150);
    view.setImages(bitmap.get(), bitmap.get());
    // 50 % (the whole picture) and 100 % (its top left part).
    for (int zoom : {6, 9}) {
        view.applyZoom(zoom, false);
        const QImage plain = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        view.setMonitorProfile(profile.get());
        const QImage managed = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_NE(managed, plain);
        EXPECT_EQ(managed, profile->convert(plain));
        view.setMonitorProfile(nullptr);
        EXPECT_EQ(view.grab().toImage().convertToFormat(QImage::Format_RGB32), plain);
    }
}

}  // namespace
}  // namespace qv
