#pragma once
// Draws the main window's preview on a worker thread, so that a heavy layout
// (every surface of a large model, with overlaps) never freezes the window.
// A newer request cancels the one in progress; only the newest result is
// delivered, on the interface thread.
#include "image/TextureImage.h"
#include "render/TemplateImage.h"

#include <QImage>
#include <QObject>
#include <QRect>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct PreviewJob {
    QImage layer; // transparent, the window's size at its pixel density
    QRect inside; // where the drawing goes in it
    TemplateStyle style;
    std::shared_ptr<const TextureImage> texture; // kept alive for style.underlay
    std::shared_ptr<const Model> model;          // kept alive for the records
    std::vector<const Surface*> records;
    LayoutMapping mapping;
    std::vector<std::shared_ptr<const Model>> others; // other models' records kept alive
};

class PreviewRenderer {
  public:
    // done(layer) runs on the thread of `context` when a drawing completes.
    PreviewRenderer(QObject* context, std::function<void(const QImage&)> done);
    ~PreviewRenderer();
    PreviewRenderer(const PreviewRenderer&) = delete;
    PreviewRenderer& operator=(const PreviewRenderer&) = delete;

    void Start(PreviewJob job);
    // Abandons the drawing in progress (and any result not yet delivered) and
    // waits for its thread: required before the surfaces it reads change.
    void Cancel();
    // Waits for the drawing in progress and delivers it at once.
    void Finish();

  private:
    void Deliver(unsigned generation);
    QObject* m_context;
    std::function<void(const QImage&)> m_done;
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    std::mutex m_mutex;
    QImage m_result;
    unsigned m_generation = 0, m_ready = 0;
};
