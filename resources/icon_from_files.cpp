// Picks, decodes and caches the one image an icon request needs.
#include "icon_from_files.h"

#include <QIconEngine>
#include <QPainter>

#include <algorithm>
#include <map>

namespace resources {

namespace {

int Area(QSize size) {
    return size.width() * size.height();
}

// Decodes each image into an ordinary icon of its own the first time it is chosen. The
// sizes asked for here already count device pixels, so those icons are asked at a ratio of 1;
// they also make the disabled and selected looks of the style.
class FilesIconEngine : public QIconEngine {
public:
    explicit FilesIconEngine(std::vector<IconImage> images) : m_images(std::move(images)) {
        std::sort(m_images.begin(), m_images.end(), [](const IconImage& a, const IconImage& b) {
            return Area(a.size) < Area(b.size);
        });
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device()->devicePixelRatio();
        painter->drawPixmap(rect, pixmap(rect.size() * ratio, mode, state));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        if (m_images.empty())
            return {};
        return ImageFor(size).pixmap(size, 1.0, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        if (m_images.empty())
            return {};
        QSize actual = m_images[BestFor(size)].size;
        if (actual.width() > size.width() || actual.height() > size.height())
            actual.scale(size, Qt::KeepAspectRatio);
        return actual;
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (const IconImage& image : m_images)
            sizes << image.size;
        return sizes;
    }
    QIconEngine* clone() const override { return new FilesIconEngine(*this); }
    QString key() const override { return QStringLiteral("FilesIconEngine"); }
    bool isNull() override { return m_images.empty(); }

private:
    std::size_t BestFor(QSize size) const {
        for (std::size_t i = 0; i < m_images.size(); ++i) {
            if (m_images[i].size.width() >= size.width() &&
                m_images[i].size.height() >= size.height())
                return i;
        }
        return m_images.size() - 1;
    }
    QIcon& ImageFor(QSize size) {
        const std::size_t best = BestFor(size);
        auto [decoded, isNew] = m_decoded.try_emplace(best);
        if (isNew)
            decoded->second.addFile(m_images[best].file, m_images[best].size);
        return decoded->second;
    }

    std::vector<IconImage> m_images;
    std::map<std::size_t, QIcon> m_decoded;
};

} // namespace

QIcon IconFromFiles(std::vector<IconImage> images) {
    return QIcon(new FilesIconEngine(std::move(images)));
}

} // namespace resources
