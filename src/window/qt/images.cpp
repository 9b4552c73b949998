#include "window/qt/images.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace window::images {

namespace {

QImage rendered(const QString &resource, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

// The shape of `image` in one colour.
QImage tinted(const QImage &image, const QColor &color)
{
    QImage shape = image;
    QPainter painter(&shape);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(shape.rect(), color);
    return shape;
}

// The look of a disabled button's image: the shape in grey over a white copy one pixel down
// and right.
QImage embossed(const QImage &image)
{
    QImage result(image.size(), QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.drawImage(1, 1, tinted(image, Qt::white));
    painter.drawImage(0, 0, tinted(image, QColor(128, 128, 128)));
    return result;
}

QIcon icon(const QString &resource, int size)
{
    return QIcon(QPixmap::fromImage(rendered(resource, size)));
}

} // namespace

QIcon addFolder()
{
    return icon(QStringLiteral(":/window/folder_add.svg"), 18);
}

QIcon refresh()
{
    return icon(QStringLiteral(":/window/refresh.svg"), 16);
}

QIcon deleteCross()
{
    const QImage cross = rendered(QStringLiteral(":/window/delete.svg"), 18);
    QIcon result(QPixmap::fromImage(cross));
    result.addPixmap(QPixmap::fromImage(embossed(cross)), QIcon::Disabled);
    return result;
}

QIcon application()
{
    // Drawn here rather than left to Qt's SVG icon plugin, which a machine may lack.
    QIcon result;
    for (const int size : { 16, 22, 24, 32, 48, 64, 128, 256 })
        result.addPixmap(
            QPixmap::fromImage(rendered(QStringLiteral(":/window/ablagekehrer.svg"), size)));
    return result;
}

} // namespace window::images
