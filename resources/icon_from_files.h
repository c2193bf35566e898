// Icons whose images are read from their files when first drawn, and only the image drawn:
// the window gets its pictures at start without decoding images it may never show.
#pragma once

#include <QIcon>
#include <QSize>
#include <QString>

#include <vector>

namespace resources {

// One image of an icon: its file and the size of the picture in it.
struct IconImage {
    QString file;
    QSize size;
};

// An icon drawn from the smallest of `images` that covers the size asked for, or the
// largest when none does.
QIcon IconFromFiles(std::vector<IconImage> images);

} // namespace resources
