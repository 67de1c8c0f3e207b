#pragma once

// Colour profiles made with Little CMS for the tests and the benchmark.

#include <QByteArray>
#include <lcms2.h>

namespace qv::test {

// The profile as ICC bytes; the profile is closed.
inline QByteArray iccBytes(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(static_cast<qsizetype>(size), '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// An RGB display profile with sRGB's primaries and white but a plain gamma
// of 1.8 instead of sRGB's curve.
inline QByteArray gammaProfileBytes()
{
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 1.8);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(gamma);
    return iccBytes(profile);
}

}  // namespace qv::test
