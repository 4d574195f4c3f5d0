#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <opencv2/core.hpp>
#include <string>

namespace uitest {

// A photo of tests/data.
QString DataFile(const QString& name);

// Puts what the window looks up in its working directory into dir: the face
// cascade and "cfg.ini" with the given content (each only when asked for).
void PrepareWorkDir(const QString& dir, bool withCascade = true,
                    const QByteArray* config = nullptr);
inline const QByteArray kDefaultConfig = "[set]\ncolor=3\nsize=1\n";

QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& bytes);

// The bytes of one log entry's message: GBK text and the line end.
QByteArray LogMessage(const std::string& text);

// The screen the window should show: screens/<name>.png with the three button
// pictures where the buttons are (the greyed Save picture centred and cut);
// at device pixel ratio 2 made of the @2x pictures, twice the size.
QImage ExpectedScreen(const QString& name, bool saveEnabled, int ratio = 1);

// An 8-bit blue-green-red matrix as a 32-bit RGB image, pixel by pixel.
QImage BgrToRgb32(const cv::Mat& bgr);

// How many pixels of area, less the excluded rectangles, differ between the
// two images.
int CountDifferences(const QImage& actual, const QImage& expected, const QRect& area,
                     const QList<QRect>& excluded = {});

// The smallest rectangle holding every pixel where the two images differ;
// empty when they are the same.
QRect DifferenceBounds(const QImage& actual, const QImage& expected);

// The contrast ratio of two colours, 1 to 21, from their relative luminance.
double Contrast(QRgb a, QRgb b);

// Writes the image to $QUORVEL_SCREENSHOT_DIR/name.png when that is set.
void SaveScreenshot(const QImage& image, const QString& name);

}  // namespace uitest
