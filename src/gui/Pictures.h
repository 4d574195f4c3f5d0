#pragma once

#include <QIcon>
#include <QImage>

// The program's pictures, embedded in the executable and looked up by their
// identifier (see Resource.h). A picture that cannot be loaded is empty.
QImage LoadPicture(int id);

// The application icon (IDR_MAINFRAME) with all its sizes.
QIcon LoadAppIcon();
