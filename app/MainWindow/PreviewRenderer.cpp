#include "app/MainWindow/PreviewRenderer.h"

#include "render/DrawingCancel.h"

#include <cairo.h>

PreviewRenderer::PreviewRenderer(QObject* context, std::function<void(const QImage&)> done)
    : m_context(context), m_done(std::move(done)) {}

PreviewRenderer::~PreviewRenderer() {
    Cancel();
}

void PreviewRenderer::Cancel() {
    ++m_generation; // a result already on its way is not delivered
    if (!m_thread.joinable())
        return;
    m_cancel = true;
    m_thread.join();
    m_cancel = false;
}

void PreviewRenderer::Start(PreviewJob job) {
    Cancel();
    const unsigned generation = ++m_generation;
    m_thread = std::thread([this, generation, job = std::move(job)]() mutable {
        CancelScope scope(m_cancel);
        QImage& layer = job.layer;
        cairo_surface_t* surface = cairo_image_surface_create_for_data(
            layer.bits() + job.inside.top() * layer.bytesPerLine() + job.inside.left() * 4,
            CAIRO_FORMAT_ARGB32, job.inside.width(), job.inside.height(),
            int(layer.bytesPerLine()));
        cairo_t* cr = cairo_create(surface);
        DrawTemplate(cr, job.style, job.records,
                     {job.mapping, job.inside.width(), job.inside.height(), false});
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        if (DrawingCancelled())
            return;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_result = layer;
            m_ready = generation;
        }
        // Dropped if the window is gone by then.
        QMetaObject::invokeMethod(
            m_context, [this, generation] { Deliver(generation); }, Qt::QueuedConnection);
    });
}

void PreviewRenderer::Finish() {
    if (m_thread.joinable())
        m_thread.join();
    Deliver(m_generation);
}

void PreviewRenderer::Deliver(unsigned generation) {
    QImage result;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        // A newer drawing was asked for, or this one was delivered already.
        if (generation != m_generation || m_ready != generation || m_result.isNull())
            return;
        result = m_result;
        m_result = QImage();
    }
    if (m_thread.joinable() && generation == m_generation)
        m_thread.join(); // it has finished: its result is here
    m_done(result);
}
