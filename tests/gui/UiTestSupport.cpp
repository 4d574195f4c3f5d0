#include "UiTestSupport.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "core/log/ActivityLog.h"
#include "core/text/Encoding.h"
#include "gui/Pictures.h"

using namespace quorvel::gui;

namespace uitest {

QString DataFile(const QString& name) {
    return QDir(QStringLiteral(QUORVEL_TEST_DATA_DIR)).filePath(name);
}

void PrepareWorkDir(const QString& dir, bool withCascade, const QByteArray* config) {
    if (withCascade) {
        QFile::copy(QStringLiteral(QUORVEL_TEST_CASCADE),
                    QDir(dir).filePath(QStringLiteral("haarcascade_frontalface_alt2.xml")));
    }
    if (config != nullptr) WriteAll(QDir(dir).filePath(QStringLiteral("cfg.ini")), *config);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

QByteArray LogMessage(const std::string& text) {
    return QByteArray::fromStdString(quorvel::Utf8ToGbk(text, 4096).bytes) + "\r\n";
}

QImage ExpectedScreen(const QString& name, bool saveEnabled, int ratio) {
    QImage screen = loadPicture(QStringLiteral(":/screens/%1.png").arg(name), ratio)
                        .convertToFormat(QImage::Format_RGB32);
    QPainter painter(&screen);
    painter.drawImage(QPoint(520, 100), loadPicture(QStringLiteral(":/buttons/open.png"), ratio));
    const QImage save = saveEnabled
                            ? loadPicture(QStringLiteral(":/buttons/save.png"), ratio)
                            : loadPicture(QStringLiteral(":/buttons/save-disabled.png"), ratio)
                                  .copy(2 * ratio, 2 * ratio, 197 * ratio, 48 * ratio);
    painter.drawImage(QPoint(520, 188), save);
    painter.drawImage(QPoint(520, 276), loadPicture(QStringLiteral(":/buttons/exit.png"), ratio));
    return screen;
}

QImage BgrToRgb32(const cv::Mat& bgr) {
    QImage image(bgr.cols, bgr.rows, QImage::Format_RGB32);
    for (int y = 0; y < bgr.rows; ++y) {
        for (int x = 0; x < bgr.cols; ++x) {
            const cv::Vec3b& p = bgr.at<cv::Vec3b>(y, x);
            image.setPixel(x, y, qRgb(p[2], p[1], p[0]));
        }
    }
    return image;
}

int CountDifferences(const QImage& actual, const QImage& expected, const QRect& area,
                     const QList<QRect>& excluded) {
    const QImage a = actual.convertToFormat(QImage::Format_RGB32);
    const QImage b = expected.convertToFormat(QImage::Format_RGB32);
    int differences = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QPoint point(x, y);
            if (std::any_of(excluded.begin(), excluded.end(),
                            [&point](const QRect& r) { return r.contains(point); })) {
                continue;
            }
            if (!a.valid(x, y) || !b.valid(x, y) || a.pixel(x, y) != b.pixel(x, y)) ++differences;
        }
    }
    return differences;
}

QRect DifferenceBounds(const QImage& actual, const QImage& expected) {
    const QImage a = actual.convertToFormat(QImage::Format_RGB32);
    const QImage b = expected.convertToFormat(QImage::Format_RGB32);
    QRect bounds;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y) {
        for (int x = 0; x < std::min(a.width(), b.width()); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

double Contrast(QRgb a, QRgb b) {
    const auto luminance = [](QRgb c) {
        const auto linear = [](int v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) + 0.0722 * linear(qBlue(c));
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

void SaveScreenshot(const QImage& image, const QString& name) {
    const QString dir = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    image.save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

}  // namespace uitest
