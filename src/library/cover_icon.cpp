#include "library/cover_icon.h"

#include <QBuffer>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>

QPixmap decodeCover(const QByteArray &bytes, const QSize &target)
{
    if (bytes.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.isValid()) {
        int shift = 0;
        while (shift < 3 && (size.width() >> (shift + 1)) >= target.width() &&
               (size.height() >> (shift + 1)) >= target.height())
            ++shift;
        if (shift > 0)
            reader.setScaledSize(QSize(size.width() >> shift, size.height() >> shift));
    }
    return QPixmap::fromImage(reader.read());
}

namespace {

class CoverEngine : public QIconEngine
{
public:
    CoverEngine(QByteArray bytes, QByteArray fallback) : m_bytes(std::move(bytes)), m_fallback(std::move(fallback)) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const QPixmap pix = pixmap(rect.size(), mode, state);
        if (pix.isNull())
            return;
        const QSize shown = pix.size().scaled(rect.size(), Qt::KeepAspectRatio);
        const QRect target(rect.x() + (rect.width() - shown.width()) / 2,
                           rect.y() + (rect.height() - shown.height()) / 2, shown.width(), shown.height());
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawPixmap(target, pix);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        if (!m_decoded) {
            m_decoded = true;
            m_pixmap = decodeCover(m_bytes, size);
            if (m_pixmap.isNull())
                m_pixmap = decodeCover(m_fallback, size);
            m_bytes.clear();
            m_fallback.clear();
        }
        if (m_pixmap.isNull())
            return {};
        QPixmap scaled = m_pixmap.size().width() > size.width() || m_pixmap.size().height() > size.height()
                             ? m_pixmap.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                             : m_pixmap;
        if (mode == QIcon::Selected) {
            QPainter p(&scaled);
            p.fillRect(scaled.rect(), QColor(181, 121, 61, 70));
        }
        return scaled;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }

    QIconEngine *clone() const override { return new CoverEngine(*this); }

private:
    QByteArray m_bytes;
    QByteArray m_fallback;
    QPixmap m_pixmap;
    bool m_decoded = false;
};

} // namespace

QIcon coverIcon(const QByteArray &bytes, const QByteArray &fallbackBytes)
{
    return QIcon(new CoverEngine(bytes, fallbackBytes));
}
