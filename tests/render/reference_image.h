#pragma once

// Comparison of rendered pictures with the reference pictures checked in under
// tests/data/render. Set TONVELA_UPDATE_REFERENCES=1 to write the references anew (then look
// at every picture before committing it).

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tonvela::testing {

inline const std::string kReferenceDir = std::string(TONVELA_TEST_DATA) + "/render/";

// Fraction of pixels that differ by more than a quarter of the range in any channel.
inline double differingFraction(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 1.0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    long long differing = 0;
    for (int r = 0; r < x.height(); ++r) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(r));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(r));
        for (int c = 0; c < x.width(); ++c)
            if (std::abs(qRed(p[c]) - qRed(q[c])) > 64 || std::abs(qGreen(p[c]) - qGreen(q[c])) > 64 ||
                std::abs(qBlue(p[c]) - qBlue(q[c])) > 64)
                ++differing;
    }
    return static_cast<double>(differing) / (static_cast<double>(x.width()) * x.height());
}

// Expects the picture to match tests/data/render/`name` in all but 0.3% of its pixels; a
// picture that does not is saved beside the test's temporary files as actual_`name`.
inline void compareWithReference(const QImage& image, const std::string& name)
{
    const std::string path = kReferenceDir + name;
    if (std::getenv("TONVELA_UPDATE_REFERENCES")) {
        std::filesystem::create_directories(kReferenceDir);
        ASSERT_TRUE(image.save(QString::fromStdString(path), "PNG"));
        return;
    }
    QImage reference(QString::fromStdString(path));
    ASSERT_FALSE(reference.isNull()) << "missing reference " << path;
    const double diff = differingFraction(image, reference);
    if (diff > 0.003)
        image.save(QString::fromStdString(::testing::TempDir() + "actual_" + name), "PNG");
    EXPECT_LE(diff, 0.003) << name << " differs from its reference in " << diff * 100 << "% of pixels";
}

} // namespace tonvela::testing
